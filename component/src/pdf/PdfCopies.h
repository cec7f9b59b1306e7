// Updates to a finished PDF, appended to the file so that the document's own bytes stay as they
// are. Copies of its pages, for the built-in printer, which has no spooler to make them: for
// every further copy, a page object for each page that shares its content and resources, and a
// new page list that holds them all. And its title, in the document information. Plain C++.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::pdf {

// The bytes to append to `pdf` so that it shows its pages `copies` times over, in order (one
// copy after the other). Nothing when copies is below 2. nullopt when the file is not one this
// understands: a classic cross-reference table, and one page list whose kids are the pages.
std::optional<std::string> repeatPages(std::string_view pdf, int copies);

// The bytes to append to `pdf` so that its document information's title is `title`, its other
// entries kept. nullopt when the file is not one this understands (as above).
std::optional<std::string> retitle(std::string_view pdf, std::u16string_view title);

// A PDF text string: a literal when the text is ASCII (parentheses and backslashes escaped,
// control characters in octal), else UTF-16BE after its byte-order mark, in hexadecimal.
std::string textString(std::u16string_view text);

} // namespace corvane::pdf
