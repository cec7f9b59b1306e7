// Writes a QTextDocument as RTF, the reverse of the reader.
#include "QtRichText.h"

#include "QtDirectPainter.h"

#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>

#include <cmath>

namespace corvane::qt {

namespace {

class RtfWriter {
public:
    explicit RtfWriter(const QTextDocument &document)
        : m_document(document)
    {
    }

    QByteArray write()
    {
        collect(m_document.rootFrame());
        QByteArray body;
        writeFrame(m_document.rootFrame(), body);
        QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
        for (int i = 0; i < m_fonts.size(); ++i)
            out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 " + escape(m_fonts[i]) + ";}";
        out += "}\n{\\colortbl;";
        for (const QRgb rgb : m_colors)
            out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue"
                 + QByteArray::number(qBlue(rgb)) + ";";
        out += "}\n" + body + "}\n";
        return out;
    }

private:
    QString family(const QTextCharFormat &format) const
    {
        if (format.hasProperty(kDocumentFaceProperty))
            return format.stringProperty(kDocumentFaceProperty);
        const QStringList families = format.fontFamilies().toStringList();
        return families.isEmpty() ? m_document.defaultFont().family() : families.first();
    }

    int fontIndex(const QString &name)
    {
        int index = static_cast<int>(m_fonts.indexOf(name));
        if (index < 0) {
            m_fonts << name;
            index = static_cast<int>(m_fonts.size()) - 1;
        }
        return index;
    }

    int colorIndex(QRgb rgb)
    {
        int index = static_cast<int>(m_colors.indexOf(rgb));
        if (index < 0) {
            m_colors << rgb;
            index = static_cast<int>(m_colors.size()) - 1;
        }
        return index + 1; // entry 0 is the automatic colour
    }

