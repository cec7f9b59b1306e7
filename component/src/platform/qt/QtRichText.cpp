#include "QtRichText.h"

#include "QtFiles.h"
#include "QtDirectPainter.h"
#include "QtDrawingContext.h"
#include "QtStrings.h"

#include <corvane/Errors.h>

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPen>
#include <QSet>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextFrame>
#include <QTextLayout>
#include <QRawFont>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <fontconfig/fontconfig.h>
#include <map>
#include <mutex>
#include <tuple>
#include <cmath>

namespace corvane::qt {

namespace {

// How far down the layout's coordinates go, in its units: its fixed-point numbers hold about
// 33.5 million.
constexpr double kLayoutLimit = 3.2e7;

// The space above a page's footnotes, with the short rule in it, in twips: a tenth of a
// centimetre either side of the rule.
constexpr double kNoteGap = 120;

// A length in twips as the layout holds it: in its units, to the 64th its fixed-point numbers
// keep, so that the layout's pages fall exactly at multiples of the page height.
double layoutLength(double twips) { return std::round(twips / kTwipsPerLayoutUnit * 64) / 64; }

constexpr const char16_t *kNoRoomForText =
    u"Printer error: the headers and footers of this document leave no room for its text";

// The width of each of `count` columns across `width`, `gap` apart; a gap that would leave the
// columns less than half the width is narrowed.
double columnWidth(double width, int count, double &gap)
{
    if (count <= 1)
        return width;
    gap = std::clamp(gap, 0.0, width / 2 / (count - 1));
    return (width - gap * (count - 1)) / count;
}

// A paragraph's section from its block format: its columns (the gap in twips) and whether its
// pages are landscape; one column, as the job's pages, when it has none.
struct SectionLayout {
    int count = 1;
    double gap = 0;
    bool rule = false;
    bool landscape = false;
};
SectionLayout sectionLayout(const QTextFormat &format)
{
    SectionLayout section;
    if (!format.hasProperty(kSectionProperty))
        return section;
    const QStringList values = format.stringProperty(kSectionProperty).split(QLatin1Char(' '));
    if (values.size() == 4) {
        section.count = std::clamp(values[0].toInt(), 1, 20);
        section.gap = values[1].toDouble();
        section.rule = values[2] == QLatin1String("1");
        section.landscape = values[3] == QLatin1String("1");
    }
    return section;
}

// The width of a column of `section` on pages `width` wide (and `turn` wider when turned), and
// in `gap` the room between its columns.
double sectionColumn(const SectionLayout &section, double width, double turn, double &gap)
{
    gap = section.gap;
    return columnWidth(width + (section.landscape ? turn : 0), section.count, gap);
}

// A family with every one of `characters`, the first fontconfig offers for `font`: where a
// letter's mark is missing from the letter's font, the text engine would take the mark alone
// from another font and set it beside the letter. Empty when none has them all.
QString familyWithAll(const QFont &font, const QList<uint> &characters)
{
    static std::mutex lock;
    static std::map<std::pair<QString, QList<uint>>, QString> known;
    const QString key = font.family() + (font.bold() ? QStringLiteral("|b") : QStringLiteral("|"))
                      + (font.italic() ? QStringLiteral("i") : QString());
    std::lock_guard hold(lock);
    const auto found = known.find({key, characters});
    if (found != known.end())
        return found->second;
    FcPattern *pattern = FcPatternCreate();
    FcCharSet *wanted = FcCharSetCreate();
    QString family;
    if (pattern && wanted) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(font.family().toUtf8().constData()));
        FcPatternAddInteger(pattern, FC_WEIGHT, font.bold() ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, font.italic() ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        for (const uint c : characters)
            FcCharSetAddChar(wanted, c);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcFontSet *fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
        for (int i = 0; fonts && i < fonts->nfont && family.isEmpty(); ++i) {
            FcCharSet *has = nullptr;
            FcChar8 *name = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &has) == FcResultMatch
                && FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch
                && FcCharSetIsSubset(wanted, has))
                family = QString::fromUtf8(reinterpret_cast<const char *>(name));
        }
        if (fonts)
            FcFontSetDestroy(fonts);
    }
    if (wanted)
        FcCharSetDestroy(wanted);
    if (pattern)
        FcPatternDestroy(pattern);
    known.emplace(std::pair{key, characters}, family);
    return family;
}

} // namespace

QtRichTextControl::QtRichTextControl()
{
    m_deviceBuffer.open(QIODevice::WriteOnly);
    m_layoutDevice = std::make_unique<QPdfWriter>(&m_deviceBuffer);
    m_layoutDevice->setResolution(static_cast<int>(kRichTextLayoutDpi));
    reset();
}

QtRichTextControl::~QtRichTextControl() = default;

void QtRichTextControl::reset()
{
    // The layout (and its device) is attached when the document is first paginated, so that
    // building it does not lay it out.
    m_document = std::make_unique<QTextDocument>();
    m_document->setDocumentMargin(0);
    m_document->setUndoRedoEnabled(false);
    m_document->setUseDesignMetrics(true);
    QFont font(documentFace(QStringLiteral("Arial")));
    font.setPointSizeF(10);
    // Rich text is set without kerning, as RTF documents are unless they ask for it.
    font.setKerning(false);
    // Text that needs no shaping (Latin, Greek, Cyrillic, punctuation) is set from the fonts'
    // character maps and advances, without ligatures, as documents are by their editors and as
    // the PDF writes it: a quarter faster to lay out and draw. Other text is marked for shaping
    // before it is laid out (markShapedText).
    font.setStyleStrategy(QFont::PreferNoShaping);
    m_document->setDefaultFont(font);
    // Default tab stops every half inch, as documents that name no distance expect.
    QTextOption option = m_document->defaultTextOption();
    option.setTabStopDistance(720 / 15.0); // scaled by the text engine, as tab stops are
    m_document->setDefaultTextOption(option);
    m_paginated = false;
    m_landscapeOnly = -1;
    m_partHeights.reset();
    m_selStart = m_selLength = 0;
}

void QtRichTextControl::setTextRTF(const UString &rtf)
{
    // An automation string: code units above 255 cannot be RTF bytes, so they go in as \uN.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(rtf.size()));
    for (const char16_t c : rtf) {
        if (c < 0x100)
            bytes.append(static_cast<char>(c));
        else
            bytes.append("\\uc0\\u" + QByteArray::number(static_cast<int16_t>(c)) + ' ');
    }
    reset();
    readDocument(*m_document, bytes);
}

void QtRichTextControl::setText(const UString &text)
{
    reset();
    QString plain = qs(text);
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_document->setPlainText(plain);
}

void QtRichTextControl::loadFile(const UString &path)
{
    const QByteArray bytes = readRegularFile(qs(path));
    reset();
    readDocument(*m_document, bytes);
}

UString QtRichTextControl::Text()
{
    // One character for every position: paragraph and frame marks read as line feeds.
    QString raw = m_document->toRawText();
    raw.truncate(std::max(0, m_document->characterCount() - 1));
    for (QChar &c : raw) {
        const char16_t u = c.unicode();
        if (u == 0x2029 || u == 0x2028 || u == 0xFDD0 || u == 0xFDD1)
            c = QLatin1Char('\n');
    }
    return raw.toStdU16String();
}

int32_t QtRichTextControl::textLength() { return std::max(0, m_document->characterCount() - 1); }

void QtRichTextControl::setSelStart(int32_t start)
{
    m_selStart = std::clamp(start, 0, std::max(0, m_document->characterCount() - 1));
}

void QtRichTextControl::setSelLength(int32_t length)
{
    m_selLength = std::clamp(length, 0, std::max(0, m_document->characterCount() - 1 - m_selStart));
}

