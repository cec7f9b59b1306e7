#include "RtfReader.h"

#include "Bitmaps.h"
#include "CodePages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <map>

namespace corvane {

bool looksLikeRtf(std::string_view bytes)
{
    size_t i = 0;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.substr(i, 5) == "{\\rtf";
}

namespace {

constexpr size_t kMaxDepth = 1000; // deeper groups share their parent's state
constexpr size_t kMaxWordLength = 32;

enum class Destination {
    Text,
    Skip,
    FontTable,
    ColorTable,
    Picture,
    ListTable,
    LevelText,
    ListOverrides,
    ListText,
    FieldInstruction,
    ShapeInstructions,
    ShapeName,
    ShapeValue
};

// What a group keeps for itself: its end restores the character and the paragraph
// properties in effect at its start.
struct GroupState {
    Destination destination = Destination::Text;
    CharFormat format;
    int codePage = 0; // of the current font; 0 means the document's
    int unicodeSkip = 1;
    ParaFormat para;
    TabStop::Kind tabKind = TabStop::Kind::Left; // of the next \tx
    char16_t tabLeader = 0;                      // of the next \tx
    bool inTable = false;
    // The paragraph's shading: pattern and background colours, and how much of the pattern.
    std::optional<uint32_t> shadeFore, shadeBack;
    int32_t shading = 0;
    int32_t list = 0, level = 0; // the paragraph's list override (\ls) and level (\ilvl)
};

struct Font {
    UString name;
    int codePage = 0;
};

// One level of a list: how its paragraphs are numbered or bulleted.
struct ListLevel {
    int format = 0; // \levelnfc: 0 decimal, 1 and 2 upper and lower roman, 3 and 4
                    // upper and lower letters, 22 two digits, 23 bullet, 255 none
    int startAt = 1;
    int follow = 0; // 0 a tab after the label, 1 a space, 2 nothing
    bool noRestart = false;
    int32_t font = -1; // the label's font, -1 the paragraph's
    UString text;      // \leveltext: its length, then characters; 0-8 stand for the
                       // numbers of those levels
};

struct List {
    int32_t id = 0;
    std::vector<ListLevel> levels;
};

// Destinations whose content is not part of the document text.
bool isSkippedDestination(std::string_view word)
{
    static constexpr std::array<std::string_view, 22> skipped{
        "stylesheet", "info",         "themedata",  "colorschememapping",
        "datastore",  "latentstyles", "listname",   "levelnumbers",
        "rsidtbl",    "generator",    "xmlnstbl",   "mmathPr",
        "pgdsctbl",   "filetbl",      "revtbl",     "nonshppict",
        "bkmkstart",  "bkmkend",      "annotation", "pn",
        "objdata",    "template"};
    return std::find(skipped.begin(), skipped.end(), word) != skipped.end();
}

class Reader {
public:
    Reader(std::string_view input, DocumentBuilder &out)
        : m_in(input)
        , m_out(out)
    {
    }

    void run();

private:
    // Tokens
    void controlWord(std::string_view word, bool hasParam, int32_t param);
    void controlSymbol(char symbol);
    void character(char16_t c);
    void byteInCodePage(unsigned char byte);
    void dropLead();
    UString fontName(const std::string &bytes, int codePage);
    void openGroup();
    void closeGroup();

    // Document events
    void flushText();
    void ensureRow();
    void endParagraph();
    void finishPicture();
    void shapeWord(std::string_view word, bool hasParam, int32_t param);
    void shapeProperty();
    void finishShape();
    void setFont(int32_t index);
    void listLabel();
    TableRow resolvedRow() const;
    bool tableWord(std::string_view word, bool hasParam, int32_t param);
    UString listNumber(int value, int format) const;
    void openNote();
    void openPagePart(PagePart part);
    void closePart();
    void enterPart();
    void placeNoteMark(bool endnote);
    void fieldResult();
    void startNoteText();

    std::string_view m_in;
    size_t m_pos = 0;
    DocumentBuilder &m_out;

    std::vector<GroupState> m_stack;
    size_t m_overflowDepth = 0;
    bool m_sawGroup = false;
    GroupState m_state;
    bool m_starred = false; // "\*" seen at the start of this group
    int m_skipCount = 0;    // characters still to skip after \uN
    // The last character went into the text in the format of the text held: plain characters
    // after it join the text at once, until a group or a control word changes something.
    bool m_plainText = false;

    ParaFormat m_endPara; // the format of the document's last paragraph, as its group ended
    bool m_rowOpen = false;
    // The row being defined: its cells as their \cellx ends them, the cell still being
    // described, and the borders the row gives cells that name none (top, left, bottom, right,
    // between rows, between cells).
    TableRow m_row;
    TableCell m_cellDef;
    std::vector<unsigned> m_cellBordersGiven; // per cell: which sides name their own border
    unsigned m_cellDefBorders = 0;
    std::array<Border, 6> m_rowBorders{};
    Border *m_border = nullptr; // the border the next \brdr words describe
    std::optional<uint32_t> m_shadeFore, m_shadeBack;
    int32_t m_shading = -1;
    // Padding of the cell being described and of the row (left, right, top, bottom), with their
    // units (3: twips).
    std::array<int32_t, 4> m_cellPad{-1, -1, -1, -1}, m_cellPadUnit{}, m_rowPad{-1, -1, -1, -1}, m_rowPadUnit{};
    int m_documentCodePage = 1252;
    CodePageDecoder m_decoder;
    int m_defaultFont = 0;

    std::map<int32_t, Font> m_fonts;
    int32_t m_definingFont = 0;
    std::string m_fontNameBytes;
    std::vector<std::optional<uint32_t>> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;

    UString m_text;
    CharFormat m_textFormat;

    // Lists: the definitions, the overrides that paragraphs name (\lsN) with the list each
    // stands for, and the numbers reached on each list's levels.
    std::vector<List> m_lists;
    std::map<int32_t, int32_t> m_overrides; // \ls number -> list id
    int32_t m_overrideNumber = 0, m_overrideList = 0;
    std::map<int32_t, std::array<int, 9>> m_counters; // list id -> the last number of each level
    bool m_labelDone = false;                         // the paragraph's label is printed
    // The label the writer gave the paragraph (\listtext, \pntext): printed when the paragraph
    // names no list that a label can be made from.
    bool m_haveListText = false;
    UString m_listText;
    CharFormat m_listTextFormat;

    // A note, header or footer being read: the depth of its group (0: none), and the state of
    // the document's text it interrupts.
    size_t m_partDepth = 0;
    bool m_partIsNote = false;
    bool m_savedRowOpen = false, m_savedLabelDone = false, m_savedHaveListText = false;
    // Notes: how many of each kind so far, their numbering (a list number format) and first
    // numbers, the mark of the note being read, and a mark (\chftn) in the text waiting for its
    // note, in its format.
    int m_footnotes = 0, m_endnotes = 0;
    int m_footnoteFormat = 0, m_endnoteFormat = 0, m_footnoteStart = 1, m_endnoteStart = 1;
    bool m_allEndnotes = false;
    UString m_noteMark;
    // The note's text has started; its mark comes before it.
    bool m_noteStarted = false, m_noteMarkWaiting = false;
    bool m_markWaiting = false;
    CharFormat m_markFormat;
    // The instruction of the field being read, the depth of its group, and whether its result
    // came.
    std::string m_fieldInstruction;
    size_t m_fieldDepth = 0;
    bool m_fieldResult = false;
    // A section ended (\sect) and the next has not started yet; whether it starts a page.
    bool m_sectionWaiting = false, m_sectionBreaksPage = true;
    // No content of the section has come yet: its format is told with the first.
    bool m_sectionStarting = true;
    // The format of the section being read (its orientation apart), and the one last told to
    // the document; the section's and the document's page sizes in twips (0: not given) and
    // whether they say landscape.
    SectionFormat m_section, m_sectionTold;
    int32_t m_sectionWidth = 0, m_sectionHeight = 0, m_paperWidth = 0, m_paperHeight = 0;
    bool m_sectionLandscape = false, m_paperLandscape = false;
    SectionFormat currentSection() const;
    PageFrame m_frame;