    void collect(const QTextFrame *frame)
    {
        for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                fontIndex(family(format));
                if (format.hasProperty(QTextFormat::ForegroundBrush))
                    colorIndex(format.foreground().color().rgb());
                if (format.hasProperty(QTextFormat::BackgroundBrush))
                    colorIndex(format.background().color().rgb());
            }
        }
        (void)frame;
    }

    static QByteArray escape(const QString &text)
    {
        QByteArray out;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u == '\\' || u == '{' || u == '}') {
                out += '\\';
                out += static_cast<char>(u);
            } else if (u == '\t') {
                out += "\\tab ";
            } else if (u == 0x2028) {
                out += "\\line ";
            } else if (u == 0xFFFC) {
                // images are not written
            } else if (u >= 0x20 && u < 0x80) {
                out += static_cast<char>(u);
            } else if (u >= 0x80) {
                out += "\\u" + QByteArray::number(static_cast<int16_t>(u)) + '?';
            }
        }
        return out;
    }

    QByteArray charFormat(const QTextCharFormat &format)
    {
        QByteArray out = "\\f" + QByteArray::number(fontIndex(family(format)));
        const double size = format.fontPointSize() > 0 ? format.fontPointSize() : m_document.defaultFont().pointSizeF();
        out += "\\fs" + QByteArray::number(static_cast<int>(std::lround(size * 2)));
        if (format.fontWeight() >= QFont::DemiBold)
            out += "\\b";
        if (format.fontItalic())
            out += "\\i";
        if (format.fontUnderline())
            out += "\\ul";
        if (format.fontStrikeOut())
            out += "\\strike";
        if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            out += "\\super";
        else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
            out += "\\sub";
        if (format.hasProperty(QTextFormat::ForegroundBrush))
            out += "\\cf" + QByteArray::number(colorIndex(format.foreground().color().rgb()));
        if (format.hasProperty(QTextFormat::BackgroundBrush))
            out += "\\cb" + QByteArray::number(colorIndex(format.background().color().rgb()));
        return out + ' ';
    }

    static QByteArray paragraphFormat(const QTextBlockFormat &format, bool inTable)
    {
        QByteArray out = "\\pard";
        if (inTable)
            out += "\\intbl";
        if (format.hasProperty(QTextFormat::LayoutDirection))
            out += format.layoutDirection() == Qt::RightToLeft ? "\\rtlpar" : "\\ltrpar";
        const Qt::Alignment align = format.alignment();
        if (align & Qt::AlignHCenter)
            out += "\\qc";
        else if (align & Qt::AlignRight)
            out += "\\qr";
        else if (align & Qt::AlignJustify)
            out += "\\qj";
        // Indents are layout units (kTwipsPerLayoutUnit twips each); spacing, line heights and
        // tab stops are 96-dpi units (15 twips each), which the text engine scales itself.
        const auto number = [](const char *word, double twips) {
            const int value = static_cast<int>(std::lround(twips));
            return value != 0 ? QByteArray(word) + QByteArray::number(value) : QByteArray();
        };
        const double unit = kTwipsPerLayoutUnit;
        out += number("\\li", format.leftMargin() * unit) + number("\\ri", format.rightMargin() * unit)
             + number("\\fi", format.textIndent() * unit) + number("\\sb", format.topMargin() * 15)
             + number("\\sa", format.bottomMargin() * 15);
        switch (format.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            out += number("\\sl", format.lineHeight() * 240 / 100) + "\\slmult1";
            break;
        case QTextBlockFormat::LineDistanceHeight:
            // (A paragraph's lines set to its fonts' height, the multiple kept aside.)
            if (const double multiple = format.doubleProperty(kLineSpacingProperty); multiple > 0 && multiple != 100)
                out += number("\\sl", multiple * 240 / 100) + "\\slmult1";
            break;
        case QTextBlockFormat::MinimumHeight: out += number("\\sl", format.lineHeight() * 15); break;
        case QTextBlockFormat::FixedHeight: out += number("\\sl", -format.lineHeight() * 15); break;
        default: break;
        }
        if (format.hasProperty(kDocumentTabsProperty)) {
            // The stops as the document named them.
            for (const QString &tab :
                 format.stringProperty(kDocumentTabsProperty).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                // [kind]position[leader]
                const QChar kind = tab.at(0);
                qsizetype at = kind.isLetter() ? 1 : 0, end = at;
                while (end < tab.size() && (tab.at(end).isDigit() || (end == at && tab.at(end) == QLatin1Char('-'))))
                    ++end;
                const QChar leader = end < tab.size() ? tab.at(end) : QChar();
                out += kind == QLatin1Char('r') ? "\\tqr"
                     : kind == QLatin1Char('c') ? "\\tqc"
                     : kind == QLatin1Char('d') ? "\\tqdec"
                                                : "";
                out += leader == QLatin1Char('.') ? "\\tldot"
                     : leader == QChar(0x00B7)    ? "\\tlmdot"
                     : leader == QLatin1Char('-') ? "\\tlhyph"
                     : leader == QLatin1Char('_') ? "\\tlul"
                     : leader == QLatin1Char('=') ? "\\tleq"
                                                  : "";
                out += number("\\tx", tab.mid(at, end - at).toDouble());
            }
            return out + ' ';
        }
        for (const QTextOption::Tab &tab : format.tabPositions()) {
            out += tab.type == QTextOption::RightTab     ? "\\tqr"
                 : tab.type == QTextOption::CenterTab    ? "\\tqc"
                 : tab.type == QTextOption::DelimiterTab ? "\\tqdec"
                                                         : "";
            out += number("\\tx", tab.position * 15);
        }
        return out + ' ';
    }

    void writeBlock(const QTextBlock &block, bool inTable, const char *end, QByteArray &out)
    {
        if (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            out += "\\page ";
        out += paragraphFormat(block.blockFormat(), inTable);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            out += '{' + charFormat(fragment.charFormat()) + escape(fragment.text()) + '}';
        }
        out += end;
    }

    void writeTable(const QTextTable *table, QByteArray &out)
    {
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        for (int row = 0; row < table->rows(); ++row) {
            out += "\\trowd";
            int edge = 0;
            for (int column = 0; column < table->columns(); ++column) {
                edge += column < widths.size() && widths[column].type() == QTextLength::FixedLength
                          ? static_cast<int>(std::lround(widths[column].rawValue() * 15))
                          : 2000;
                out += "\\cellx" + QByteArray::number(edge);
            }
            out += '\n';
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                for (QTextBlock block = m_document.findBlock(cell.firstPosition());
                     block.isValid() && block.position() <= cell.lastPosition(); block = block.next()) {
                    const bool last = block.position() + block.length() > cell.lastPosition();
                    writeBlock(block, true, last ? "\\cell\n" : "\\par\n", out);
                    if (last)
                        break;
                }
            }
            out += "\\row\n";
        }
    }

    void writeFrame(const QTextFrame *frame, QByteArray &out)
    {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (const QTextTable *table = qobject_cast<QTextTable *>(it.currentFrame())) {
                writeTable(table, out);
            } else if (const QTextFrame *child = it.currentFrame()) {
                writeFrame(child, out);
            } else {
                const QTextBlock block = it.currentBlock();
                // The empty paragraph a document keeps before a table comes back with it.
                auto next = it;
                ++next;
                if (block.length() == 1 && !next.atEnd() && qobject_cast<QTextTable *>(next.currentFrame()))
                    continue;
                const bool last = !block.next().isValid();
                writeBlock(block, false, last ? "\n" : "\\par\n", out);
            }
        }
    }

    const QTextDocument &m_document;
    QStringList m_fonts;
    QList<QRgb> m_colors;
};

} // namespace

QByteArray writeRtf(const QTextDocument &document) { return RtfWriter(document).write(); }

} // namespace corvane::qt