void QtRichTextControl::mergeSelection(const QTextCharFormat &format)
{
    QTextCursor cursor(m_document.get());
    cursor.setPosition(m_selStart);
    cursor.setPosition(m_selStart + m_selLength, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
    m_paginated = false;
}

void QtRichTextControl::setSelFontName(const UString &name)
{
    QTextCharFormat format;
    format.setFontFamilies({qs(name)});
    mergeSelection(format);
}

void QtRichTextControl::setSelFontSize(int32_t points)
{
    if (points <= 0 || points > 1638)
        throw RuntimeError(err::InvalidPropertyValue);
    QTextCharFormat format;
    format.setFontPointSize(points);
    mergeSelection(format);
}

void QtRichTextControl::setSelBold(bool on)
{
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    mergeSelection(format);
}

void QtRichTextControl::setSelItalic(bool on)
{
    QTextCharFormat format;
    format.setFontItalic(on);
    mergeSelection(format);
}

void QtRichTextControl::setSelUnderline(bool on)
{
    QTextCharFormat format;
    format.setFontUnderline(on);
    mergeSelection(format);
}

double QtRichTextControl::sheetWidth(const QTextFormat &format, double width) const
{
    const SectionLayout section = sectionLayout(format);
    double gap = 0;
    return section.count <= 1 ? width : sectionColumn(section, width, m_turn, gap);
}

double QtRichTextControl::roomFor(const QTextBlock &block, double width) const
{
    // A paragraph of the main text has its column's width; one in a table its cell's, as the
    // table's column widths give it, without the cell's padding (in twips, as the layout's units
    // are 15 twips).
    auto *table = qobject_cast<QTextTable *>(m_document->frameAt(block.position()));
    if (!table)
        return sheetWidth(block.blockFormat(), width);
    const QTextTableCell cell = table->cellAt(block.position());
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    double room = 0;
    for (int c = cell.column(); c < cell.column() + cell.columnSpan(); ++c) {
        if (c >= widths.size() || widths[c].type() != QTextLength::FixedLength)
            return sheetWidth(table->format(), width);
        room += widths[c].rawValue();
    }
    const QTextTableCellFormat padded = cell.format().toTableCellFormat();
    room -= padded.leftPadding() + padded.rightPadding();
    return std::min(sheetWidth(table->format(), width), std::max(room, 1.0) * 15);
}

void QtRichTextControl::fitPictures(double width, double height)
{
    // A picture larger than the page is scaled down to fit it, keeping its aspect, so that it
    // is not sliced over two pages with its line; some room stays below it for the line's
    // descent. Lengths of pictures are in pixels of 96 dots per inch, 15 twips each.
    // One in columns fits its column.
    const double high = std::max(height / 2, height - 480) / 15;
    std::vector<std::pair<QTextFragment, QTextImageFormat>> shrink;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        double wide = -1;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            if (wide < 0)
                wide = roomFor(block, width) / 15;
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            const double scale = std::min({1.0, wide / picture.width(), high / picture.height()});
            if (!(scale < 1))
                continue;
            picture.setWidth(picture.width() * scale);
            picture.setHeight(picture.height() * scale);
            shrink.emplace_back(fragment, picture);
        }
    }
    for (const auto &[fragment, picture] : shrink) {
        QTextCursor cursor(m_document.get());
        cursor.setPosition(fragment.position());
        cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture);
    }
}

void QtRichTextControl::fitTables(double width, double leftRoom)
{
    // A table that would reach out of the sheet (a row moved far left or right, more or wider
    // cells than the page holds) is moved, and narrowed if it must be, to lie on it. Lengths in
    // the text engine's 96-dpi units, 15 twips each.
    // One in columns fits its column, and reaches at most halfway into the gap on its left.
    for (QTextFrame *frame : m_document->rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        const SectionLayout section = sectionLayout(format);
        const double page = sheetWidth(format, width) / 15;
        const double mostLeft = -(section.count > 1 ? std::min(leftRoom, section.gap / 2) : leftRoom) / 15;
        QList<QTextLength> widths = format.columnWidthConstraints();
        // A cell wider than the sheet's width (its edges far apart, as out-of-range measures put
        // them) takes half of it, so that the others keep their widths.
        std::vector<double> scales(static_cast<size_t>(widths.size()), 1.0);
        const double sheet = page - mostLeft;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            if (widths[c].rawValue() > sheet && sheet > 0) {
                scales[static_cast<size_t>(c)] = sheet / 2 / widths[c].rawValue();
                widths[c] = QTextLength(QTextLength::FixedLength, sheet / 2);
            }
        }
        double total = 0;
        for (const QTextLength &w : widths)
            total += w.rawValue();
        double left = std::max(format.leftMargin(), mostLeft);
        bool changed = left != format.leftMargin();
        if (left + total > page) {
            left = std::max(mostLeft, std::min(left, page - total));
            changed = true;
            if (left + total > page && total > 0) {
                const double scale = (page - left) / total;
                for (qsizetype c = 0; c < widths.size(); ++c) {
                    widths[c] = QTextLength(QTextLength::FixedLength, widths[c].rawValue() * scale);
                    scales[static_cast<size_t>(c)] *= scale;
                }
            }
        }
        if (std::any_of(scales.begin(), scales.end(), [](double scale) { return scale < 1; })) {
            changed = true;
            format.setColumnWidthConstraints(widths);
            // The cells' padding narrows with them, so that their text keeps its share of each
            // cell.
            for (int r = 0; r < table->rows(); ++r) {
                for (int c = 0; c < table->columns() && c < static_cast<int>(scales.size()); ++c) {
                    QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() != r || cell.column() != c || !(scales[static_cast<size_t>(c)] < 1))
                        continue; // a part of a merged cell, or a cell as wide as it was
                    QTextTableCellFormat padded = cell.format().toTableCellFormat();
                    padded.setLeftPadding(padded.leftPadding() * scales[static_cast<size_t>(c)]);
                    padded.setRightPadding(padded.rightPadding() * scales[static_cast<size_t>(c)]);
                    cell.setFormat(padded);
                }
            }
        }
        if (changed) {
            format.setLeftMargin(left);
            table->setFormat(format);
        }
    }
}

void QtRichTextControl::fitLineHeights(QTextDocument &document) const
{
    // A line is as tall as its fonts' ascent, descent and line gap, as word processors set it:
    // the layout rounds that up to a whole unit (half a point), 0.2 point too tall a line on
    // average, which puts a long document's page breaks a line or more earlier than its editor
    // does. A paragraph of single or multiple spacing takes the distance that makes its lines
    // their fonts' height (or that multiple of it) instead. (A line whose fonts are taller than
    // its paragraph's, a picture or a font taken for characters its own lacks, keeps the
    // layout's rounding: within a unit of its height.)
    //
    // A font's height is its ascent, descent and line gap as its horizontal header gives them, or
    // as its OS/2 table's typographic values do where the font asks for those. (The text engine
    // may take the Windows ascent and descent, with the gap on top: Carlito's lines were a fifth
    // taller than its editors set them.)
    const double scale = kRichTextLayoutDpi / 96.0; // the layout's line distances are in 96ths of an inch
    struct Metrics {
        double ascent, descent, gap; // as the text engine lays lines out, in layout units
        double height;               // the font's own line height, in layout units
    };
    QHash<QString, Metrics> metrics;
    QHash<int, Metrics> byFormat;
    const auto measure = [&](const QFont &font) {
        const QString key = font.key();
        auto found = metrics.constFind(key);
        if (found == metrics.constEnd()) {
            const QFontMetricsF m(font, m_layoutDevice.get());
            Metrics known{m.ascent(), m.descent(), m.leading(), m.ascent() + m.descent() + m.leading()};
            const QRawFont raw = QRawFont::fromFont(font);
            const QByteArray hhea = raw.fontTable("hhea"), os2 = raw.fontTable("OS/2");
            const auto number = [](const QByteArray &table, int at) {
                return static_cast<int16_t>((static_cast<uint8_t>(table[at]) << 8) | static_cast<uint8_t>(table[at + 1]));
            };
            const double units = raw.isValid() ? raw.unitsPerEm() : 0;
            double own = 0;
            if (os2.size() >= 78 && (number(os2, 62) & 0x80))
                own = number(os2, 68) - number(os2, 70) + number(os2, 72);
            else if (hhea.size() >= 10 && (number(hhea, 4) != 0 || number(hhea, 6) != 0))
                own = number(hhea, 4) - number(hhea, 6) + number(hhea, 8);
            const double pixels = font.pointSizeF() > 0 ? font.pointSizeF() * kRichTextLayoutDpi / 72.0 : font.pixelSize();
            if (units > 0 && own > 0 && pixels > 0)
                known.height = own / units * pixels;
            found = metrics.insert(key, known);
        }
        return *found;
    };
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        double multiple = 0;
        if (format.hasProperty(kLineSpacingProperty))
            multiple = format.doubleProperty(kLineSpacingProperty);
        else if (format.lineHeightType() == QTextBlockFormat::SingleHeight)
            multiple = 100;
        else if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight)
            multiple = format.lineHeight();
        if (multiple <= 0)
            continue;
        // (Only a paragraph whose fonts have one height: the text engine makes a line of several
        // from its own measures of each. Pictures stand on the line: theirs keep the layout's
        // heights too.)
        std::optional<Metrics> one;
        bool mixed = false;
        const auto take = [&](int formatIndex, const QTextCharFormat &characters) {
            // (Measured once for each of the document's character formats.)
            auto known = byFormat.constFind(formatIndex);
            if (known == byFormat.constEnd())
                known = byFormat.insert(formatIndex, measure(characters.font().resolve(document.defaultFont())));
            const Metrics m = *known;
            if (!one)
                one = m;
            else
                mixed = mixed || std::abs(one->ascent - m.ascent) > 1e-3 || std::abs(one->descent - m.descent) > 1e-3
                     || std::abs(one->gap - m.gap) > 1e-3 || std::abs(one->height - m.height) > 1e-3;
        };
        for (auto it = block.begin(); !it.atEnd() && !mixed; ++it) {
            const QTextFragment fragment = it.fragment();
            mixed = fragment.text().contains(QChar::ObjectReplacementCharacter);
            take(fragment.charFormatIndex(), fragment.charFormat());
        }
        if (block.begin() == block.end())
            take(block.charFormatIndex(), block.charFormat());
        if (mixed || !one || one->ascent + one->descent + one->gap <= 0 || one->height <= 0)
            continue;
        const double distance = (multiple / 100.0 * one->height - std::ceil(one->ascent + one->descent + one->gap)) / scale;
        if (format.lineHeightType() == QTextBlockFormat::LineDistanceHeight && format.lineHeight() == distance)
            continue;
        format.setProperty(kLineSpacingProperty, multiple);
        format.setLineHeight(distance, QTextBlockFormat::LineDistanceHeight);
        QTextCursor(block).setBlockFormat(format);
    }
}