    std::string m_pictureType, m_pictureBytes;
    int32_t m_pictureGoalWidth = 0, m_pictureGoalHeight = 0;
    int32_t m_pictureScaleX = 100, m_pictureScaleY = 100;
    int32_t m_pictureWidth = 0, m_pictureHeight = 0;  // \picw, \pich
    int32_t m_bitmapBits = 1, m_bitmapWidthBytes = 0; // of a device-dependent bitmap
    int m_nibble = -1;
    size_t m_pictureDepth = 0;

    // The shape being read (\shp): the depth of its group (0: none), where it stands, the
    // property being read ({\sp{\sn name}{\sv value}}), its picture, and the depth of its text
    // box's group while that is read (0: none).
    size_t m_shapeDepth = 0, m_shapeTextDepth = 0;
    Shape m_shape;
    bool m_shapeIgnoresBox = false; // \shpbxignore: the horizontal reference is a property's
    bool m_shapeDone = false;       // its content was handed over
    std::string m_shapeName, m_shapeValue;
    std::string m_shapePictureType, m_shapePictureBytes;
    int32_t m_shapePictureWidth = 0, m_shapePictureHeight = 0;
};

// A background: the pattern colour over the background colour, as much of it as the
// shading says (in hundredths of a percent).
std::optional<uint32_t> shade(std::optional<uint32_t> foreground, std::optional<uint32_t> background, int32_t shading)
{
    if (shading <= 0)
        return background;
    const uint32_t fore = foreground.value_or(0x000000), back = background.value_or(0xFFFFFF);
    const int32_t part = std::min(shading, 10000);
    uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int32_t f = int32_t(fore >> shift & 255), b = int32_t(back >> shift & 255);
        mixed |= uint32_t(b + (f - b) * part / 10000) << shift;
    }
    return mixed;
}

// The control words of a section's format (and the paper's, which sections follow).
bool namesSection(std::string_view word)
{
    for (const std::string_view name : {"sectd", "cols", "colsx", "linebetcol", "pgwsxn", "pghsxn", "paperw", "paperh",
                                        "lndscpsxn", "landscape", "sbknone", "sbkpage", "sbkcol", "sbkeven", "sbkodd"})
        if (word == name)
            return true;
    return false;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void Reader::run()
{
    while (m_pos < m_in.size()) {
        const char c = m_in[m_pos++];
        switch (c) {
        case '{':
            m_plainText = false;
            openGroup();
            break;
        case '}':
            m_plainText = false;
            closeGroup();
            break;
        case '\\': {
            if (m_pos >= m_in.size())
                break;
            const char next = m_in[m_pos];
            if ((next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z')) {
                const size_t start = m_pos;
                while (m_pos < m_in.size() && m_pos - start < kMaxWordLength
                       && ((m_in[m_pos] >= 'a' && m_in[m_pos] <= 'z') || (m_in[m_pos] >= 'A' && m_in[m_pos] <= 'Z')))
                    ++m_pos;
                const std::string_view word = m_in.substr(start, m_pos - start);
                bool negative = false, hasParam = false;
                int64_t value = 0;
                if (m_pos < m_in.size() && m_in[m_pos] == '-') {
                    negative = true;
                    ++m_pos;
                }
                while (m_pos < m_in.size() && m_in[m_pos] >= '0' && m_in[m_pos] <= '9') {
                    hasParam = true;
                    value = std::min<int64_t>(value * 10 + (m_in[m_pos] - '0'), int64_t(INT_MAX) + 1);
                    ++m_pos;
                }
                if (negative)
                    value = -value;
                value = std::clamp<int64_t>(value, INT_MIN, INT_MAX);
                if (m_pos < m_in.size() && m_in[m_pos] == ' ')
                    ++m_pos; // the delimiter belongs to the control word
                controlWord(word, hasParam, static_cast<int32_t>(value));
            } else {
                ++m_pos;
                controlSymbol(next);
            }
            // (A control word's own character, \uN's, leaves characters to skip.)
            m_plainText = false;
            break;
        }
        case '\r':
        case '\n':
        case '\0': break;
        default:
            if (m_state.destination == Destination::Picture) {
                const int v = hexValue(c);
                if (v >= 0) {
                    if (m_nibble < 0) {
                        m_nibble = v;
                    } else {
                        m_pictureBytes.push_back(static_cast<char>(m_nibble * 16 + v));
                        m_nibble = -1;
                    }
                }
            } else if (static_cast<unsigned char>(c) >= 0x80 || m_decoder.leadWaiting()
                       || m_state.codePage == kSymbolCodePage || m_state.codePage == kWingdingsCodePage) {
                // Bytes of the code page: a trail byte may be an ASCII one, and a symbol font's
                // letters are its symbols.
                byteInCodePage(static_cast<unsigned char>(c));
            } else if (m_plainText) {
                m_text.push_back(static_cast<char16_t>(c));
            } else {
                character(static_cast<char16_t>(c));
            }
        }
    }
    // Unbalanced braces: close what is open.
    while (!m_stack.empty() || m_overflowDepth > 0)
        closeGroup();
    dropLead();
    flushText();
    if (m_rowOpen) {
        m_out.tableRowEnd();
        m_rowOpen = false;
    }
    m_out.pageFrame(m_frame);
    m_out.documentEnd(m_stack.empty() && m_sawGroup ? m_endPara : m_state.para);
}

void Reader::openGroup()
{
    dropLead();
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflowDepth;
        return;
    }
    m_stack.push_back(m_state);
    m_sawGroup = true;
    m_starred = false;
}

void Reader::closeGroup()
{
    dropLead();
    m_skipCount = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_stack.empty())
        return;
    const Destination ending = m_state.destination;
    if (ending == Destination::Picture && m_stack.size() == m_pictureDepth)
        finishPicture();
    if (m_fieldDepth > 0 && m_stack.size() == m_fieldDepth) {
        // A field written without its result (as AbiWord writes page numbers) prints what it
        // stands for all the same.
        m_fieldDepth = 0;
        if (!m_fieldResult && m_state.destination == Destination::Text)
            fieldResult();
    }
    if (m_partDepth > 0 && m_stack.size() == m_partDepth)
        closePart();
    if (ending == Destination::ShapeValue)
        shapeProperty();
    if (m_shapeTextDepth > 0 && m_stack.size() == m_shapeTextDepth) {
        // The text box ends: what follows belongs to the paragraph it is anchored in.
        dropLead();
        flushText();
        m_out.shapeEnd();
        m_shapeTextDepth = 0;
        m_shapeDone = true;
    }
    if (m_shapeDepth > 0 && m_stack.size() == m_shapeDepth)
        finishShape();
    if (ending == Destination::Text && m_stack.back().destination == Destination::Text
        && !(m_stack.back().format == m_state.format))
        flushText();
    if (ending == Destination::FontTable && !m_fontNameBytes.empty()) {
        // A name without its closing ";".
        m_fonts[m_definingFont].name = fontName(m_fontNameBytes, m_fonts[m_definingFont].codePage);
        m_fontNameBytes.clear();
    }
    if (m_stack.size() == 1)
        m_endPara = m_state.para; // the document's group: its last paragraph ends with it
    m_state = m_stack.back();
    m_stack.pop_back();
    m_starred = false;
    // Text before any \f is in the default font, known once the font table is read.
    if (ending == Destination::FontTable && m_state.destination == Destination::Text && m_state.format.fontName.empty())
        setFont(m_defaultFont);
}

void Reader::flushText()
{
    if (!m_text.empty()) {
        ensureRow();
        m_out.text(m_text, m_textFormat);
        m_text.clear();
    }
}

SectionFormat Reader::currentSection() const
{
    // A section is landscape when it says so or its page is wider than tall; one that names
    // neither is as the document's pages are.
    SectionFormat section = m_section;
    if (m_sectionLandscape || (m_sectionWidth > 0 && m_sectionHeight > 0))
        section.landscape = m_sectionLandscape || m_sectionWidth > m_sectionHeight;
    else if (m_paperLandscape || (m_paperWidth > 0 && m_paperHeight > 0))
        section.landscape = m_paperLandscape || m_paperWidth > m_paperHeight;
    return section;
}

void Reader::ensureRow()
{
    if (!m_state.inTable && m_rowOpen) {
        // A row left without \row ends where ordinary text starts.
        m_out.tableRowEnd();
        m_rowOpen = false;
    }
    // A section starts with its first content: on a new page unless it says it continues.
    if (m_sectionWaiting && m_partDepth == 0) {
        m_sectionWaiting = false;
        if (m_sectionBreaksPage)
            m_out.pageBreak(m_state.para);
    }
    // A section's format is the one named before its text: what a writer names after (as one
    // writes the next section's columns in the last paragraph before it) does not divide it.
    if (m_partDepth == 0 && m_sectionStarting) {
        m_sectionStarting = false;
        if (const SectionFormat section = currentSection(); section != m_sectionTold) {
            m_sectionTold = section;
            m_out.sectionFormat(section);
        }
    }
    if (m_state.inTable && !m_rowOpen) {
        m_out.tableRowStart(resolvedRow());
        m_rowOpen = true;
    }
}

void Reader::character(char16_t c)
{
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    switch (m_state.destination) {
    case Destination::Text:
        if (m_state.format.hidden)
            break; // hidden text is not printed
        if (m_markWaiting && m_partDepth == 0)
            placeNoteMark(false); // a mark with no note after it: the next footnote's number
        if (m_partDepth > 0 && m_partIsNote && !m_noteStarted)
            startNoteText();
        if (!m_labelDone)
            listLabel();
        if (!m_text.empty() && !(m_textFormat == m_state.format))
            flushText();
        if (m_text.empty())
            m_textFormat = m_state.format;
        m_text.push_back(c);
        // Until the next group or control word, the characters that follow go the same way.
        m_plainText = true;
        break;
    case Destination::FontTable:
        if (c == u';') {
            m_fonts[m_definingFont].name = fontName(m_fontNameBytes, m_fonts[m_definingFont].codePage);
            m_fontNameBytes.clear();
        } else if (c < 0x80) {
            m_fontNameBytes.push_back(static_cast<char>(c));
        }
        break;
    case Destination::ListText:
        if (m_state.format.hidden || m_listText.size() >= 256)
            break;
        if (m_listText.empty())
            m_listTextFormat = m_state.format;
        m_listText.push_back(c);
        break;
    case Destination::FieldInstruction:
        if (m_fieldInstruction.size() < 256 && c < 0x80)
            m_fieldInstruction.push_back(static_cast<char>(c));
        break;
    case Destination::ShapeName:
    case Destination::ShapeValue: {
        std::string &into = m_state.destination == Destination::ShapeName ? m_shapeName : m_shapeValue;
        if (into.size() < 64 && c < 0x80)
            into.push_back(static_cast<char>(c));
        break;
    }
    case Destination::LevelText:
        if (!m_lists.empty() && !m_lists.back().levels.empty() && m_lists.back().levels.back().text.size() < 64)
            m_lists.back().levels.back().text.push_back(c);
        break;
    case Destination::ColorTable:
        if (c == u';') {
            if (m_colorGiven)
                m_colors.emplace_back((uint32_t(m_red & 255) << 16) | (uint32_t(m_green & 255) << 8)
                                      | uint32_t(m_blue & 255));
            else
                m_colors.emplace_back(std::nullopt);
            m_red = m_green = m_blue = 0;
            m_colorGiven = false;
        }
        break;
    default: break;
    }
}

void Reader::byteInCodePage(unsigned char byte)
{
    if (m_state.destination == Destination::FontTable) {
        if (m_skipCount > 0) {
            --m_skipCount;
            return;
        }
        m_fontNameBytes.push_back(static_cast<char>(byte));
        return;
    }
    if (m_skipCount > 0) { // the bytes that stand for a \uN character
        --m_skipCount;
        return;
    }
    const int codePage = m_state.codePage ? m_state.codePage : m_documentCodePage;
    char16_t out[3];
    const int count = m_decoder.decode(codePage, byte, out);
    for (int i = 0; i < count; ++i)
        character(out[i]);
}

void Reader::dropLead()
{
    // A lead byte whose trail byte never came stands as one unreadable character.
    char16_t lost;
    if (m_decoder.dropLead(lost))
        character(lost);
}

UString Reader::fontName(const std::string &bytes, int codePage)
{
    // Symbol fonts name themselves in the document's code page.
    if (codePage == 0 || codePage == kSymbolCodePage || codePage == kWingdingsCodePage)
        codePage = m_documentCodePage;
    UString name;
    CodePageDecoder decoder;
    char16_t out[3];
    for (const char b : bytes) {
        const int count = decoder.decode(codePage, static_cast<unsigned char>(b), out);
        name.append(out, static_cast<size_t>(count));
    }
    if (decoder.dropLead(out[0]))
        name.push_back(out[0]);
    // Of the symbol fonts only Symbol and Wingdings have their bytes turned into characters.
    Font &font = m_fonts[m_definingFont];
    if (font.codePage == kSymbolCodePage || font.codePage == kWingdingsCodePage) {
        const int symbols = symbolFontCodePage(name);
        font.codePage = symbols != 0 ? symbols : 28591;
    }
    return name;
}

void Reader::setFont(int32_t index)
{
    const auto font = m_fonts.find(index);
    if (font == m_fonts.end()) {
        m_state.format.fontName.clear();
        m_state.codePage = 0;
        return;
    }
    m_state.format.fontName = font->second.name;
    m_state.codePage = font->second.codePage;
}

void Reader::endParagraph()
{
    if (m_partDepth > 0 && m_partIsNote && !m_noteStarted && m_state.destination == Destination::Text)
        startNoteText();
    // An empty item of a list still shows its bullet or number.
    if (!m_labelDone && m_state.destination == Destination::Text && !m_state.format.hidden)
        listLabel();
    m_labelDone = false;
    m_haveListText = false;
    flushText();
    ensureRow();
    m_out.paragraphEnd(m_state.para, m_state.format);
}

TableRow Reader::resolvedRow() const
{
    // Sides of cells that name no border of their own take the row's.
    TableRow row = m_row;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        TableCell &cell = row.cells[i];
        const unsigned given = i < m_cellBordersGiven.size() ? m_cellBordersGiven[i] : 0;
        if (!(given & 1))
            cell.top = m_rowBorders[0];
        if (!(given & 2))
            cell.left = i == 0 ? m_rowBorders[1] : m_rowBorders[5];
        if (!(given & 4))
            cell.bottom = m_rowBorders[2];
        if (!(given & 8))
            cell.rightBorder = i + 1 == row.cells.size() ? m_rowBorders[3] : m_rowBorders[5];
    }
    return row;
}

