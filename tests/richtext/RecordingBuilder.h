// A document builder that writes what it is told as text lines, for reader tests:
//   T "text" Arial 12 BIUS^ #ff0000      a run (flags: bold, italic, underline, strike, super/sub,
//                                         then = double or w words-only underline, C caps,
//                                         c small caps, +N twips of character spacing)
//   P left li=0 ri=0 fi=0 sb=0 sa=0       a paragraph end
//   L / PAGE / ROW 3000,6000 / CELL / ENDROW / PICT png 1234x567 (n bytes) / END left ...
//   NOTE foot / /NOTE left ... / PART 0 / /PART left ... / PAGENO / NUMPAGES / FRAME ...
#pragma once

#include "richtext/DocumentBuilder.h"

#include <string>
#include <vector>

namespace corvane::testing {

class RecordingBuilder : public DocumentBuilder {
public:
    std::vector<std::string> lines;

    std::string all() const
    {
        std::string out;
        for (const auto &line : lines)
            out += line + "\n";
        return out;
    }
    // The document's text alone: runs joined, paragraphs and cells as "|".
    std::string plain() const { return m_plain; }

    void defaultTab(int32_t twips) override { lines.push_back("DEFTAB " + std::to_string(twips)); }

    void text(std::u16string_view text, const CharFormat &f) override
    {
        std::string flags;
        flags += f.bold ? 'B' : '-';
        flags += f.italic ? 'I' : '-';
        flags += f.underline ? 'U' : '-';
        flags += f.strike ? 'S' : '-';
        flags += f.verticalAlign > 0 ? '^' : f.verticalAlign < 0 ? '_' : '-';
        if (f.underline && f.underlineStyle != CharFormat::Underline::Single)
            flags += f.underlineStyle == CharFormat::Underline::Double ? "=" : "w";
        if (f.caps)
            flags += 'C';
        if (f.smallCaps)
            flags += 'c';
        if (f.spacing)
            flags += "+" + std::to_string(f.spacing);
        char size[32];
        std::snprintf(size, sizeof size, "%g", f.pointSize);
        std::string line = "T \"" + toUtf8(text) + "\" " + (f.fontName.empty() ? "(default)" : toUtf8(f.fontName)) + " "
                         + size + " " + flags;
        if (f.color) {
            char color[16];
            std::snprintf(color, sizeof color, " #%06x", *f.color);
            line += color;
        }
        if (f.background) {
            char color[16];
            std::snprintf(color, sizeof color, " bg#%06x", *f.background);
            line += color;
        }
        lines.push_back(line);
        m_plain += toUtf8(text);
    }
    void lineBreak(const CharFormat &) override
    {
        lines.push_back("L");
        m_plain += "/";
    }
    static std::string para(const ParaFormat &p)
    {
        static const char *align[] = {"left", "center", "right", "justify"};
        std::string line = std::string(align[static_cast<int>(p.align)]) + " li=" + std::to_string(p.leftIndent)
                         + " ri=" + std::to_string(p.rightIndent) + " fi=" + std::to_string(p.firstIndent)
                         + " sb=" + std::to_string(p.spaceBefore) + " sa=" + std::to_string(p.spaceAfter);
        if (p.pageBreakBefore)
            line += " pagebb";
        if (p.rightToLeft)
            line += *p.rightToLeft ? " rtl" : " ltr";
        if (p.shading) {
            char color[16];
            std::snprintf(color, sizeof color, " bg#%06x", *p.shading);
            line += color;
        }
        if (p.lineSpacing)
            line += " sl=" + std::to_string(p.lineSpacing) + (p.lineSpacingMultiple ? "x" : "");
        for (const TabStop &tab : p.tabs) {
            static const char *kind[] = {"", "c", "r", "d"};
            line += " tx=" + std::to_string(tab.position) + kind[static_cast<int>(tab.kind)];
            if (tab.leader)
                line += "(" + toUtf8(std::u16string(1, tab.leader)) + ")";
        }
        return line;
    }
    void paragraphEnd(const ParaFormat &p, const CharFormat &) override
    {
        lines.push_back("P " + para(p));
        m_plain += "|";
    }
    void pageBreak(const ParaFormat &) override { lines.push_back("PAGE"); }
    void columnBreak(const ParaFormat &) override { lines.push_back("COLUMN"); }
    void sectionFormat(const SectionFormat &s) override
    {
        lines.push_back("SECTION cols=" + std::to_string(s.columns) + " gap=" + std::to_string(s.columnGap)
                        + (s.columnRule ? " rule" : "")
                        + (s.landscape ? (*s.landscape ? " landscape" : " portrait") : ""));
    }
    void documentEnd(const ParaFormat &p) override { lines.push_back("END " + para(p)); }
    // ROW 2000,5000 for plain cells; a cell's borders, background and merging in braces, and the
    // row's own settings after its cells.
    void tableRowStart(const TableRow &row) override
    {
        const auto border = [](char side, const Border &b) -> std::string {
            if (b.style == Border::Style::None)
                return {};
            static const char *styles[] = {"none", "s", "db", "dot", "dash"};
            std::string out = std::string(" ") + side + "=" + styles[static_cast<int>(b.style)] + std::to_string(b.width);
            if (b.color) {
                char color[16];
                std::snprintf(color, sizeof color, "#%06x", *b.color);
                out += color;
            }
            return out;
        };
        std::string line = "ROW";
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const TableCell &c = row.cells[i];
            line += (i ? "," : " ") + std::to_string(c.right);
            std::string extra = border('t', c.top) + border('l', c.left) + border('b', c.bottom)
                              + border('r', c.rightBorder);
            if (c.shading) {
                char color[16];
                std::snprintf(color, sizeof color, " bg#%06x", *c.shading);
                extra += color;
            }
            if (c.padLeft >= 0 || c.padRight >= 0)
                extra += " pad=" + std::to_string(c.padLeft) + "," + std::to_string(c.padRight);
            if (c.padTop >= 0 || c.padBottom >= 0)
                extra += " vpad=" + std::to_string(c.padTop) + "," + std::to_string(c.padBottom);
            static const char *merges[] = {"", "first", "merged"};
            if (c.across != TableCell::Merge::None)
                extra += std::string(" across=") + merges[static_cast<int>(c.across)];
            if (c.down != TableCell::Merge::None)
                extra += std::string(" down=") + merges[static_cast<int>(c.down)];
            if (!extra.empty())
                line += "{" + extra.substr(1) + "}";
        }
        if (row.left)
            line += " left=" + std::to_string(row.left);
        if (row.gap >= 0)
            line += " gap=" + std::to_string(row.gap);
        if (row.padLeft >= 0 || row.padRight >= 0)
            line += " pad=" + std::to_string(row.padLeft) + "," + std::to_string(row.padRight);
        if (row.padTop >= 0 || row.padBottom >= 0)
            line += " vpad=" + std::to_string(row.padTop) + "," + std::to_string(row.padBottom);
        if (row.header)
            line += " header";
        if (row.keep)
            line += " keep";
        lines.push_back(line);
    }
    void tableCellEnd(const ParaFormat &, const CharFormat &) override
    {
        lines.push_back("CELL");
        m_plain += "|";
    }
    void tableRowEnd() override { lines.push_back("ENDROW"); }
    void shapeStart(const Shape &s) override
    {
        static const char *from[] = {"margin", "page", "column"};
        static const char *align[] = {"at", "left", "center", "right"};
        lines.push_back("SHAPE " + std::to_string(s.left) + "," + std::to_string(s.top) + "," + std::to_string(s.right)
                        + "," + std::to_string(s.bottom) + " " + from[static_cast<int>(s.from)] + " "
                        + align[static_cast<int>(s.align)]);
    }
    void shapeEnd() override { lines.push_back("ENDSHAPE"); }
    void picture(const std::string &type, const std::string &bytes, int32_t width, int32_t height) override
    {
        lines.push_back("PICT " + type + " " + std::to_string(width) + "x" + std::to_string(height) + " ("
                        + std::to_string(bytes.size()) + " bytes)");
    }