void QtRichTextControl::markShapedText(QTextDocument &document)
{
    // Fragments with a character that takes shaping (joined or reordered scripts, combining
    // marks, CJK, emoji...) are shaped; paragraph, line and object marks take none.
    const auto takesShaping = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0x20 && u != 0x2028 && u != 0x2029 && u != QChar::ObjectReplacementCharacter
            && !drawsWithoutShaping(u);
    };
    std::vector<std::pair<int, int>> shaped, upright;
    struct Cluster {
        int from, to;
        QString family;
    };
    std::vector<Cluster> whole;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.hasProperty(QTextFormat::FontStyleStrategy))
                continue;
            const QString text = fragment.text();
            if (!std::any_of(text.begin(), text.end(), takesShaping))
                continue;
            if (!shaped.empty() && shaped.back().second == fragment.position())
                shaped.back().second += fragment.length();
            else
                shaped.emplace_back(fragment.position(), fragment.position() + fragment.length());
            // A letter of the font with a mark the font lacks is set, with its marks, in a font
            // that has them all.
            if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.isMark(); })) {
                QFont font = format.font().resolve(document.defaultFont());
                const QRawFont raw = QRawFont::fromFont(font);
                QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
                for (qsizetype from = 0, to = clusters.toNextBoundary(); to > 0; from = to, to = clusters.toNextBoundary()) {
                    const QList<uint> characters = text.mid(from, to - from).toUcs4();
                    // (A letter the font lacks too is taken, with its marks, from a font that has
                    // it, and joins its neighbours there: it is left to the text engine.)
                    if (characters.size() < 2 || !raw.isValid() || !raw.supportsCharacter(characters.front())
                        || std::none_of(characters.begin() + 1, characters.end(), [&raw](uint c) {
                               return QChar::isMark(c) && !raw.supportsCharacter(c);
                           }))
                        continue;
                    if (const QString family = familyWithAll(font, characters); !family.isEmpty())
                        whole.push_back({fragment.position() + static_cast<int>(from),
                                         fragment.position() + static_cast<int>(to), family});
                }
            }
            if (!format.fontItalic())
                continue;
            // Letters that no italic face has, which an upright one has, are set upright (slanted
            // faces of most families have no Arabic, Hebrew or Indic letters, and the text
            // engine would set them as the face's empty box).
            QFont font = format.font().resolve(document.defaultFont());
            font.setPixelSize(100);
            QFont straight = font;
            straight.setItalic(false);
            const auto lacks = [](const QString &run, const QFont &in) {
                QTextLayout layout(run, in);
                layout.beginLayout();
                layout.createLine();
                layout.endLayout();
                const QList<QGlyphRun> runs = layout.glyphRuns();
                return std::any_of(runs.begin(), runs.end(),
                                   [](const QGlyphRun &r) { return r.glyphIndexes().contains(0); });
            };
            for (qsizetype from = 0; from < text.size();) {
                if (!takesShaping(text[from])) {
                    ++from;
                    continue;
                }
                qsizetype to = from;
                while (to < text.size() && (takesShaping(text[to]) || text[to] == u' '))
                    ++to;
                const QString run = text.mid(from, to - from);
                if (lacks(run, font) && !lacks(run, straight))
                    upright.emplace_back(fragment.position() + static_cast<int>(from),
                                         fragment.position() + static_cast<int>(to));
                from = to;
            }
        }
    }
    QTextCharFormat shaping;
    shaping.setFontStyleStrategy(QFont::PreferDefault);
    for (const auto &[from, to] : shaped) {
        QTextCursor cursor(&document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(shaping);
    }
    for (const Cluster &cluster : whole) {
        QTextCharFormat family;
        family.setFontFamilies({cluster.family});
        QTextCursor cursor(&document);
        cursor.setPosition(cluster.from);
        cursor.setPosition(cluster.to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(family);
    }
    QTextCharFormat straight;
    straight.setFontItalic(false);
    for (const auto &[from, to] : upright) {
        QTextCursor cursor(&document);
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(straight);
    }
}

void QtRichTextControl::refuseEndlessWords() const
{
    // The text engine looks for the end of a word before it breaks the word inside: a word too
    // long for its line is measured again from each line's start, which takes time with the
    // square of its length (a minute for a few hundred thousand letters). Such a word is
    // refused before anything is laid out; one of 100,000 characters takes about a second.
    constexpr int kLongestWord = 100000;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (block.length() <= kLongestWord)
            continue;
        const QString text = block.text();
        QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
        qsizetype last = 0;
        for (qsizetype at = breaks.toNextBoundary(); at >= 0; at = breaks.toNextBoundary()) {
            if (at - last > kLongestWord)
                throw RuntimeError(err::PrinterError,
                                   u"Printer error: a word of the document is longer than 100,000 characters, too "
                                   u"long to lay out");
            last = at;
        }
    }
}

void QtRichTextControl::paginate(double width, double height, double leftRoom, double turn)
{
    if (m_paginated && m_pageWidth == width && m_pageHeight == height && m_turn == turn)
        return;
    m_pageWidth = width;
    m_pageHeight = height;
    m_turn = turn;
    m_turnLength = layoutLength(turn);
    refuseEndlessWords();
    markShapedText(*m_document);
    fitLineHeights(*m_document);
    for (QTextDocument *part : m_document->findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly)) {
        markShapedText(*part);
        fitLineHeights(*part);
    }
    fitTables(width, leftRoom);
    fitPictures(width, height);
    placeShapes(width, leftRoom);
    const bool columns = m_document->property(kSectionsDocumentProperty).toBool();
    if (columns)
        narrowToColumns(width, turn);
    // From here on lengths are in layout units. Turned pages are wider: the layout is as wide as
    // they are, the other pages' paragraphs narrowed to theirs.
    width = layoutLength(width);
    height = layoutLength(height);
    m_document->setPageSize(QSizeF(width + m_turnLength, height));
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    if (layout->paintDevice() != m_layoutDevice.get()) {
        layout->setPaintDevice(m_layoutDevice.get());
        m_document->markContentsDirty(0, m_document->characterCount());
    }
    // Lays the whole document out. Asked for its size at once, the layout works through the
    // document in steps of a few thousand characters, and every step visits every table of the
    // main text: quadratic in a long document with many tables. A hit test far down lays out in
    // steps that double, so the rest goes in a few large ones. (The height stays within the
    // layout's fixed-point range.)
    layout->hitTest(QPointF(0, kLayoutLimit), Qt::FuzzyHit);
    layout->documentSize();
    layOutNotes(width);
    m_sheetNotes.clear();
    // (Turned pages are shorter: their foot is kept free as notes keep theirs.)
    if (!m_notes.empty() || m_turnLength > 0 || m_document->property(kBandsDocumentProperty).toBool()) {
        makeRoomForNotes(width, height);
        layout->documentSize();
    }

    // The page of every line's top; a page starts at the first position on it. A paragraph of
    // the main text whose lines fall on several pages is drawn line by line on each of them.
    std::vector<int> firstOnPage;
    m_split.clear();
    // The paragraphs of the main text, outside tables (one walk; asking each block for its
    // frame would cost a search through all frames per block).
    std::vector<bool> inRoot(static_cast<size_t>(m_document->blockCount()), false);
    for (auto it = m_document->rootFrame()->begin(); !it.atEnd(); ++it) {
        const QTextBlock block = it.currentBlock();
        if (block.isValid() && block.blockNumber() < static_cast<int>(inRoot.size()))
            inRoot[static_cast<size_t>(block.blockNumber())] = true;
    }
    // The tables in columns: their positions, and their sections.
    std::vector<std::tuple<int, int, SectionLayout>> tablesInColumns;
    if (columns)
        for (QTextFrame *frame : m_document->rootFrame()->childFrames())
            if (const SectionLayout section = sectionLayout(frame->frameFormat()); section.count > 1)
                tablesInColumns.emplace_back(frame->firstPosition(), frame->lastPosition(), section);
    const auto tableSection = [&](int position) {
        const auto found = std::upper_bound(tablesInColumns.begin(), tablesInColumns.end(), position,
                                            [](int at, const auto &table) { return at < std::get<0>(table); });
        return found != tablesInColumns.begin() && position <= std::get<1>(*std::prev(found))
                 ? std::get<2>(*std::prev(found))
                 : SectionLayout();
    };
    const auto pageOf = [height](double top) { return std::max(0, static_cast<int>(std::floor(top / height + 1e-6))); };
    // A document longer than the layout's coordinates reach comes out with lines above the
    // first: refused rather than printed as blank pages.
    const auto tooLong = [] {
        return RuntimeError(err::PrinterError,
                            u"Printer error: the document is too long to lay out (the limit is about 320 million "
                            u"twips of pages, some 20,000 pages of Letter)");
    };
    if (!(layout->documentSize().height() < kLayoutLimit))
        throw tooLong();
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        const QTextLayout *lines = block.layout();
        // In columns, how far right its text may reach: halfway across the gap after its column.
        double reach = -1;
        if (columns) {
            const SectionLayout section = inRoot[static_cast<size_t>(block.blockNumber())]
                                            ? sectionLayout(block.blockFormat())
                                            : tableSection(block.position());
            double gap = 0;
            if (section.count > 1)
                reach = (sectionColumn(section, m_pageWidth, m_turn, gap) + gap / 2) / kTwipsPerLayoutUnit;
        }
        int firstPage = INT_MAX, lastPage = -1;
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            // (A line of a fixed height less than its font's starts a little above its paragraph.)
            if (!(box.top() + std::max(0.0, line.y()) >= 0 && box.top() + line.y() < kLayoutLimit))
                throw tooLong();
            // A line taller than the page cannot be printed whole on any page: refused rather
            // than cut (and every line after it would fall ever lower on its page).
            if (line.height() > height && m_squeezed)
                throw RuntimeError(err::PrinterError, kNoRoomForText);
            if (line.height() > height)
                throw RuntimeError(
                    err::PrinterError,
                    u"Printer error: a line of the document is taller than the page between its margins ("
                        + decimal(static_cast<int32_t>(std::lround(line.height() * kTwipsPerLayoutUnit / 20)))
                        + u" points on " + decimal(static_cast<int32_t>(std::lround(height * kTwipsPerLayoutUnit / 20)))
                        + u" points)");
            // Text reaching across its column's gap cannot be printed whole: refused rather than
            // cut at the column's edge (a letter wider than the column, or than a cell of a table
            // in it, which the layout leaves across it).
            if (const double room = reach - box.left() - line.x(); reach >= 0 && line.naturalTextWidth() > room + 0.5)
                throw RuntimeError(
                    err::PrinterError,
                    u"Printer error: a line of the document is wider than its column ("
                        + decimal(static_cast<int32_t>(std::lround(line.naturalTextWidth() * kTwipsPerLayoutUnit / 20)))
                        + u" points in " + decimal(static_cast<int32_t>(std::lround(room * kTwipsPerLayoutUnit / 20)))
                        + u" points)");
            const int page = pageOf(box.top() + line.y());
            const int position = block.position() + line.textStart();
            if (page >= static_cast<int>(firstOnPage.size()))
                firstOnPage.resize(static_cast<size_t>(page) + 1, -1);
            if (firstOnPage[page] < 0 || position < firstOnPage[page])
                firstOnPage[page] = position;
            firstPage = std::min(firstPage, page);
            // A line the layout left across a page's end is its top's page's: its paragraph is
            // drawn line by line, so that the next page does not show its lower part again.
            lastPage = std::max({lastPage, page, pageOf(box.top() + line.y() + line.height() - 1e-3 * height)});
        }
        if (lastPage > firstPage && inRoot[static_cast<size_t>(block.blockNumber())]) {
            for (int page = firstPage; page <= lastPage; ++page)
                m_split[page].push_back(block.blockNumber());
        }
    }
    // The sheets: each takes its layout pages (one, or one a column), and starts at the first
    // position on them.
    m_pages.clear();
    m_slots.clear();
    if (columns)
        m_slots = columnSlots(width, height, static_cast<int>(firstOnPage.size()), &m_sheetNotes);
    std::vector<int> pages;
    int first = -1;
    const auto addSheet = [&] {
        if (first >= 0 && (m_pages.empty() || first > m_pages.back().position))
            m_pages.push_back({pages, first});
        pages.clear();
        first = -1;
    };
    for (int page = 0; page < static_cast<int>(firstOnPage.size()); ++page) {
        if (!columns || page == 0 || m_slots[page].sheet != m_slots[page - 1].sheet)
            addSheet();
        pages.push_back(page);
        if (firstOnPage[page] >= 0 && (first < 0 || firstOnPage[page] < first))
            first = firstOnPage[page];
    }
    addSheet();
    if (m_pages.empty())
        m_pages.push_back({{0}, 0});
    for (Note &note : m_notes)
        note.page = anchorPage(note.anchor, height);
    m_paginated = true;
}

