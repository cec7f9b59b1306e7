// The single-byte Windows code pages that RTF text is written in.
#pragma once

namespace corvane {

// The upper half of a code page (1250-1258, 874), or nullptr for one not known.
const char16_t *codePageTable(int codePage);
// The code page of an RTF \fcharset value, or 0 for "the document's".
int codePageOfCharset(int charset);
// One byte in a code page (unknown code pages read as 1252).
char16_t decodeByte(int codePage, unsigned char byte);

} // namespace corvane
