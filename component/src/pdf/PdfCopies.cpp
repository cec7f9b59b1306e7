#include "PdfCopies.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace corvane::pdf {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool isDelimiter(char c)
{
    return isSpace(c) || c == '/' || c == '[' || c == ']' || c == '<' || c == '>' || c == '(' || c == ')';
}

size_t skipSpace(std::string_view s, size_t i)
{
    while (i < s.size() && isSpace(s[i]))
        ++i;
    return i;
}

// A non-negative integer at i (at most 12 digits); i moves past it.
std::optional<long long> number(std::string_view s, size_t &i)
{
    i = skipSpace(s, i);
    long long value = 0;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && digits < 12) {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || (i < s.size() && s[i] >= '0' && s[i] <= '9'))
        return std::nullopt;
    return value;
}

// Where a key's value starts in a dictionary's text ("/Count" is not found in "/Counts").
std::optional<size_t> valueOf(std::string_view dict, std::string_view key)
{
    for (size_t at = dict.find(key); at != std::string_view::npos; at = dict.find(key, at + 1)) {
        const size_t end = at + key.size();
        if (end < dict.size() && isDelimiter(dict[end]))
            return end;
    }
    return std::nullopt;
}

// "/Key 12 0 R": 12.
std::optional<long long> reference(std::string_view dict, std::string_view key)
{
    auto at = valueOf(dict, key);
    if (!at)
        return std::nullopt;
    size_t i = *at;
    const auto object = number(dict, i);
    const auto generation = number(dict, i);
    i = skipSpace(dict, i);
    if (!object || !generation || i >= dict.size() || dict[i] != 'R')
        return std::nullopt;
    return object;
}

// The references of an array "[1 0 R 2 0 R]" that starts at `open`; `close` gets the bracket
// that ends it.
std::optional<std::vector<long long>> references(std::string_view s, size_t open, size_t &close)
{
    std::vector<long long> out;
    size_t i = open + 1;
    for (;;) {
        i = skipSpace(s, i);
        if (i >= s.size())
            return std::nullopt;
        if (s[i] == ']') {
            close = i;
            return out;
        }
        const auto object = number(s, i);
        const auto generation = number(s, i);
        i = skipSpace(s, i);
        if (!object || !generation || i >= s.size() || s[i] != 'R')
            return std::nullopt;
        out.push_back(*object);
        ++i;
    }
}

std::string entry(size_t offset)
{
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    return line;
}

// A classic cross-reference table, the one startxref points at, and its trailer.
struct Table {
    std::string_view pdf;
    std::vector<long long> offsets; // of each object in use, -1 for the others
    std::string_view trailer;
    long long xref = 0, size = 0, root = 0;
    std::optional<long long> info;