void QtRichTextControl::narrowToColumns(double width, double turn)
{
    // The layout sets every paragraph across its width, that of the widest pages; one in
    // columns, or on narrower pages, keeps a right indent that leaves its column's width.
    for (auto it = m_document->rootFrame()->begin(); !it.atEnd(); ++it) {
        const QTextBlock block = it.currentBlock();
        if (!block.isValid())
            continue;
        QTextBlockFormat format = block.blockFormat();
        double gap = 0;
        const double wide = sectionColumn(sectionLayout(format), width, turn, gap);
        const double narrower = (width + turn - wide) / kTwipsPerLayoutUnit;
        if (!format.hasProperty(kOwnRightMarginProperty)) {
            if (!(narrower > 0))
                continue;
            format.setProperty(kOwnRightMarginProperty, format.rightMargin());
        }
        format.setRightMargin(format.doubleProperty(kOwnRightMarginProperty) + narrower);
        QTextCursor(block).setBlockFormat(format);
    }
}

std::vector<QtRichTextControl::Slot> QtRichTextControl::columnSlots(double width, double height, int pages,
                                                                    const std::map<int, double> *need) const
{
    // The first line of the main text on each page says its columns, and whether it starts a
    // sheet (after a page break or a section's); a page without one goes on as the page before.
    std::vector<int> firstBlock(static_cast<size_t>(std::max(0, pages)), -1);
    std::vector<bool> startsSheet(firstBlock.size(), false), startsBand(firstBlock.size(), false),
        holdsFrame(firstBlock.size(), false);
    std::vector<SectionLayout> layouts(firstBlock.size());
    // How far down each page's text reaches, and how tall its first line is.
    std::vector<double> bottoms(firstBlock.size(), 0), firstHeights(firstBlock.size(), 0);
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    const auto pageOf = [height](double y) { return std::max(0, static_cast<int>(std::floor(y / height + 1e-6))); };
    for (auto it = m_document->rootFrame()->begin(); !it.atEnd(); ++it) {
        const QTextBlock block = it.currentBlock();
        if (!block.isValid()) {
            // A table or a frame: it is not moved line by line, so columns below other text
            // do not take it.
            if (QTextFrame *frame = it.currentFrame()) {
                const QRectF box = layout->frameBoundingRect(frame);
                for (int page = pageOf(box.top()); page < pages && page <= pageOf(box.bottom()); ++page) {
                    holdsFrame[static_cast<size_t>(page)] = true;
                    bottoms[static_cast<size_t>(page)] = std::min(height, box.bottom() - page * height);
                }
            }
            continue;
        }
        const QRectF box = layout->blockBoundingRect(block);
        if (box.top() >= pages * height)
            break;
        const QTextLayout *lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const int page = pageOf(box.top() + line.y());
            if (page >= pages)
                break;
            const auto at = static_cast<size_t>(page);
            // A line reaches down to the next one (lines of a fixed height take that height,
            // whatever their font's), the last to its paragraph's end, the space after it included.
            const QTextBlockFormat format = block.blockFormat();
            const double tall = format.lineHeightType() == QTextBlockFormat::FixedHeight ? format.lineHeight()
                                                                                         : line.height();
            const double bottom = i + 1 < lines->lineCount()
                                    ? box.top() + lines->lineAt(i + 1).y()
                                    : std::max(box.bottom(), box.top() + line.y() + tall + format.bottomMargin());
            bottoms[at] = std::max(bottoms[at], std::min(height, bottom - page * height));
            if (firstBlock[at] >= 0)
                continue;
            firstBlock[at] = block.blockNumber();
            startsSheet[at] = i == 0 && block.blockFormat().boolProperty(kPageStartProperty);
            startsBand[at] = i == 0 && block.blockFormat().boolProperty(kBandStartProperty);
            layouts[at] = sectionLayout(block.blockFormat());
            // How far down its page the first line reaches: the space above its paragraph
            // too, which the column below other text keeps.
            const QTextBlockFormat first = block.blockFormat();
            firstHeights[at] = box.top() + line.y() - page * height
                             + (first.lineHeightType() == QTextBlockFormat::FixedHeight
                                    ? std::max(first.lineHeight(), line.height())
                                    : line.height());
        }
    }
    std::vector<Slot> places(firstBlock.size());
    Slot current;
    current.sheet = -1;
    double used = 0; // how far down the current sheet's text reaches
    for (size_t page = 0; page < places.size(); ++page) {
        Slot next = current;
        if (firstBlock[page] >= 0) {
            next.count = layouts[page].count;
            next.rule = layouts[page].rule;
            next.turned = layouts[page].landscape && m_turnLength > 0;
            next.gap = layoutLength(layouts[page].gap);
            next.columnWidth = columnWidth(width + (next.turned ? m_turnLength : 0), next.count, next.gap);
        } else if (current.sheet < 0) {
            next.columnWidth = width;
        }
        // Columns of a section that continues the page start below the sheet's text, when their
        // first line fits there and none of their pages holds a table.
        const double notes = need && need->count(current.sheet) ? need->at(current.sheet) : 0;
        bool below = startsBand[page] && current.sheet >= 0 && next.turned == current.turned
                  && used + firstHeights[page] + notes <= height + 1e-6;
        for (size_t k = page; below && k < page + static_cast<size_t>(next.count) && k < places.size(); ++k)
            below = !holdsFrame[k];
        if (below) {
            next.column = 0;
            next.top = used;
        } else if (current.sheet < 0 || startsSheet[page] || startsBand[page] || next.count != current.count
                   || next.turned != current.turned || current.column + 1 >= next.count) {
            ++next.sheet;
            next.column = 0;
            next.top = 0;
            used = 0;
        } else {
            ++next.column;
        }
        next.bottom = bottoms[page];
        places[page] = next;
        current = next;
        used = std::max(used, next.top + bottoms[page]);
    }
    return places;
}