bool Reader::tableWord(std::string_view word, bool hasParam, int32_t param)
{
    const auto color = [&]() -> std::optional<uint32_t> {
        return param > 0 && static_cast<size_t>(param) < m_colors.size() ? m_colors[param] : std::nullopt;
    };
    if (word == "trowd") {
        m_row = TableRow{};
        m_cellDef = TableCell{};
        m_cellBordersGiven.clear();
        m_cellDefBorders = 0;
        m_rowBorders = {};
        m_border = nullptr;
        m_shadeFore = m_shadeBack = std::nullopt;
        m_shading = -1;
        m_cellPad = m_rowPad = {-1, -1, -1, -1};
        m_cellPadUnit = m_rowPadUnit = {};
    } else if (word == "cellx") {
        if (m_row.cells.size() < 256) {
            m_cellDef.shading = shade(m_shadeFore, m_shadeBack, m_shading);
            m_cellDef.right = param;
            for (size_t side = 0; side < 4; ++side) {
                int32_t *cell[] = {&m_cellDef.padLeft, &m_cellDef.padRight, &m_cellDef.padTop, &m_cellDef.padBottom};
                int32_t *row[] = {&m_row.padLeft, &m_row.padRight, &m_row.padTop, &m_row.padBottom};
                if (m_cellPadUnit[side] == 3 && m_cellPad[side] >= 0)
                    *cell[side] = std::min(m_cellPad[side], 31680);
                if (m_rowPadUnit[side] == 3 && m_rowPad[side] >= 0)
                    *row[side] = std::min(m_rowPad[side], 31680);
            }
            m_row.cells.push_back(m_cellDef);
            m_cellBordersGiven.push_back(m_cellDefBorders);
        }
        m_cellDef = TableCell{};
        m_cellDefBorders = 0;
        m_border = nullptr;
        m_shadeFore = m_shadeBack = std::nullopt;
        m_shading = -1;
        m_cellPad = {-1, -1, -1, -1};
        m_cellPadUnit = {};
    } else if (word == "clpadt" || word == "clpadft") {
        // Word writes a cell's left padding as \clpadt (and its top as \clpadl), and so do the
        // programs that write for it.
        (word == "clpadt" ? m_cellPad[0] : m_cellPadUnit[0]) = param;
    } else if (word == "clpadl" || word == "clpadfl") {
        (word == "clpadl" ? m_cellPad[2] : m_cellPadUnit[2]) = param;
    } else if (word == "clpadb" || word == "clpadfb") {
        (word == "clpadb" ? m_cellPad[3] : m_cellPadUnit[3]) = param;
    } else if (word == "trpaddt" || word == "trpaddft") {
        (word == "trpaddt" ? m_rowPad[2] : m_rowPadUnit[2]) = param;
    } else if (word == "trpaddb" || word == "trpaddfb") {
        (word == "trpaddb" ? m_rowPad[3] : m_rowPadUnit[3]) = param;
    } else if (word == "clpadr" || word == "clpadfr") {
        (word == "clpadr" ? m_cellPad[1] : m_cellPadUnit[1]) = param;
    } else if (word == "trpaddl" || word == "trpaddfl") {
        (word == "trpaddl" ? m_rowPad[0] : m_rowPadUnit[0]) = param;
    } else if (word == "trpaddr" || word == "trpaddfr") {
        (word == "trpaddr" ? m_rowPad[1] : m_rowPadUnit[1]) = param;
    } else if (word == "trleft") {
        m_row.left = param;
    } else if (word == "trgaph") {
        m_row.gap = std::max(0, param);
    } else if (word == "trhdr") {
        m_row.header = !hasParam || param != 0;
    } else if (word == "trkeep") {
        m_row.keep = !hasParam || param != 0;
    } else if (word.size() == 7 && word.substr(0, 6) == "trbrdr") {
        const std::string_view sides = "tlbrhv";
        const size_t side = sides.find(word[6]);
        m_border = side == std::string_view::npos ? nullptr : &m_rowBorders[side];
        if (m_border)
            *m_border = Border{};
    } else if (word.size() == 7 && word.substr(0, 6) == "clbrdr") {
        m_border = nullptr;
        switch (word[6]) {
        case 't':
            m_border = &m_cellDef.top;
            m_cellDefBorders |= 1;
            break;
        case 'l':
            m_border = &m_cellDef.left;
            m_cellDefBorders |= 2;
            break;
        case 'b':
            m_border = &m_cellDef.bottom;
            m_cellDefBorders |= 4;
            break;
        case 'r':
            m_border = &m_cellDef.rightBorder;
            m_cellDefBorders |= 8;
            break;
        default: break;
        }
        if (m_border)
            *m_border = Border{};
    } else if (word == "brdrt" || word == "brdrb" || word == "brdrl" || word == "brdrr" || word == "box"
               || word == "brdrbtw" || word == "brdrbar") {
        m_border = nullptr; // a paragraph's border: not drawn
    } else if (word.substr(0, 4) == "brdr") {
        if (!m_border)
            return true;
        if (word == "brdrw") {
            m_border->width = std::clamp(param, 0, 1440);
        } else if (word == "brdrcf") {
            m_border->color = color();
        } else if (word == "brdrnone" || word == "brdrnil" || word == "brdrtbl") {
            m_border->style = Border::Style::None;
        } else if (word == "brdrdb" || word == "brdrtriple") {
            m_border->style = Border::Style::Double;
        } else if (word == "brdrdot") {
            m_border->style = Border::Style::Dotted;
        } else if (word.substr(0, 8) == "brdrdash") {
            m_border->style = Border::Style::Dashed;
        } else {
            m_border->style = Border::Style::Single; // single, thick, shadowed, hairline, the rest
            if (word == "brdrth" && m_border->width == 0)
                m_border->width = 30;
        }
    } else if (word == "clcbpat") {
        m_shadeBack = color();
    } else if (word == "clcfpat") {
        m_shadeFore = color();
    } else if (word == "clshdng") {
        m_shading = std::max(0, param);
    } else if (word == "clmgf") {
        m_cellDef.across = TableCell::Merge::First;
    } else if (word == "clmrg") {
        m_cellDef.across = TableCell::Merge::Continued;
    } else if (word == "clvmgf") {
        m_cellDef.down = TableCell::Merge::First;
    } else if (word == "clvmrg") {
        m_cellDef.down = TableCell::Merge::Continued;
    } else {
        return false;
    }
    return true;
}