    // Notes as "NOTE foot" ... "/NOTE" (in the text: "[...]"), headers and footers as
    // "PART 0" ... "/PART" ("<...>"), page numbers as "PAGENO" and "NUMPAGES" ("#", "##").
    void noteStart(bool endnote) override
    {
        lines.push_back(endnote ? "NOTE end" : "NOTE foot");
        m_plain += "[";
    }
    void noteEnd(const ParaFormat &p) override
    {
        lines.push_back("/NOTE " + para(p));
        m_plain += "]";
    }
    void pagePartStart(PagePart part) override
    {
        lines.push_back("PART " + std::to_string(static_cast<int>(part)));
        m_plain += "<";
    }
    void pagePartEnd(const ParaFormat &p) override
    {
        lines.push_back("/PART " + para(p));
        m_plain += ">";
    }
    void pageNumber(bool total, const CharFormat &) override
    {
        lines.push_back(total ? "NUMPAGES" : "PAGENO");
        m_plain += total ? "##" : "#";
    }
    // Only a frame other than the default.
    void pageFrame(const PageFrame &f) override
    {
        if (f == PageFrame{})
            return;
        lines.push_back("FRAME hy=" + std::to_string(f.headerY) + " fy=" + std::to_string(f.footerY)
                        + (f.titlePage ? " titlepg" : "") + (f.facing ? " facingp" : ""));
    }

private:
    std::string m_plain;
};

} // namespace corvane::testing