void QtRichTextControl::layOutNotes(double width)
{
    m_notes.clear();
    for (QTextDocument *note : m_document->findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly)) {
        if (note->objectName() != QLatin1String(kFootnoteName))
            continue;
        note->documentLayout()->setPaintDevice(m_layoutDevice.get());
        note->setTextWidth(width);
        m_notes.push_back({note->property("anchor").toInt(), note, note->documentLayout()->documentSize().height()});
    }
}

int QtRichTextControl::anchorPage(int anchor, double height) const
{
    // The page of the line that holds the note's mark, the character before its anchor.
    const int at = std::clamp(anchor - 1, 0, std::max(0, m_document->characterCount() - 1));
    const QTextBlock block = m_document->findBlock(at);
    if (!block.isValid() || !block.layout() || block.layout()->lineCount() == 0)
        return -1;
    const QTextLayout *lines = block.layout();
    QTextLine line = lines->lineForTextPosition(at - block.position());
    if (!line.isValid())
        line = lines->lineAt(lines->lineCount() - 1);
    const double top = m_document->documentLayout()->blockBoundingRect(block).top() + line.y();
    return std::max(0, static_cast<int>(std::floor(top / height + 1e-6)));
}

void QtRichTextControl::makeRoomForNotes(double width, double height)
{
    // One walk through the text's lines, page by page: the notes of the lines so far and the
    // lines themselves must fit; the first line that does not goes to the next page with its
    // notes (its paragraph divided before it), and the walk goes on from there, the layout
    // following lazily. A note taller than its page stays where it is. Paragraphs in tables
    // are not moved, but their notes take room on their pages. In columns, a sheet's notes take
    // their room from each of its columns, its pages in the layout.
    const double gap = layoutLength(kNoteGap);
    const bool columns = m_document->property(kSectionsDocumentProperty).toBool();
    std::vector<Slot> places;
    std::map<int, double> need; // page -> the height of its notes so far, with the gap
    const auto sheetOf = [&](int page) {
        if (!columns || page < 0)
            return page;
        // Twice as many pages as before at a time: a page at a time would walk the text again
        // for each one.
        if (page >= static_cast<int>(places.size()))
            places = columnSlots(width, height, std::max(page + 1, 2 * static_cast<int>(places.size())), &need);
        return places[static_cast<size_t>(page)].sheet;
    };
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    size_t next = 0; // the first note not yet placed, in the order of the marks
    std::vector<std::pair<int, double>> rooms(m_notes.size()); // each placed note's page and room
    const auto unplaceFrom = [&](int position) {
        while (next > 0 && m_notes[next - 1].anchor - 1 >= position) {
            --next;
            const auto &[notePage, room] = rooms[next];
            need[notePage] -= room;
            if (need[notePage] <= 1e-9)
                need.erase(notePage);
        }
    };
    // The lines of the current sheet's earlier columns (their bottoms and positions, in
    // order): a note marked in a later column takes room from their foot too.
    int linesSheet = -1;
    std::map<int, std::vector<std::pair<double, int>>> sheetLines;
    int currentPage = -1;
    bool firstLine = true;
    size_t moves = 0;
    // The breaks the walk made, with the policy each block had: when the walk goes back to an
    // earlier column, the ones after that point were made for a layout that is no more.
    std::vector<std::pair<QTextBlock, QTextFormat::PageBreakFlags>> made;
    for (QTextBlock block = m_document->begin(); block.isValid() && moves < 1000000;) {
        const QRectF box = layout->blockBoundingRect(block);
        if (m_document->frameAt(block.position()) != m_document->rootFrame()) {
            block = block.next();
            continue;
        }
        const QTextLayout *lines = block.layout();
        bool moved = false;
        for (int i = 0; i < lines->lineCount() && !moved; ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = box.top() + line.y();
            const int page = std::max(0, static_cast<int>(std::floor(top / height + 1e-6)));
            if (page != currentPage) {
                currentPage = page;
                firstLine = true;
            }
            // The notes whose marks are on this line or before it (in tables above it).
            const int end = block.position() + line.textStart() + line.textLength();
            const size_t before = next;
            std::vector<std::pair<int, double>> placed;
            for (; next < m_notes.size() && m_notes[next].anchor - 1 < end; ++next) {
                const int notePage = sheetOf(anchorPage(m_notes[next].anchor, height));
                const double room = m_notes[next].height + (need.count(notePage) ? 0 : gap);
                need[notePage] += room;
                placed.emplace_back(notePage, room);
                rooms[next] = {notePage, room};
            }
            // A turned page's foot is below its own, shorter, text.
            const int sheet = sheetOf(page);
            // A page's foot taken from its text: the sheet's notes, what a turned page lacks, and
            // for columns below other text, the height of that text.
            const double sheetNeed = need.count(sheet) ? need[sheet] : 0;
            const auto footOf = [&](int of) {
                if (!columns || of < 0)
                    return sheetNeed;
                const Slot &slot = places[static_cast<size_t>(of)];
                return sheetNeed + (m_turnLength > 0 && slot.turned ? m_turnLength : 0) + slot.top;
            };
            const double taken = footOf(page);
            if (taken > 0 && !firstLine && top + line.height() > (page + 1) * height - taken + 1e-6) {
                // Its notes go with it.
                for (const auto &[notePage, room] : placed) {
                    need[notePage] -= room;
                    if (need[notePage] <= 1e-9)
                        need.erase(notePage);
                }
                next = before;
                const int at = block.position() + line.textStart();
                made.push_back(breakBefore(block, i));
                ++moves;
                places.clear(); // the pages from here on change
                block = m_document->findBlock(at);
                currentPage = -1;
                moved = true;
            } else if (columns) {
                if (sheet != linesSheet) {
                    sheetLines.clear();
                    linesSheet = sheet;
                }
                // The first line of an earlier column of this sheet that now reaches into its
                // notes (not a column's first line): the text from there on moves on.
                int overlap = -1;
                if (!placed.empty()) {
                    for (const auto &[column, bottoms] : sheetLines) {
                        if (column >= page)
                            break;
                        // The text of the band above this one ends above it, clear of the notes.
                        if (places[static_cast<size_t>(column)].top != places[static_cast<size_t>(page)].top)
                            continue;
                        const double limit = (column + 1) * height - footOf(column) + 1e-6;
                        for (size_t k = 1; k < bottoms.size() && overlap < 0; ++k)
                            if (bottoms[k].first > limit)
                                overlap = bottoms[k].second;
                        if (overlap >= 0)
                            break;
                    }
                }
                if (overlap >= 0) {
                    unplaceFrom(overlap);
                    for (auto it = made.begin(); it != made.end();) {
                        if (!it->first.isValid() || it->first.position() <= overlap) {
                            ++it;
                            continue;
                        }
                        QTextBlockFormat format = it->first.blockFormat();
                        format.setPageBreakPolicy(it->second);
                        QTextCursor(it->first).setBlockFormat(format);
                        it = made.erase(it);
                    }
                    const QTextBlock from = m_document->findBlock(overlap);
                    const QTextLine first = from.layout()->lineForTextPosition(overlap - from.position());
                    made.push_back(breakBefore(from, first.isValid() ? first.lineNumber() : 0));
                    ++moves;
                    places.clear();
                    // The lines before the move stay as they are; the walk comes to the others again.
                    for (auto it = sheetLines.begin(); it != sheetLines.end();) {
                        auto &bottoms = it->second;
                        while (!bottoms.empty() && bottoms.back().second >= overlap)
                            bottoms.pop_back();
                        it = bottoms.empty() ? sheetLines.erase(it) : std::next(it);
                    }
                    block = m_document->findBlock(overlap);
                    currentPage = -1;
                    moved = true;
                } else {
                    sheetLines[page].emplace_back(top + line.height(), block.position() + line.textStart());
                }
            }
            firstLine = false;
        }
        if (!moved)
            block = block.next();
    }
    m_sheetNotes = need;
}