void Reader::listLabel()
{
    // The bullet or number of a list paragraph that does not bring its own, from its list's
    // level, before the paragraph's first character.
    m_labelDone = true;
    const auto writers = [&] {
        // No list to number it from: the writer's own label, if it gave one.
        if (m_haveListText && !m_listText.empty()) {
            if (!m_text.empty() && !(m_textFormat == m_listTextFormat))
                flushText();
            if (m_text.empty())
                m_textFormat = m_listTextFormat;
            m_text += m_listText;
        }
        m_haveListText = false;
    };
    const auto over = m_state.list > 0 ? m_overrides.find(m_state.list) : m_overrides.end();
    if (over == m_overrides.end())
        return writers();
    const auto list = std::find_if(m_lists.begin(), m_lists.end(), [&](const List &l) { return l.id == over->second; });
    if (list == m_lists.end() || list->levels.empty())
        return writers(); // a list the table does not have
    m_haveListText = false;
    const int levelIndex = std::min<int>(m_state.level, static_cast<int>(list->levels.size()) - 1);
    const ListLevel &level = list->levels[static_cast<size_t>(levelIndex)];
    // Numbers: this level's goes on, the deeper levels start again.
    // A level not started yet holds kNotStarted (a list may start at 0).
    constexpr int kNotStarted = INT_MIN;
    auto counters = m_counters.find(list->id);
    if (counters == m_counters.end()) {
        counters = m_counters.emplace(list->id, std::array<int, 9>{}).first;
        counters->second.fill(kNotStarted);
    }
    std::array<int, 9> &numbers = counters->second;
    int &number = numbers[static_cast<size_t>(levelIndex)];
    number = number != kNotStarted ? std::min(number, 32766) + 1 : level.startAt;
    for (size_t deeper = static_cast<size_t>(levelIndex) + 1; deeper < list->levels.size(); ++deeper)
        if (!list->levels[deeper].noRestart)
            numbers[deeper] = kNotStarted;
    if (level.format == 255 || level.text.empty())
        return;
    // The label's characters: its text holds its length first.
    UString label;
    // Its length, within the characters the group holds before its closing ";".
    size_t available = level.text.size() - 1;
    if (available > 0 && level.text.back() == u';')
        --available;
    const size_t length = std::min<size_t>(level.text[0], available);
    int symbolPage = 0;
    if (level.font >= 0) {
        const auto font = m_fonts.find(level.font);
        if (font != m_fonts.end()
            && (font->second.codePage == kSymbolCodePage || font->second.codePage == kWingdingsCodePage))
            symbolPage = font->second.codePage;
    }
    for (size_t i = 1; i <= length; ++i) {
        const char16_t c = level.text[i];
        if (c < 9) {
            const size_t of = c;
            if (of < list->levels.size()) {
                const int value = numbers[of] != kNotStarted ? numbers[of] : list->levels[of].startAt;
                label += listNumber(value,
                                    of == static_cast<size_t>(levelIndex) ? level.format : list->levels[of].format);
            }
        } else if (symbolPage && (c <= 0xFF || (c >= 0xF000 && c <= 0xF0FF))) {
            // A symbol font's bullet, written as its byte or at its private code point.
            char16_t out[3];
            m_decoder.decode(symbolPage, static_cast<unsigned char>(c & 0xFF), out);
            label.push_back(out[0]);
        } else if (c >= 0x20) { // control characters have no place in a label
            label.push_back(c);
        }
    }
    if (level.follow == 0)
        label.push_back(u'\t');
    else if (level.follow == 1)
        label.push_back(u' ');
    if (!m_text.empty() && !(m_textFormat == m_state.format))
        flushText();
    if (m_text.empty())
        m_textFormat = m_state.format;
    m_text += label;
}