    // An object's text between "N 0 obj" and "endobj".
    std::optional<std::string_view> object(long long number) const
    {
        if (number < 0 || static_cast<size_t>(number) >= offsets.size() || offsets[static_cast<size_t>(number)] < 0)
            return std::nullopt;
        const auto start = static_cast<size_t>(offsets[static_cast<size_t>(number)]);
        const std::string head = std::to_string(number) + " 0 obj";
        if (start >= pdf.size() || pdf.substr(start, head.size()) != head)
            return std::nullopt;
        const size_t body = start + head.size();
        const size_t end = pdf.find("endobj", body);
        if (end == std::string_view::npos)
            return std::nullopt;
        std::string_view text = pdf.substr(body, end - body);
        while (!text.empty() && isSpace(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isSpace(text.back()))
            text.remove_suffix(1);
        return text;
    }
};

std::optional<Table> readTable(std::string_view pdf)
{
    Table table;
    table.pdf = pdf;
    const size_t startxref = pdf.rfind("startxref");
    if (startxref == std::string_view::npos)
        return std::nullopt;
    size_t i = startxref + 9;
    const auto xref = number(pdf, i);
    if (!xref || static_cast<size_t>(*xref) + 4 > pdf.size() || pdf.substr(static_cast<size_t>(*xref), 4) != "xref")
        return std::nullopt;
    table.xref = *xref;
    std::vector<long long> &offsets = table.offsets;
    i = static_cast<size_t>(*xref) + 4;
    for (;;) {
        i = skipSpace(pdf, i);
        if (pdf.substr(i, 7) == "trailer")
            break;
        const auto first = number(pdf, i), count = number(pdf, i);
        if (!first || !count || *first + *count > 10'000'000)
            return std::nullopt;
        if (offsets.size() < static_cast<size_t>(*first + *count))
            offsets.resize(static_cast<size_t>(*first + *count), -1);
        for (long long k = 0; k < *count; ++k) {
            const auto offset = number(pdf, i), generation = number(pdf, i);
            i = skipSpace(pdf, i);
            if (!offset || !generation || i >= pdf.size())
                return std::nullopt;
            if (pdf[i] == 'n')
                offsets[static_cast<size_t>(*first + k)] = *offset;
            ++i;
        }
    }
    table.trailer = pdf.substr(i, startxref - i);
    size_t sizeAt = 0;
    if (const auto at = valueOf(table.trailer, "/Size"))
        sizeAt = *at;
    const auto size = sizeAt ? number(table.trailer, sizeAt) : std::nullopt;
    const auto root = reference(table.trailer, "/Root");
    if (!size || !root || static_cast<size_t>(*size) < offsets.size())
        return std::nullopt;
    table.size = *size;
    table.root = *root;
    table.info = reference(table.trailer, "/Info");
    return table;
}

// Where a string's token that starts at i ends: a literal, its parentheses balanced and its
// escapes skipped, or a hexadecimal one. npos when it is neither, or does not end.
size_t stringEnd(std::string_view s, size_t i)
{
    if (i < s.size() && s[i] == '<' && (i + 1 >= s.size() || s[i + 1] != '<')) {
        const size_t close = s.find('>', i);
        return close == std::string_view::npos ? close : close + 1;
    }
    if (i >= s.size() || s[i] != '(')
        return std::string_view::npos;
    int depth = 0;
    for (; i < s.size(); ++i) {
        if (s[i] == '\\')
            ++i;
        else if (s[i] == '(')
            ++depth;
        else if (s[i] == ')' && --depth == 0)
            return i + 1;
    }
    return std::string_view::npos;
}

} // namespace