std::pair<QTextBlock, QTextFormat::PageBreakFlags> QtRichTextControl::breakBefore(const QTextBlock &block, int line)
{
    QTextCursor cursor(m_document.get());
    cursor.setPosition(block.position());
    if (line == 0) {
        const QTextFormat::PageBreakFlags before = block.blockFormat().pageBreakPolicy();
        QTextBlockFormat format;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.mergeBlockFormat(format);
        return {m_document->findBlock(block.position()), before};
    }
    // The paragraph's lines from this one on go on as a paragraph of their own, on the next
    // page, without the first line's indent or the space between paragraphs.
    const int at = block.position() + block.layout()->lineAt(line).textStart();
    QTextBlockFormat rest = block.blockFormat();
    rest.setTextIndent(0);
    rest.setTopMargin(0);
    rest.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    rest.clearProperty(kPageStartProperty);
    rest.clearProperty(kBandStartProperty);
    QTextBlockFormat first = block.blockFormat();
    first.setBottomMargin(0);
    cursor.setBlockFormat(first);
    cursor.setPosition(at);
    const QTextCharFormat format = cursor.charFormat();
    cursor.insertBlock(rest, format);
    for (Note &note : m_notes)
        if (note.anchor > at)
            ++note.anchor;
    if (const QVariant endnotes = m_document->property("endnotes"); endnotes.isValid() && endnotes.toInt() > at)
        m_document->setProperty("endnotes", endnotes.toInt() + 1);
    for (QTextDocument *note : m_document->findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly))
        if (note->objectName() == QLatin1String(kFootnoteName) && note->property("anchor").toInt() > at)
            note->setProperty("anchor", note->property("anchor").toInt() + 1);
    return {m_document->findBlock(at + 1), QTextFormat::PageBreak_Auto};
}

void QtRichTextControl::drawNotes(QPainter &painter, const std::vector<int> &pages, const TwipsRect &rect, double width,
                                  double height)
{
    const auto onSheet = [&](int page) { return std::find(pages.begin(), pages.end(), page) != pages.end(); };
    double need = 0;
    for (const Note &note : m_notes)
        if (onSheet(note.page))
            need += note.height;
    if (!(need > 0))
        return;
    const double gap = layoutLength(kNoteGap);
    painter.save();
    painter.translate(rect.left, rect.top);
    painter.scale(kTwipsPerLayoutUnit, kTwipsPerLayoutUnit);
    // A short rule above the notes, a quarter of the text's width.
    double y = std::max(0.0, height - need - gap);
    painter.setPen(QPen(Qt::black, 10 / kTwipsPerLayoutUnit));
    painter.drawLine(QPointF(0, y + gap / 2), QPointF(width / 4, y + gap / 2));
    y += gap;
    for (const Note &note : m_notes) {
        if (!onSheet(note.page))
            continue;
        painter.save();
        painter.translate(0, y);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, Qt::black);
        note.text->documentLayout()->draw(&painter, context);
        painter.restore();
        y += note.height;
    }
    painter.restore();
}

std::array<QTextDocument *, 8> QtRichTextControl::pageParts() const
{
    std::array<QTextDocument *, 8> parts{};
    for (QTextDocument *part : m_document->findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly)) {
        const int kind = part->property("part").toInt();
        if (part->objectName() == QLatin1String(kPagePartName) && kind >= 0 && kind < 8 && !parts[kind])
            parts[kind] = part;
    }
    return parts;
}

std::unique_ptr<QTextDocument> QtRichTextControl::pagePart(QTextDocument *part, int number, double width) const
{
    // A copy with the page's numbers in it.
    std::unique_ptr<QTextDocument> copy(part->clone());
    copy->setDocumentMargin(0);
    copy->setUseDesignMetrics(true);
    copy->setDefaultFont(part->defaultFont());
    copy->setDefaultTextOption(part->defaultTextOption());
    std::vector<std::pair<QTextFragment, bool>> numbers;
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().hasProperty(kPageNumberProperty))
                numbers.emplace_back(it.fragment(), it.fragment().charFormat().intProperty(kPageNumberProperty) == 2);
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        QTextCursor cursor(copy.get());
        cursor.setPosition(it->first.position());
        cursor.setPosition(it->first.position() + it->first.length(), QTextCursor::KeepAnchor);
        cursor.insertText(QString::number(it->second ? std::max<int>(number, static_cast<int>(m_pages.size())) : number),
                          it->first.charFormat());
    }
    copy->documentLayout()->setPaintDevice(m_layoutDevice.get());
    copy->setTextWidth(width);
    return copy;
}

QtRichTextControl::PartsReach QtRichTextControl::pagePartsReach(double width, double top, double bottom, double paper)
{
    // The height of each header and footer, laid out with page numbers of five digits (a document
    // has fewer than 100,000 pages).
    if (!m_partHeights || m_partHeights->first != width) {
        std::array<double, 8> heights{};
        const std::array<QTextDocument *, 8> parts = pageParts();
        for (size_t kind = 0; kind < parts.size(); ++kind)
            if (parts[kind] && !parts[kind]->isEmpty())
                heights[kind] = pagePart(parts[kind], 88888, width)->documentLayout()->documentSize().height()
                              * kTwipsPerLayoutUnit;
        m_partHeights.emplace(width, heights);
    }
    const std::array<double, 8> &heights = m_partHeights->second;
    const double headerY = m_document->property("headerY").isValid() ? m_document->property("headerY").toDouble() : 720.0;
    const double footerY = m_document->property("footerY").isValid() ? m_document->property("footerY").toDouble() : 720.0;
    const auto reach = [&](size_t kind) {
        const bool header = kind < 4;
        const double high = heights[kind];
        return high > 0
                 ? std::max(0.0, partDistance(header ? headerY : footerY, high, paper) + high - (header ? top : bottom))
                 : 0.0;
    };
    // The layout's pages are all of one height: the text makes room for the tallest of them,
    // on every page (a title page's or a left page's header taller than the others takes that
    // room from every page).
    PartsReach out;
    out.top = std::max({reach(0), reach(1), reach(2), reach(3)});
    out.bottom = std::max({reach(4), reach(5), reach(6), reach(7)});
    return out;
}

double QtRichTextControl::partDistance(double asked, double high, double paper)
{
    // A header or footer stands at its distance from the paper's edge, but wholly on the paper.
    return std::clamp(asked, 0.0, std::max(0.0, paper - high));
}

void QtRichTextControl::drawPageParts(QPainter &painter, size_t index, const TwipsRect &rect, const TwipsRect &sheet,
                                      double width)
{
    // The pages of endnotes have none.
    const QVariant endnotes = m_document->property("endnotes");
    if (endnotes.isValid() && m_pages[index].position >= endnotes.toInt())
        return;
    const std::array<QTextDocument *, 8> parts = pageParts();
    // The first page takes the first-page ones when the document asks for them; facing pages
    // take the left ones on even pages, the right ones on odd pages; the others the ones of
    // every page.
    const int number = static_cast<int>(index) + 1;
    const bool first = index == 0 && m_document->property("titlePage").toBool();
    const bool facing = m_document->property("facing").toBool();
    const auto choose = [&](int all, int left, int right, int firstPage) -> QTextDocument * {
        if (first)
            return parts[firstPage];
        if (facing && parts[number % 2 == 0 ? left : right])
            return parts[number % 2 == 0 ? left : right];
        return parts[all] ? parts[all] : parts[right];
    };
    const QVariant headerY = m_document->property("headerY"), footerY = m_document->property("footerY");
    const double paper = double(sheet.bottom) - sheet.top;
    for (const bool header : {true, false}) {
        QTextDocument *part = header ? choose(0, 1, 2, 3) : choose(4, 5, 6, 7);
        if (!part || part->isEmpty())
            continue;
        const std::unique_ptr<QTextDocument> copy = pagePart(part, number, width);
        const double high = copy->documentLayout()->documentSize().height() * kTwipsPerLayoutUnit;
        const double top = header
                             ? double(sheet.top)
                                   + partDistance(headerY.isValid() ? headerY.toDouble() : 720.0, high, paper)
                             : double(sheet.bottom)
                                   - partDistance(footerY.isValid() ? footerY.toDouble() : 720.0, high, paper) - high;
        painter.save();
        painter.translate(rect.left, top);
        painter.scale(kTwipsPerLayoutUnit, kTwipsPerLayoutUnit);
        painter.setPen(Qt::black);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, Qt::black);
        copy->documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

void QtRichTextControl::planJob(PageCanvas &surface)
{
    // The characters of every fragment (not the marks of paragraphs, frames, pictures and line
    // ends, which draw no glyph) and every face they are in.
    std::u16string text;
    std::vector<bool> seen(65536, false);
    TextPlan plan;
    QSet<QString> faces;
    const QFont base = m_document->defaultFont();
    // The document, its footnotes, headers and footers, and the digits of page numbers.
    std::vector<QTextDocument *> documents{m_document.get()};
    for (QTextDocument *part : m_document->findChildren<QTextDocument *>(Qt::FindDirectChildrenOnly))
        documents.push_back(part);
    if (documents.size() > 1) {
        for (char16_t c = u'0'; c <= u'9'; ++c) {
            seen[c] = true;
            text.push_back(c);
        }
    }
    for (QTextDocument *document : documents)
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                if (format.isImageFormat())
                    continue;
                const QString chars = fragment.text();
                for (const QChar ch : chars) {
                    const char16_t c = ch.unicode();
                    if (seen[c] || c < 0x20 || c == 0x2028 || c == 0x2029 || c == QChar::ObjectReplacementCharacter
                        || (c >= 0xFDD0 && c <= 0xFDEF))
                        continue;
                    seen[c] = true;
                    text.push_back(c);
                }
                const QFont font = format.font().resolve(base);
                const QString key = font.family() + QLatin1Char(font.bold() ? 'b' : '-')
                                  + QLatin1Char(font.italic() ? 'i' : '-');
                if (!faces.contains(key)) {
                    faces.insert(key);
                    plan.faces.push_back({font.family().toStdU16String(), font.bold(), font.italic()});
                }
            }
        }
    // The leaders drawn before tab stops.
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().hasProperty(kTabLeadersProperty))
            continue;
        for (const QString &stop : block.blockFormat().stringProperty(kTabLeadersProperty).split(QLatin1Char(' '))) {
            const char16_t c = stop.isEmpty() || stop.back() == QLatin1Char(':') ? 0 : stop.back().unicode();
            if (c >= 0x20 && !seen[c]) {
                seen[c] = true;
                text.push_back(c);
            }
        }
    }
    plan.texts.push_back(text);
    surface.planText(plan);
}