UString Reader::listNumber(int value, int format) const
{
    const auto roman = [](int n, bool upper) {
        static constexpr std::pair<int, const char *> parts[] = {
            {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
            {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
        UString out;
        for (const auto &[size, letters] : parts)
            for (; n >= size; n -= size)
                for (const char *l = letters; *l; ++l)
                    out.push_back(static_cast<char16_t>(upper ? *l - 'a' + 'A' : *l));
        return out;
    };
    const auto letters = [](int n, bool upper) {
        // a..z, then aa..zz, and so on, as word processors count.
        const char16_t letter = static_cast<char16_t>((upper ? u'A' : u'a') + (n - 1) % 26);
        return UString(static_cast<size_t>((n - 1) / 26 + 1), letter);
    };
    if (value < 1 && format >= 1 && format <= 4)
        return decimal(value); // no roman numeral or letter for 0
    switch (format) {
    case 1: return roman(std::min(value, 3999), true);
    case 2: return roman(std::min(value, 3999), false);
    case 3: return letters(std::min(value, 780), true);
    case 4: return letters(std::min(value, 780), false);
    case 22: return value < 10 ? u"0" + decimal(value) : decimal(value);
    case 23: return {};
    default: return decimal(value);
    }
}

void Reader::placeNoteMark(bool endnote)
{
    m_markWaiting = false;
    const int number = endnote ? m_endnoteStart + m_endnotes : m_footnoteStart + m_footnotes;
    const UString mark = listNumber(number, endnote ? m_endnoteFormat : m_footnoteFormat);
    flushText();
    if (m_markFormat.hidden)
        return;
    m_text = mark;
    m_textFormat = m_markFormat;
    flushText();
}

void Reader::openNote()
{
    if (m_partDepth > 0) {
        m_state.destination = Destination::Skip; // a note in a note or header: not printed
        return;
    }
    // An endnote says so at once after the word that starts it.
    size_t at = m_pos;
    while (at < m_in.size() && (m_in[at] == ' ' || m_in[at] == '\r' || m_in[at] == '\n'))
        ++at;
    const bool endnote = m_allEndnotes || m_in.substr(at, 7) == "\\ftnalt";
    if (m_markWaiting)
        placeNoteMark(endnote);
    const int number = endnote ? m_endnoteStart + m_endnotes++ : m_footnoteStart + m_footnotes++;
    m_noteMark = listNumber(number, endnote ? m_endnoteFormat : m_footnoteFormat);
    flushText();
    m_out.noteStart(endnote);
    m_partIsNote = true;
    m_noteStarted = m_noteMarkWaiting = false;
    enterPart();
}

void Reader::startNoteText()
{
    // The mark that starts a note is printed as the note's text is, level with it: the
    // writer's format for it (the mark's in the text, raised) is that of the reference.
    m_noteStarted = true;
    if (!m_noteMarkWaiting)
        return;
    m_noteMarkWaiting = false;
    flushText();
    m_text = m_noteMark;
    m_textFormat = m_state.format;
    m_textFormat.verticalAlign = 0;
}

void Reader::openPagePart(PagePart part)
{
    if (m_partDepth > 0) {
        m_state.destination = Destination::Skip;
        return;
    }
    flushText();
    m_out.pagePartStart(part);
    m_partIsNote = false;
    enterPart();
}

void Reader::enterPart()
{
    // A note or a header starts afresh, outside the document's table and list; what it puts
    // aside comes back when it closes.
    m_partDepth = m_stack.size();
    m_savedRowOpen = m_rowOpen;
    m_savedLabelDone = m_labelDone;
    m_savedHaveListText = m_haveListText;
    m_rowOpen = false;
    m_labelDone = false;
    m_haveListText = false;
    m_state.inTable = false;
    m_state.list = m_state.level = 0;
    m_state.para = ParaFormat{};
}

void Reader::closePart()
{
    // The part's last paragraph stays open for the builder to end.
    dropLead();
    if (m_partIsNote && !m_noteStarted && !m_state.format.hidden)
        startNoteText();
    flushText();
    if (m_rowOpen)
        m_out.tableRowEnd();
    if (m_partIsNote)
        m_out.noteEnd(m_state.para);
    else
        m_out.pagePartEnd(m_state.para);
    m_partDepth = 0;
    m_rowOpen = m_savedRowOpen;
    m_labelDone = m_savedLabelDone;
    m_haveListText = m_savedHaveListText;
}

void Reader::fieldResult()
{
    // A page number field prints the number of each page it is on; the number the writer
    // left in its place is that of one page.
    size_t start = m_fieldInstruction.find_first_not_of(" \t\r\n");
    std::string name;
    for (; start < m_fieldInstruction.size() && std::isalpha(static_cast<unsigned char>(m_fieldInstruction[start]));
         ++start)
        name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(m_fieldInstruction[start]))));
    m_fieldInstruction.clear();
    m_fieldResult = true;
    if (name != "PAGE" && name != "NUMPAGES" && name != "SECTIONPAGES")
        return;
    flushText();
    ensureRow();
    m_out.pageNumber(name != "PAGE", m_state.format);
    m_state.destination = Destination::Skip;
}

void Reader::shapeWord(std::string_view word, bool hasParam, int32_t param)
{
    (void)hasParam;
    if (word == "sn") {
        m_state.destination = Destination::ShapeName;
        m_shapeName.clear();
    } else if (word == "sv") {
        m_state.destination = Destination::ShapeValue;
        m_shapeValue.clear();
    } else if (word == "shptxt") {
        // A text box: its paragraphs are the shape's content, read as the document's text.
        dropLead();
        flushText();
        ensureRow();
        m_out.shapeStart(m_shape);
        m_state.destination = Destination::Text;
        m_shapeTextDepth = m_stack.size();
    } else if (word == "shpleft") {
        m_shape.left = param;
    } else if (word == "shpright") {
        m_shape.right = param;
    } else if (word == "shptop") {
        m_shape.top = param;
    } else if (word == "shpbottom") {
        m_shape.bottom = param;
    } else if (word == "shpbxpage" || word == "shpbxmargin" || word == "shpbxcolumn") {
        m_shape.from = word == "shpbxpage"   ? Shape::From::Page
                     : word == "shpbxmargin" ? Shape::From::Margin
                                             : Shape::From::Column;
    } else if (word == "shpbxignore") {
        m_shapeIgnoresBox = true;
    }
}

void Reader::shapeProperty()
{
    // The properties that place a shape across: its alignment (posh) and what its position is
    // measured from (posrelh).
    int value = 0;
    for (const char c : m_shapeValue)
        if (c >= '0' && c <= '9' && value < 100000)
            value = value * 10 + (c - '0');
    if (m_shapeName == "posh") {
        m_shape.align = value == 1 || value == 4 ? Shape::Align::Left
                      : value == 2               ? Shape::Align::Center
                      : value == 3 || value == 5 ? Shape::Align::Right
                                                 : Shape::Align::Position;
    } else if (m_shapeName == "posrelh" && m_shapeIgnoresBox) {
        m_shape.from = value == 0 ? Shape::From::Margin : value == 1 ? Shape::From::Page : Shape::From::Column;
    }
    m_shapeName.clear();
}