std::string textString(std::u16string_view text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
    if (ascii) {
        std::string out = "(";
        for (const char16_t c : text) {
            if (c == u'(' || c == u')' || c == u'\\') {
                out.push_back('\\');
                out.push_back(static_cast<char>(c));
            } else if (c < 0x20 || c == 0x7F) {
                char octal[8];
                std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(c));
                out += octal;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        return out + ')';
    }
    // UTF-16BE after its mark; a surrogate without its partner cannot be written, and is U+FFFD.
    std::string out = "<FEFF";
    char unit[8];
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        const bool lead = c >= 0xD800 && c <= 0xDBFF;
        const bool paired = lead && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (paired) {
            std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
            out += unit;
            c = text[++i];
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
        out += unit;
    }
    return out + '>';
}

std::optional<std::string> retitle(std::string_view pdf, std::u16string_view title)
{
    const auto table = readTable(pdf);
    if (!table)
        return std::nullopt;
    // The document information again, with the title in place of any it had.
    std::string info = "<</Title " + textString(title);
    if (table->info) {
        const auto old = table->object(*table->info);
        if (!old || old->substr(0, 2) != "<<" || old->size() < 4 || old->substr(old->size() - 2) != ">>")
            return std::nullopt;
        std::string_view entries = old->substr(2, old->size() - 4);
        if (const auto at = valueOf(entries, "/Title")) {
            const size_t value = skipSpace(entries, *at);
            const size_t end = stringEnd(entries, value);
            if (end == std::string_view::npos)
                return std::nullopt;
            info += ' ';
            info += entries.substr(0, *at - 6);
            info += entries.substr(end);
        } else {
            info += ' ';
            info += entries;
        }
    }
    info += ">>";
    const long long id = table->info.value_or(table->size);
    const long long size = table->info ? table->size : table->size + 1;
    std::string out = "\n";
    const size_t infoOffset = pdf.size() + out.size();
    out += std::to_string(id) + " 0 obj\n" + info + "\nendobj\n";
    const size_t xref = pdf.size() + out.size();
    out += "xref\n0 1\n0000000000 65535 f \n" + std::to_string(id) + " 1\n" + entry(infoOffset);
    out += "trailer\n<<\n/Size " + std::to_string(size) + "\n/Root " + std::to_string(table->root) + " 0 R\n/Info "
         + std::to_string(id) + " 0 R\n";
    // The file's identifier stays what it was: the same document, updated.
    if (const auto at = valueOf(table->trailer, "/ID")) {
        const size_t open = skipSpace(table->trailer, *at);
        const size_t close = table->trailer.find(']', open);
        if (open >= table->trailer.size() || table->trailer[open] != '[' || close == std::string_view::npos)
            return std::nullopt;
        out += "/ID ";
        out += table->trailer.substr(open, close + 1 - open);
        out += '\n';
    }
    out += "/Prev " + std::to_string(table->xref) + "\n>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::optional<std::string> repeatPages(std::string_view pdf, int copies)
{
    if (copies < 2)
        return std::string();
    const auto classic = readTable(pdf);
    if (!classic)
        return std::nullopt;
    const long long size = classic->size, root = classic->root, xref = classic->xref;
    const std::optional<long long> info = classic->info;
    const auto object = [&](long long number) { return classic->object(number); };
    const auto isType = [](std::string_view dict, std::string_view type) {
        const auto at = valueOf(dict, "/Type");
        if (!at)
            return false;
        const size_t value = skipSpace(dict, *at);
        const size_t end = value + type.size();
        return dict.substr(value, type.size()) == type && (end >= dict.size() || isDelimiter(dict[end]));
    };

    // The page list, one level deep.
    const auto catalog = object(root);
    const auto pagesId = catalog ? reference(*catalog, "/Pages") : std::nullopt;
    const auto pages = pagesId ? object(*pagesId) : std::nullopt;
    if (!pages || !isType(*pages, "/Pages"))
        return std::nullopt;
    const auto kidsAt = valueOf(*pages, "/Kids");
    const auto countAt = valueOf(*pages, "/Count");
    if (!kidsAt || !countAt)
        return std::nullopt;
    const size_t open = skipSpace(*pages, *kidsAt);
    size_t close = 0;
    if (open >= pages->size() || (*pages)[open] != '[')
        return std::nullopt;
    const auto kids = references(*pages, open, close);
    size_t countEnd = *countAt;
    const auto count = number(*pages, countEnd);
    if (!kids || kids->empty() || !count || static_cast<size_t>(*count) != kids->size())
        return std::nullopt;
    std::vector<std::string_view> pageObjects;
    for (const long long kid : *kids) {
        const auto page = object(kid);
        if (!page || !isType(*page, "/Page") || reference(*page, "/Parent") != pagesId)
            return std::nullopt;
        pageObjects.push_back(*page);
    }

    // The update: the further copies' pages, which keep the page list as their parent, then
    // the page list again, holding every page.
    std::string out = "\n";
    long long next = size;
    std::vector<size_t> added;
    std::string list;
    for (const long long kid : *kids)
        list += std::to_string(kid) + " 0 R ";
    for (int copy = 1; copy < copies; ++copy) {
        for (const std::string_view page : pageObjects) {
            added.push_back(pdf.size() + out.size());
            list += std::to_string(next) + " 0 R ";
            out += std::to_string(next++) + " 0 obj\n";
            out += page;
            out += "\nendobj\n";
        }
    }
    const size_t total = kids->size() * static_cast<size_t>(copies);
    // The page list's text with its kids and count replaced, in whichever order they come.
    struct Replacement {
        size_t from, to;
        std::string text;
    };
    Replacement first{open, close + 1, '[' + list + ']'};
    Replacement second{*countAt, countEnd, ' ' + std::to_string(total)};
    if (second.from < first.from)
        std::swap(first, second);
    std::string listText(pages->substr(0, first.from));
    listText += first.text;
    listText += pages->substr(first.to, second.from - first.to);
    listText += second.text;
    listText += pages->substr(second.to);
    const size_t pagesOffset = pdf.size() + out.size();
    out += std::to_string(*pagesId) + " 0 obj\n" + listText + "\nendobj\n";

    const size_t table = pdf.size() + out.size();
    out += "xref\n0 1\n0000000000 65535 f \n" + std::to_string(*pagesId) + " 1\n" + entry(pagesOffset);
    out += std::to_string(size) + ' ' + std::to_string(added.size()) + '\n';
    for (const size_t offset : added)
        out += entry(offset);
    out += "trailer\n<<\n/Size " + std::to_string(next) + "\n/Root " + std::to_string(root) + " 0 R\n";
    if (info)
        out += "/Info " + std::to_string(*info) + " 0 R\n";
    out += "/Prev " + std::to_string(xref) + "\n>>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
    return out;
}

} // namespace corvane::pdf