int32_t QtRichTextControl::formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect, const TwipsRect &sheet)
{
    DrawingContext *drawing = surface.drawingContext();
    QPainter *painter = drawing ? drawing->painter() : nullptr;
    if (!painter)
        throw RuntimeError(err::PrinterError);
    if (double(rect.right) - rect.left <= 0 || double(rect.bottom) - rect.top <= 0)
        return first;
    // Landscape pages of a document printed on portrait sheets are turned: as wide as the sheet
    // is tall, the margins kept.
    const bool landscape = m_document->property(kLandscapeDocumentProperty).toBool();
    // (By the paper's sides: a printer's unprintable border is not the same on each of them.)
    double paperWide = double(sheet.right) - sheet.left, paperTall = double(sheet.bottom) - sheet.top;
    try {
        paperWide = surface.Width();
        paperTall = surface.Height();
    } catch (const RuntimeError &) {
        // A device that cannot tell its paper: its printable area stands for it.
    }
    const double turnBy = landscape && paperTall > paperWide && double(rect.bottom) - rect.top > paperTall - paperWide
                            ? paperTall - paperWide
                            : 0;
    // A document all of whose pages are landscape is laid out on its turned pages as they are.
    // Otherwise the layout's pages are the sheet's, and each turned one keeps its foot free,
    // which costs a new layout of the rest of the document for each such page.
    if (landscape && m_landscapeOnly < 0) {
        m_landscapeOnly = 1;
        for (auto it = m_document->rootFrame()->begin(); !it.atEnd() && m_landscapeOnly; ++it)
            if (it.currentBlock().isValid() && !sectionLayout(it.currentBlock().blockFormat()).landscape)
                m_landscapeOnly = 0;
    }
    const bool turnAll = turnBy > 0 && m_landscapeOnly == 1;
    const double turn = turnAll ? 0 : turnBy;
    TwipsRect laidOut = rect;
    // Headers and footers are placed from the paper's edges, which lie outside the printable
    // area by the printer's unprintable border. One that reaches into the text moves the text's
    // edge clear of it, as its editor does.
    double down = 0; // the printable area's top below the paper's
    try {
        down = surface.ScaleY(static_cast<float>(surface.physicalOffsetY()), 3, 1);
        if (!(down > 0 && down < paperTall))
            down = 0;
    } catch (const RuntimeError &) {
        // A device that cannot tell its border: the printable area stands for the paper.
    }
    const double paperTop = double(sheet.top) - down, paperBottom = down > 0 ? paperTall - down : double(sheet.bottom);
    const PartsReach reach = pagePartsReach(layoutLength(double(rect.right) - rect.left), double(rect.top) - paperTop,
                                            paperBottom - rect.bottom, paperBottom - paperTop);
    laidOut.top += static_cast<int32_t>(std::ceil(reach.top));
    laidOut.bottom -= static_cast<int32_t>(std::ceil(reach.bottom));
    m_squeezed = reach.top > 0 || reach.bottom > 0;
    if (double(laidOut.bottom) - laidOut.top - (turnAll ? turnBy : 0) <= 0)
        throw RuntimeError(err::PrinterError, kNoRoomForText);
    if (turnAll) {
        laidOut.right += static_cast<int32_t>(turnBy);
        laidOut.bottom -= static_cast<int32_t>(turnBy);
    }
    paginate(double(laidOut.right) - laidOut.left, double(laidOut.bottom) - laidOut.top,
             std::max(0.0, double(rect.left) - sheet.left), turn);
    // The layout's page in layout units.
    const double height = layoutLength(double(laidOut.bottom) - laidOut.top);

    // The page that starts at first, or else the one that holds it.
    size_t index = 0;
    while (index + 1 < m_pages.size() && m_pages[index + 1].position <= first)
        ++index;
    // This sheet's text area, turned or not.
    const std::vector<int> &pages = m_pages[index].pages;
    const bool turned = turnAll
                     || (!m_slots.empty() && pages.front() < static_cast<int>(m_slots.size())
                         && m_slots[static_cast<size_t>(pages.front())].turned);
    TwipsRect area = laidOut, whole = sheet;
    if (turned) {
        if (!turnAll) {
            const auto by = static_cast<int32_t>(turn);
            area.right += by;
            area.bottom -= by;
        }
        whole.right = sheet.bottom;
        whole.bottom = sheet.right;
    }
    if (turnBy > 0)
        surface.turnPage(turned);
    const double width = layoutLength(double(area.right) - area.left);
    for (const int page : pages)
        drawPage(*painter, page, area, whole, width, height, m_pages[index].position);
    drawNotes(*painter, pages, area, width, layoutLength(double(area.bottom) - area.top));
    // (A turned page is drawn turned about the printable area: its top is as far in.)
    TwipsRect paper = whole;
    if (down > 0) {
        paper.top = static_cast<int32_t>(std::lround(whole.top - down));
        paper.bottom = static_cast<int32_t>(std::lround((turned ? paperWide : paperTall) - down));
    }
    drawPageParts(*painter, index, area, paper, width);
    if (drawing->drawingFailed())
        throw RuntimeError(err::PrinterError, u"Printer error: a font of this job cannot be written as planned");

    const int length = std::max(0, m_document->characterCount() - 1);
    return index + 1 < m_pages.size() ? m_pages[index + 1].position : length;
}

void QtRichTextControl::drawPage(QPainter &painter, int page, const TwipsRect &rect, const TwipsRect &sheet,
                                 double width, double height, int first)
{
    // A page of the layout in columns is drawn at its column's place, clipped to it.
    double x = 0, columnLeft = std::min(0.0, (double(sheet.left) - rect.left) / kTwipsPerLayoutUnit);
    double columnRight = std::max(width, (double(sheet.right) - rect.left) / kTwipsPerLayoutUnit);
    // Columns below other text on their sheet start lower by its height, and end at the foot.
    const double slotTop = page < static_cast<int>(m_slots.size()) ? m_slots[static_cast<size_t>(page)].top : 0;
    if (page < static_cast<int>(m_slots.size()) && m_slots[static_cast<size_t>(page)].count > 1) {
        const Slot &slot = m_slots[static_cast<size_t>(page)];
        x = slot.column * (slot.columnWidth + slot.gap);
        if (slot.column > 0)
            columnLeft = -slot.gap / 2;
        if (slot.column + 1 < slot.count)
            columnRight = slot.columnWidth + slot.gap / 2;
        else
            columnRight -= x;
        if (slot.rule && slot.column > 0) {
            // The line between the columns, as long as the text beside it.
            painter.save();
            painter.translate(rect.left, rect.top);
            painter.scale(kTwipsPerLayoutUnit, kTwipsPerLayoutUnit);
            painter.setPen(QPen(Qt::black, 10 / kTwipsPerLayoutUnit));
            // The line between the columns, as long as the longest of them on this sheet: it
            // stops above the notes and above text set below the columns.
            double longest = 0;
            const int from = std::max(0, page - slot.column);
            for (int k = from; k < from + slot.count && k < static_cast<int>(m_slots.size()); ++k) {
                const Slot &beside = m_slots[static_cast<size_t>(k)];
                if (beside.sheet == slot.sheet && beside.top == slot.top)
                    longest = std::max(longest, beside.bottom);
            }
            const double at = x - slot.gap / 2;
            painter.drawLine(QPointF(at, slotTop), QPointF(at, slotTop + longest));
            painter.restore();
        }
    }
    // Paragraphs split across pages are drawn line by line, only the lines of this page; the
    // rest of the page by the document's layout, clipped to what lies between them (half a
    // device pixel in, so that a line only touching the edge stays out).
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    const double pageTop = page * height, pageBottom = pageTop + height - slotTop;
    double clipTop = pageTop, clipBottom = pageBottom;
    // (Those that began on an earlier page are drawn before the rest, those that go on to a
    // later one after it, so that the page's text reads in order.)
    std::vector<QTextBlock> split, continued;
    if (const auto found = m_split.find(page); found != m_split.end()) {
        for (const int number : found->second) {
            const QTextBlock block = m_document->findBlockByNumber(number);
            // The block's extent from its lines: a line the layout moved to the next page may
            // end below the block's bounding rectangle.
            const QRectF box = layout->blockBoundingRect(block);
            const QTextLayout *lines = block.layout();
            double top = box.top(), bottom = box.bottom();
            if (lines->lineCount() > 0) {
                top = std::min(top, box.top() + lines->lineAt(0).y());
                const QTextLine last = lines->lineAt(lines->lineCount() - 1);
                bottom = std::max(bottom, box.top() + last.y() + last.height());
            }
            if (top < pageTop)
                clipTop = std::max(clipTop, bottom);
            if (bottom > pageBottom)
                clipBottom = std::min(clipBottom, top);
            (top < pageTop ? continued : split).push_back(block);
        }
    }
    const double half = 0.6 / kTwipsPerLayoutUnit;
    painter.save();
    painter.translate(rect.left, rect.top);
    painter.scale(kTwipsPerLayoutUnit, kTwipsPerLayoutUnit);
    painter.translate(x, slotTop - pageTop);
    painter.setPen(Qt::black);
    const auto drawLines = [&](const std::vector<QTextBlock> &blocks) {
        for (const QTextBlock &block : blocks) {
            const QRectF box = layout->blockBoundingRect(block);
            const QTextLayout *lines = block.layout();
            for (int i = 0; i < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                const double top = box.top() + line.y();
                if (top >= pageTop - 1e-6 * height && top < pageBottom - 1e-6 * height)
                    line.draw(&painter, box.topLeft());
            }
        }
    };
    drawLines(continued);
    if (clipBottom - clipTop > 2 * half) {
        // Across, the whole sheet (a table may start left of the margin, as its document says),
        // or the column.
        const QRectF clip(columnLeft, clipTop + half, columnRight - columnLeft, clipBottom - clipTop - 2 * half);
        painter.save();
        painter.setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(&painter, context);
        painter.restore();
    }
    drawLines(split);
    drawLeaders(painter, first, pageTop, pageBottom);
    drawDoubleUnderlines(painter, first, pageTop, pageBottom);
    painter.restore();
}