void Reader::finishShape()
{
    // A shape whose content is a picture hands it over as it ends.
    if (!m_shapeDone && !m_shapePictureType.empty()) {
        flushText();
        ensureRow();
        // The picture fills its shape.
        if (m_shape.right > m_shape.left && m_shape.bottom > m_shape.top) {
            m_shapePictureWidth = static_cast<int32_t>(std::min<int64_t>(int64_t(m_shape.right) - m_shape.left, 1 << 24));
            m_shapePictureHeight = static_cast<int32_t>(std::min<int64_t>(int64_t(m_shape.bottom) - m_shape.top, 1 << 24));
        }
        m_out.shapeStart(m_shape);
        m_out.picture(m_shapePictureType, m_shapePictureBytes, m_shapePictureWidth, m_shapePictureHeight);
        m_out.shapeEnd();
    }
    m_shapePictureType.clear();
    m_shapePictureBytes.clear();
    m_shapeDepth = 0;
    m_shapeDone = false;
}

void Reader::finishPicture()
{
    // A picture whose data is missing or damaged is still handed over: the builder keeps its
    // place. A scale that is not positive is taken as none.
    if (!m_pictureType.empty()) {
        if (m_shapeDepth == 0 || m_shapeTextDepth > 0) {
            flushText();
            ensureRow();
        }
        const auto scaled = [](int32_t size, int32_t scale) {
            const int32_t percent = scale > 0 ? std::min(scale, 1000) : 100;
            return static_cast<int32_t>(std::clamp<int64_t>(int64_t(size) * percent / 100, 0, 1 << 24));
        };
        int32_t width = m_pictureGoalWidth, height = m_pictureGoalHeight;
        if (m_pictureType == "wmf" || m_pictureType == "emf") {
            // A metafile without a size on paper: its own, in hundredths of a millimetre.
            if (width <= 0 && m_pictureWidth > 0)
                width = static_cast<int32_t>(std::min<int64_t>(int64_t(m_pictureWidth) * 1440 / 2540, 1 << 24));
            if (height <= 0 && m_pictureHeight > 0)
                height = static_cast<int32_t>(std::min<int64_t>(int64_t(m_pictureHeight) * 1440 / 2540, 1 << 24));
        } else if (m_pictureType == "dib") {
            m_pictureType = "bmp";
            m_pictureBytes = bmpFromPackedDib(m_pictureBytes);
        } else if (m_pictureType == "ddb") {
            m_pictureType = "bmp";
            m_pictureBytes = bmpFromDeviceBitmap(m_pictureBytes, m_pictureWidth, m_pictureHeight, m_bitmapWidthBytes,
                                                 m_bitmapBits);
        }
        if (m_shapeDepth > 0 && m_shapeTextDepth == 0) {
            // The picture of a shape (its "pib" property, not a fill's or a line's): handed over
            // with the shape's place when the shape ends.
            if (m_shapeName == "pib") {
                m_shapePictureType = m_pictureType;
                m_shapePictureBytes = std::move(m_pictureBytes);
                m_shapePictureWidth = scaled(width, m_pictureScaleX);
                m_shapePictureHeight = scaled(height, m_pictureScaleY);
            }
        } else {
            m_out.picture(m_pictureType, m_pictureBytes, scaled(width, m_pictureScaleX), scaled(height, m_pictureScaleY));
        }
    }
    m_pictureBytes.clear();
    m_pictureType.clear();
    m_pictureDepth = 0;
}

void Reader::controlSymbol(char symbol)
{
    if (m_state.destination == Destination::Skip)
        return;
    const bool literal = symbol == '\\' || symbol == '{' || symbol == '}';
    if (symbol != '\'' && symbol != '\r' && symbol != '\n' && !literal)
        dropLead();
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        // An escaped character may be the trail byte of a double-byte one.
        if (m_decoder.leadWaiting())
            byteInCodePage(static_cast<unsigned char>(symbol));
        else
            character(static_cast<char16_t>(symbol));
        break;
    case '~': character(0x00A0); break;
    case '_': character(0x2011); break;
    case '-': character(0x00AD); break; // optional hyphen: shown where a line breaks
    case '*': m_starred = true; break;
    case '\'': {
        const int hi = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
        const int lo = m_pos + 1 < m_in.size() ? hexValue(m_in[m_pos + 1]) : -1;
        if (hi < 0 || lo < 0) { // truncated: take what stands there as ordinary text
            break;
        }
        m_pos += 2;
        byteInCodePage(static_cast<unsigned char>(hi * 16 + lo));
        break;
    }
    case '\r':
    case '\n':
        if (m_state.destination == Destination::Text)
            endParagraph();
        break;
    case '\t': character(u'\t'); break;
    default: break;
    }
}