void QtRichTextControl::drawLeaders(QPainter &painter, int first, double pageTop, double pageBottom)
{
    // Tabs that jump to a stop with a leader: the leader's character, repeated, fills the space
    // the tab leaves, ending where the tab ends. A tab goes to the first stop past where it
    // starts, whatever the stop's kind.
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    for (QTextBlock block = m_document->findBlock(first); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        if (box.top() >= pageBottom)
            break;
        const QTextBlockFormat format = block.blockFormat();
        if (!format.hasProperty(kTabLeadersProperty) || box.bottom() <= pageTop)
            continue;
        std::vector<std::pair<double, QChar>> stops;
        for (const QString &stop :
             format.stringProperty(kTabLeadersProperty).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qsizetype colon = stop.lastIndexOf(QLatin1Char(':'));
            if (colon > 0)
                // in the text engine's 96-dpi units, which are 15 twips; no character: no leader
                stops.emplace_back(stop.left(colon).toDouble() * 15 / kTwipsPerLayoutUnit,
                                   colon + 1 < stop.size() ? stop.at(colon + 1) : QChar());
        }
        const QString text = block.text();
        const QTextLayout *lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = box.top() + line.y();
            if (top < pageTop - 1e-6 || top >= pageBottom - 1e-6)
                continue;
            for (int at = line.textStart(); at < line.textStart() + line.textLength() && at < text.size(); ++at) {
                if (text.at(at) != QLatin1Char('\t'))
                    continue;
                const double from = line.cursorToX(at), to = line.cursorToX(at + 1);
                const auto stop = std::find_if(stops.begin(), stops.end(),
                                               [&](const auto &s) { return s.first > from - line.x() + 1e-3; });
                if (stop == stops.end() || stop->second.isNull() || to - from <= 0)
                    continue;
                const QTextCharFormat charFormat = block.begin() != block.end() ? [&] {
                    for (auto it = block.begin(); !it.atEnd(); ++it)
                        if (it.fragment().contains(block.position() + at))
                            return it.fragment().charFormat();
                    return QTextCharFormat();
                }() : QTextCharFormat();
                QFont font = charFormat.font().resolve(m_document->defaultFont());
                const double advance = QFontMetricsF(font, m_layoutDevice.get()).horizontalAdvance(stop->second);
                if (!(advance > 0))
                    continue;
                // As many as fit between the text before the tab and the text after it, spread
                // evenly from the one to the other.
                const int count = static_cast<int>(std::floor((to - from) / advance + 1e-6));
                if (count <= 0)
                    continue;
                QTextLayout leader(QString(stop->second), font, m_layoutDevice.get());
                leader.beginLayout();
                QTextLine only = leader.createLine();
                leader.endLayout();
                if (!only.isValid())
                    continue;
                // On the line's baseline.
                painter.setPen(charFormat.foreground().style() != Qt::NoBrush ? charFormat.foreground().color()
                                                                              : QColor(Qt::black));
                const double step = (to - from) / count;
                for (int k = 0; k < count; ++k)
                    leader.draw(&painter, QPointF(box.left() + from + k * step, top + line.ascent() - only.ascent()));
            }
        }
    }
}

void QtRichTextControl::drawDoubleUnderlines(QPainter &painter, int first, double pageTop, double pageBottom)
{
    // Text underlined twice: the layout draws the first line, this the second, one line's
    // width below it.
    if (!m_document->property(kDoubleUnderlinesProperty).toBool())
        return;
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    for (QTextBlock block = m_document->findBlock(first); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        if (box.top() >= pageBottom)
            break;
        if (box.bottom() <= pageTop)
            continue;
        const QTextLayout *lines = block.layout();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.boolProperty(kDoubleUnderlineProperty) || !format.fontUnderline())
                continue;
            const QFont font = format.font().resolve(m_document->defaultFont());
            const QFontMetricsF metrics(font, m_layoutDevice.get());
            const double width = std::max(metrics.lineWidth(), 0.5);
            painter.setPen(
                QPen(format.foreground().style() != Qt::NoBrush ? format.foreground().color() : QColor(Qt::black),
                     width, Qt::SolidLine, Qt::FlatCap));
            const int start = fragment.position() - block.position(), end = start + fragment.length();
            for (int i = 0; i < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                const int from = std::max(start, line.textStart()),
                          to = std::min(end, line.textStart() + line.textLength());
                const double top = box.top() + line.y();
                if (from >= to || top < pageTop - 1e-6 || top >= pageBottom - 1e-6)
                    continue;
                const double y = top + line.ascent() + metrics.underlinePos() + 2 * width;
                painter.drawLine(QPointF(box.left() + line.cursorToX(from), y),
                                 QPointF(box.left() + line.cursorToX(to), y));
            }
        }
    }
}

void QtRichTextControl::placeShapes(double width, double leftRoom)
{
    // Shapes float at the side of the text their document puts them nearer: left or right as
    // their alignment says, else where their position falls (measured from the page's edge, the
    // margin or the column), kept on the page between the margins. Lengths of frames are in
    // the text engine's 96-dpi units, 15 twips each.
    const QList<QTextFrame *> top = m_document->rootFrame()->childFrames();
    std::vector<QTextFrame *> frames(top.begin(), top.end());
    for (size_t i = 0; i < frames.size() && i < 100000; ++i) {
        for (QTextFrame *child : frames[i]->childFrames())
            frames.push_back(child);
        QTextFrameFormat format = frames[i]->frameFormat();
        if (!format.hasProperty(kShapeProperty))
            continue;
        const QStringList values = format.stringProperty(kShapeProperty).split(QLatin1Char(' '));
        if (values.size() != 6)
            continue;
        const double left = values[0].toDouble(), right = values[2].toDouble();
        const int from = values[4].toInt(), align = values[5].toInt();
        double wide = right > left ? std::min(right - left, width) : 0;
        if (wide <= 0) {
            // A shape without a size: its picture's.
            for (auto it = frames[i]->begin(); !it.atEnd() && wide <= 0; ++it)
                for (auto f = it.currentBlock().begin(); !f.atEnd(); ++f)
                    if (f.fragment().charFormat().isImageFormat())
                        wide = std::min(width, f.fragment().charFormat().toImageFormat().width() * 15);
        }
        if (wide > 0)
            format.setWidth(wide / 15);
        const double at = std::clamp(from == static_cast<int>(Shape::From::Page) ? left - leftRoom : left, 0.0,
                                     std::max(0.0, width - wide));
        const bool rightSide = align == static_cast<int>(Shape::Align::Right)
                            || (align == static_cast<int>(Shape::Align::Position) && at + wide / 2 > width / 2);
        if (align == static_cast<int>(Shape::Align::Center)) {
            format.setPosition(QTextFrameFormat::FloatLeft);
            format.setLeftMargin((width - wide) / 2 / 15);
            format.setRightMargin(0);
        } else if (rightSide) {
            format.setPosition(QTextFrameFormat::FloatRight);
            format.setLeftMargin(0);
            format.setRightMargin(align == static_cast<int>(Shape::Align::Right) ? 0 : (width - at - wide) / 15);
        } else {
            format.setPosition(QTextFrameFormat::FloatLeft);
            format.setLeftMargin(align == static_cast<int>(Shape::Align::Left) ? 0 : at / 15);
            format.setRightMargin(0);
        }
        frames[i]->setFrameFormat(format);
    }
}

void QtRichTextControl::freeFormatting() { m_paginated = false; }

} // namespace corvane::qt