void Reader::controlWord(std::string_view word, bool hasParam, int32_t param)
{
    const bool starred = m_starred;
    m_starred = false;

    // \bin takes raw bytes in every destination.
    if (word == "bin") {
        const size_t count = std::min<size_t>(param > 0 ? static_cast<size_t>(param) : 0, m_in.size() - m_pos);
        if (m_state.destination == Destination::Picture)
            m_pictureBytes.append(m_in.substr(m_pos, count));
        m_pos += count;
        return;
    }
    if (m_state.destination == Destination::Skip)
        return;
    dropLead();

    // Destinations.
    if (word == "fonttbl") {
        m_state.destination = Destination::FontTable;
        return;
    }
    if (word == "colortbl") {
        m_state.destination = Destination::ColorTable;
        m_colors.clear();
        return;
    }
    if (word == "pict") {
        m_state.destination = Destination::Picture;
        m_pictureType.clear();
        m_pictureBytes.clear();
        m_pictureGoalWidth = m_pictureGoalHeight = 0;
        m_pictureScaleX = m_pictureScaleY = 100;
        m_pictureWidth = m_pictureHeight = 0;
        m_bitmapBits = 1;
        m_bitmapWidthBytes = 0;
        m_nibble = -1;
        m_pictureDepth = m_stack.size();
        return;
    }
    if (word == "shppict")
        return; // the picture in a shape: read as any picture
    if (word == "shp") {
        if (m_shapeDepth > 0) {
            m_state.destination = Destination::Skip; // a shape of a group of shapes
            return;
        }
        m_shapeDepth = m_stack.size();
        m_shape = Shape{};
        m_shapeIgnoresBox = m_shapeDone = false;
        m_shapePictureType.clear();
        m_shapePictureBytes.clear();
        return;
    }
    if (word == "shpinst" && m_shapeDepth > 0) {
        m_state.destination = Destination::ShapeInstructions;
        return;
    }
    if (word == "shprslt" && m_shapeDepth > 0) {
        // What the writer drew for readers that do not know shapes: the shape itself prints.
        m_state.destination = Destination::Skip;
        return;
    }
    if (word == "listtable") {
        m_state.destination = Destination::ListTable;
        return;
    }
    if (word == "listoverridetable") {
        m_state.destination = Destination::ListOverrides;
        return;
    }
    if (word == "listtext" || word == "pntext") {
        // The label as the writer numbered it, for readers that do not number lists: kept, and
        // printed only if the paragraph's list cannot number it.
        m_state.destination = Destination::ListText;
        m_haveListText = true;
        m_listText.clear();
        return;
    }
    if (m_state.destination == Destination::Text) {
        static constexpr std::pair<std::string_view, PagePart> parts[] = {
            {"header", PagePart::Header},       {"headerl", PagePart::HeaderLeft}, {"headerr", PagePart::HeaderRight},
            {"headerf", PagePart::HeaderFirst}, {"footer", PagePart::Footer},      {"footerl", PagePart::FooterLeft},
            {"footerr", PagePart::FooterRight}, {"footerf", PagePart::FooterFirst}};
        for (const auto &[name, part] : parts) {
            if (word == name) {
                openPagePart(part);
                return;
            }
        }
        if (word == "footnote") {
            openNote();
            return;
        }
        if (word == "field") {
            m_fieldInstruction.clear();
            m_fieldDepth = m_stack.size();
            m_fieldResult = false;
            return;
        }
        if (word == "fldinst") {
            m_state.destination = Destination::FieldInstruction;
            return;
        }
        if (word == "fldrslt") {
            fieldResult();
            return;
        }
    }
    if (isSkippedDestination(word)) {
        m_state.destination = Destination::Skip;
        return;
    }
    if (m_state.destination == Destination::FieldInstruction)
        return; // the instruction's own words (and formats) print nothing

    if (m_state.destination == Destination::FontTable) {
        if (word == "f") {
            m_definingFont = param;
            m_fontNameBytes.clear();
            m_fonts[param];
        } else if (word == "fcharset") {
            // Writers on the Macintosh give every font charset 77 and the page itself as the
            // document's.
            const bool macintosh = m_documentCodePage > 10000 && m_documentCodePage < 10100;
            m_fonts[m_definingFont].codePage = param == 77 && macintosh ? 0 : codePageOfCharset(param);
        } else if (word == "cpg") {
            if (m_decoder.known(param))
                m_fonts[m_definingFont].codePage = param;
        } else if (word == "u" || word == "uc") {
            // Unicode font names: rare; the ANSI name that follows stands for it.
        } else if (starred) {
            m_state.destination = Destination::Skip; // alternative names, panose
        }
        return;
    }
    if (m_state.destination == Destination::ListTable || m_state.destination == Destination::LevelText) {
        if (word == "list") {
            if (m_lists.size() < 10000)
                m_lists.emplace_back();
        } else if (m_lists.empty()) {
            return;
        } else if (word == "listid") {
            m_lists.back().id = param;
        } else if (word == "listlevel") {
            if (m_lists.back().levels.size() < 9)
                m_lists.back().levels.emplace_back();
            else
                m_state.destination = Destination::Skip; // lists have nine levels
        } else if (m_lists.back().levels.empty()) {
            return;
        } else if (word == "leveltext") {
            m_state.destination = Destination::LevelText;
            m_lists.back().levels.back().text.clear();
        } else if (word == "u" && m_state.destination == Destination::LevelText) {
            character(static_cast<char16_t>(param < 0 ? param + 65536 : param));
            m_skipCount = m_state.unicodeSkip;
            return;
        } else if (word == "uc") {
            m_state.unicodeSkip = std::clamp(param, 0, 16);
        } else {
            ListLevel &level = m_lists.back().levels.back();
            if (word == "levelnfc" || word == "levelnfcn")
                level.format = param;
            else if (word == "levelstartat")
                level.startAt = std::clamp(param, 0, 32767);
            else if (word == "levelfollow")
                level.follow = param;
            else if (word == "levelnorestart")
                level.noRestart = param != 0 || !hasParam;
            else if (word == "f")
                level.font = param;
        }
        m_skipCount = 0;
        return;
    }
    if (m_state.destination == Destination::ListOverrides) {
        if (word == "listoverride") {
            m_overrideNumber = m_overrideList = 0;
        } else if (word == "listid") {
            m_overrideList = param;
            if (m_overrideNumber > 0)
                m_overrides[m_overrideNumber] = param;
        } else if (word == "ls") {
            m_overrideNumber = param;
            if (m_overrides.size() < 10000)
                m_overrides[param] = m_overrideList;
        } else if (word == "lfolevel") {
            m_state.destination = Destination::Skip; // restarts of levels: numbers go on
        }
        return;
    }
    if (m_state.destination == Destination::ShapeInstructions || m_state.destination == Destination::ShapeName
        || m_state.destination == Destination::ShapeValue) {
        shapeWord(word, hasParam, param);
        return;
    }
    if (m_state.destination == Destination::ColorTable) {
        if (word == "red")
            m_red = param, m_colorGiven = true;
        else if (word == "green")
            m_green = param, m_colorGiven = true;
        else if (word == "blue")
            m_blue = param, m_colorGiven = true;
        return;
    }
    if (m_state.destination == Destination::Picture) {
        if (starred) {
            // The picture's properties and identifiers: their text is not picture data.
            m_state.destination = Destination::Skip;
            return;
        }
        if (word == "pngblip")
            m_pictureType = "png";
        else if (word == "jpegblip")
            m_pictureType = "jpeg";
        else if (word == "wmetafile")
            m_pictureType = "wmf";
        else if (word == "emfblip")
            m_pictureType = "emf";
        else if (word == "dibitmap")
            m_pictureType = "dib";
        else if (word == "wbitmap")
            m_pictureType = "ddb";
        else if (word == "macpict" || word == "pmmetafile")
            m_pictureType = "other"; // not read: the builder keeps its place
        else if (word == "picw")
            m_pictureWidth = param;
        else if (word == "pich")
            m_pictureHeight = param;
        else if (word == "wbmbitspixel")
            m_bitmapBits = param;
        else if (word == "wbmwidthbytes")
            m_bitmapWidthBytes = param;
        else if (word == "picwgoal")
            m_pictureGoalWidth = param;
        else if (word == "pichgoal")
            m_pictureGoalHeight = param;
        else if (word == "picscalex")
            m_pictureScaleX = param;
        else if (word == "picscaley")
            m_pictureScaleY = param;
        return;
    }

    CharFormat &f = m_state.format;
    const bool on = !hasParam || param != 0;
    // A header's, a footer's or a note's text has no sections: what it names of one would
    // otherwise change the body's.
    if (m_partDepth > 0 && namesSection(word))
        return;
    if (word == "par") {
        endParagraph();
    } else if (word == "sect") {
        endParagraph();
        if (m_partDepth == 0)
            m_sectionWaiting = m_sectionStarting = true;
    } else if (word == "sectd") {
        m_sectionBreaksPage = true;
        m_section = SectionFormat();
        m_sectionWidth = m_sectionHeight = 0;
        m_sectionLandscape = false;
    } else if (word == "cols") {
        m_section.columns = std::clamp(hasParam ? param : 1, 1, 20);
    } else if (word == "colsx") {
        m_section.columnGap = std::clamp(param, 0, 31680);
    } else if (word == "linebetcol") {
        m_section.columnRule = on;
    } else if (word == "pgwsxn" || word == "pghsxn" || word == "paperw" || word == "paperh") {
        int32_t &size = word == "pgwsxn" ? m_sectionWidth
                      : word == "pghsxn" ? m_sectionHeight
                      : word == "paperw" ? m_paperWidth
                                         : m_paperHeight;
        size = std::clamp(param, 0, 31680 * 2);
    } else if (word == "lndscpsxn") {
        m_sectionLandscape = on;
    } else if (word == "landscape") {
        m_paperLandscape = on;
    } else if (word == "column") {
        flushText();
        ensureRow();
        m_out.columnBreak(m_state.para);
    } else if (word == "sbknone" || word == "sbkpage" || word == "sbkcol" || word == "sbkeven" || word == "sbkodd") {
        m_sectionBreaksPage = word != "sbknone";
    } else if (word == "headery" || word == "footery") {
        (word == "headery" ? m_frame.headerY : m_frame.footerY) = std::clamp(param, 0, 31680);
    } else if (word == "titlepg") {
        m_frame.titlePage = on;
    } else if (word == "facingp") {
        m_frame.facing = on;
    } else if (word == "chftn") {
        if (m_partDepth > 0 && m_partIsNote) {
            if (m_noteStarted) {
                for (const char16_t c : m_noteMark)
                    character(c);
            } else {
                m_noteMarkWaiting = true;
            }
        } else if (m_partDepth == 0) {
            // The mark of the note that follows: its number is known when the note's kind is.
            flushText();
            m_markWaiting = true;
            m_markFormat = f;
        }
    } else if (word == "chpgn") {
        flushText();
        ensureRow();
        m_out.pageNumber(false, f);
    } else if (word == "fet") {
        m_allEndnotes = param == 1;
    } else if (word == "ftnstart" || word == "aftnstart") {
        (word == "ftnstart" ? m_footnoteStart : m_endnoteStart) = std::clamp(param, 0, 32767);
    } else if (word.starts_with("ftnn") || word.starts_with("aftnn")) {
        // The notes' numbering: arabic, letters or roman numerals.
        const std::string_view kind = word.substr(word.find("nn") + 2);
        const int format = kind == "ruc" ? 1 : kind == "rlc" ? 2 : kind == "auc" ? 3 : kind == "alc" ? 4 : 0;
        (word[0] == 'a' ? m_endnoteFormat : m_footnoteFormat) = format;
    } else if (word == "line") {
        flushText();
        ensureRow();
        m_out.lineBreak(f);
    } else if (word == "tab") {
        character(u'\t');
    } else if (word == "page") {
        flushText();
        m_sectionWaiting = false; // the page the section starts on
        m_out.pageBreak(m_state.para);
    } else if (word == "u") {
        character(static_cast<char16_t>(param < 0 ? param + 65536 : param));
        m_skipCount = m_state.unicodeSkip;
        return;
    } else if (word == "uc") {
        m_state.unicodeSkip = std::clamp(param, 0, 16);
    } else if (word == "ansicpg") {
        if (m_decoder.known(param))
            m_documentCodePage = param;
    } else if (word == "deff") {
        m_defaultFont = param;
    } else if (word == "plain") {
        f = CharFormat{};
        setFont(m_defaultFont);
    } else if (word == "f") {
        setFont(param);
    } else if (word == "fs") {
        // Half points; sizes no font has fall back to the default.
        f.pointSize = hasParam && param > 0 ? std::clamp(param / 2.0, 1.0, 1638.0) : 12;
    } else if (word == "b") {
        f.bold = on;
    } else if (word == "i") {
        f.italic = on;
    } else if (word == "ulnone") {
        f.underline = false;
        f.underlineStyle = CharFormat::Underline::Single;
    } else if (word == "uldb" || word == "ulw" || word == "ul" || word == "uld" || word == "uldash" || word == "uldashd"
               || word == "uldashdd" || word == "ulldash" || word == "ulwave" || word == "ulhwave"
               || word == "ululdbwave" || word.substr(0, 4) == "ulth") {
        // Dotted, dashed, thick and wavy lines are drawn as a single one.
        f.underline = on;
        f.underlineStyle = word == "uldb" ? CharFormat::Underline::Double
                         : word == "ulw"  ? CharFormat::Underline::Words
                                          : CharFormat::Underline::Single;
    } else if (word == "caps") {
        f.caps = on;
    } else if (word == "scaps") {
        f.smallCaps = on;
    } else if (word == "expndtw" || word == "expnd") {
        // Space added after each character: in twips, or in quarter points.
        f.spacing = std::clamp(word == "expnd" ? param / 4 * 20 + param % 4 * 5 : param, -1440, 1440);
    } else if (word == "strike") {
        f.strike = on;
    } else if (word == "v") {
        f.hidden = on;
    } else if (word == "deftab") {
        if (param > 0)
            m_out.defaultTab(std::min(param, 31680)); // at most 22 inches
    } else if (word == "super") {
        f.verticalAlign = 1;
    } else if (word == "sub") {
        f.verticalAlign = -1;
    } else if (word == "nosupersub") {
        f.verticalAlign = 0;
    } else if (word == "cf") {
        f.color = param > 0 && static_cast<size_t>(param) < m_colors.size() ? m_colors[param] : std::nullopt;
    } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
        f.background = param > 0 && static_cast<size_t>(param) < m_colors.size() ? m_colors[param] : std::nullopt;
    } else if (word == "cbpat" || word == "cfpat" || word == "shading") {
        const auto colour = param > 0 && static_cast<size_t>(param) < m_colors.size() ? m_colors[param] : std::nullopt;
        if (word == "cbpat")
            m_state.shadeBack = colour;
        else if (word == "cfpat")
            m_state.shadeFore = colour;
        else
            m_state.shading = std::max(0, param);
        m_state.para.shading = shade(m_state.shadeFore, m_state.shadeBack, m_state.shading);
    } else if (word == "pard") {
        m_state.para = ParaFormat{};
        m_state.shadeFore = m_state.shadeBack = std::nullopt;
        m_state.shading = 0;
        m_state.list = m_state.level = 0;
        m_state.tabKind = TabStop::Kind::Left;
        m_state.tabLeader = 0;
        m_state.inTable = false;
    } else if (word == "rtlpar" || word == "ltrpar") {
        m_state.para.rightToLeft = word == "rtlpar";
    } else if (word == "ql") {
        m_state.para.align = ParaFormat::Align::Left;
    } else if (word == "qc") {
        m_state.para.align = ParaFormat::Align::Center;
    } else if (word == "qr") {
        m_state.para.align = ParaFormat::Align::Right;
    } else if (word == "qj") {
        m_state.para.align = ParaFormat::Align::Justify;
    } else if (word == "li") {
        m_state.para.leftIndent = param;
    } else if (word == "ri") {
        m_state.para.rightIndent = param;
    } else if (word == "fi") {
        m_state.para.firstIndent = param;
    } else if (word == "pagebb") {
        m_state.para.pageBreakBefore = !hasParam || param != 0;
    } else if (word == "sb") {
        m_state.para.spaceBefore = param;
    } else if (word == "sa") {
        m_state.para.spaceAfter = param;
    } else if (word == "sl") {
        m_state.para.lineSpacing = param;
    } else if (word == "slmult") {
        m_state.para.lineSpacingMultiple = param != 0;
    } else if (word == "tqr" || word == "tqc" || word == "tqdec") {
        // The kind of the tab stop that the next \tx places.
        m_state.tabKind = word == "tqr" ? TabStop::Kind::Right
                        : word == "tqc" ? TabStop::Kind::Center
                                        : TabStop::Kind::Decimal;
    } else if (word == "tx") {
        if (m_state.para.tabs.size() < 256)
            m_state.para.tabs.push_back({param, m_state.tabKind, m_state.tabLeader});
        m_state.tabKind = TabStop::Kind::Left;
        m_state.tabLeader = 0;
    } else if (word == "tldot" || word == "tlmdot" || word == "tlhyph" || word == "tlul" || word == "tlth"
               || word == "tleq") {
        // What fills the space before the next \tx's stop.
        m_state.tabLeader = word == "tldot"  ? u'.'
                          : word == "tlmdot" ? u'\u00B7'
                          : word == "tlhyph" ? u'-'
                          : word == "tleq"   ? u'='
                                             : u'_';
    } else if (word == "ls") {
        m_state.list = param;
    } else if (word == "ilvl") {
        m_state.level = std::clamp(param, 0, 8);
    } else if (word == "intbl") {
        m_state.inTable = true;
    } else if (tableWord(word, hasParam, param)) {
    } else if (word == "cell") {
        if (!m_labelDone && !f.hidden)
            listLabel();
        m_labelDone = false;
        m_haveListText = false;
        flushText();
        m_state.inTable = true;
        ensureRow();
        m_out.tableCellEnd(m_state.para, f);
    } else if (word == "nestcell") {
        character(u'\t'); // a cell of a table inside a cell: its text set apart from the next
    } else if (word == "nestrow") {
        flushText();
        ensureRow();
        m_out.lineBreak(f);
    } else if (word == "row") {
        flushText();
        if (m_rowOpen)
            m_out.tableRowEnd();
        m_rowOpen = false;
    } else if (word == "emdash") {
        character(0x2014);
    } else if (word == "endash") {
        character(0x2013);
    } else if (word == "lquote") {
        character(0x2018);
    } else if (word == "rquote") {
        character(0x2019);
    } else if (word == "ldblquote") {
        character(0x201C);
    } else if (word == "rdblquote") {
        character(0x201D);
    } else if (word == "bullet") {
        character(0x2022);
    } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
        character(u' ');
    } else if (starred) {
        // An unknown destination marked as ignorable.
        m_state.destination = Destination::Skip;
    }
    m_skipCount = 0;
}

} // namespace

void readRtf(std::string_view rtf, DocumentBuilder &builder) { Reader(rtf, builder).run(); }

} // namespace corvane
