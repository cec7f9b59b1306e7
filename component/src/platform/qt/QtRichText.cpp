#include "QtRichText.h"

#include "QtFiles.h"
#include "QtMetafiles.h"
#include "QtDirectPainter.h"
#include "QtDrawingContext.h"
#include "QtStrings.h"
#include "richtext/RtfReader.h"
#include "core/Files.h"

#include <corvane/Errors.h>

#include <QAbstractTextDocumentLayout>
#include <QCryptographicHash>
#include <QFontDatabase>
#include <QHash>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSet>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <cmath>

namespace corvane::qt {

namespace {

// How far down the layout's coordinates go, in its units: its fixed-point numbers hold about
// 33.5 million.
constexpr double kLayoutLimit = 3.2e7;

// A length in twips as the layout holds it: in its units, to the 64th its fixed-point numbers
// keep, so that the layout's pages fall exactly at multiples of the page height.
double layoutLength(double twips) { return std::round(twips / kTwipsPerLayoutUnit * 64) / 64; }

// Lengths of a document in twips, as the text layout takes them: in pixels of 96 dots per
// inch, which it scales to its device. Kept to what a page can hold.
// A length of the document in layout units, for a paragraph's indents.
qreal twips(int32_t value) { return std::clamp(value, -(1 << 20), 1 << 20) / kTwipsPerLayoutUnit; }

// A length the text engine takes in 96-dpi units and scales to the layout's resolution itself:
// a paragraph's spacing and line heights, tab stops, and a table's widths, padding and borders.
qreal scaledTwips(int32_t value) { return std::clamp(value, -(1 << 20), 1 << 20) / 15.0; }

QTextCharFormat charFormat(const CharFormat &f)
{
    QTextCharFormat format;
    if (!f.fontName.empty()) {
        const QString name = qs(f.fontName);
        const QString face = documentFace(name);
        format.setFontFamilies({face});
        if (face != name)
            format.setProperty(kDocumentFaceProperty, name);
    }
    format.setFontPointSize(std::clamp(f.pointSize, 1.0, 1638.0));
    format.setFontWeight(f.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(f.italic);
    format.setFontUnderline(f.underline);
    format.setFontStrikeOut(f.strike);
    format.setVerticalAlignment(f.verticalAlign > 0   ? QTextCharFormat::AlignSuperScript
                                : f.verticalAlign < 0 ? QTextCharFormat::AlignSubScript
                                                      : QTextCharFormat::AlignNormal);
    if (f.color)
        format.setForeground(QColor::fromRgb(*f.color));
    if (f.background)
        format.setBackground(QColor::fromRgb(*f.background));
    return format;
}

QTextBlockFormat blockFormat(const ParaFormat &p, int32_t defaultTab)
{
    QTextBlockFormat format;
    switch (p.align) {
    case ParaFormat::Align::Left: format.setAlignment(Qt::AlignLeft); break;
    case ParaFormat::Align::Center: format.setAlignment(Qt::AlignHCenter); break;
    case ParaFormat::Align::Right: format.setAlignment(Qt::AlignRight); break;
    case ParaFormat::Align::Justify: format.setAlignment(Qt::AlignJustify); break;
    }
    format.setLeftMargin(std::max<qreal>(0, twips(p.leftIndent)));
    format.setRightMargin(std::max<qreal>(0, twips(p.rightIndent)));
    format.setTextIndent(twips(p.firstIndent));
    format.setTopMargin(std::max<qreal>(0, scaledTwips(p.spaceBefore)));
    format.setBottomMargin(std::max<qreal>(0, scaledTwips(p.spaceAfter)));
    if (p.lineSpacing != 0) {
        if (p.lineSpacingMultiple && p.lineSpacing > 0)
            format.setLineHeight(std::min(1000.0, p.lineSpacing * 100.0 / 240), QTextBlockFormat::ProportionalHeight);
        else if (p.lineSpacing > 0)
            format.setLineHeight(scaledTwips(p.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(scaledTwips(-p.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    // The document measures tab stops from the margin, the layout from where the line starts:
    // the first line, where tabs mostly are, starts at the left indent plus the first-line
    // indent. A hanging indent makes a stop at the left indent, and default stops go on after
    // the last stop the paragraph names.
    const int32_t start = std::max(0, std::clamp(p.leftIndent, -(1 << 20), 1 << 20)) + std::clamp(p.firstIndent, -(1 << 20), 1 << 20);
    std::vector<TabStop> stops = p.tabs;
    if (p.firstIndent < 0 && p.leftIndent > 0)
        stops.push_back({p.leftIndent, TabStop::Kind::Left});
    std::stable_sort(stops.begin(), stops.end(), [](const TabStop &a, const TabStop &b) { return a.position < b.position; });
    QList<QTextOption::Tab> tabs;
    QStringList leaders;
    int32_t last = start;
    for (const TabStop &tab : stops) {
        if (start != 0 && tab.position <= start)
            continue; // behind the line's start
        const qreal at = scaledTwips(tab.position - start);
        if (tab.leader)
            leaders << QString::number(at) + QLatin1Char(':') + QChar(tab.leader);
        switch (tab.kind) {
        case TabStop::Kind::Left: tabs << QTextOption::Tab(at, QTextOption::LeftTab); break;
        case TabStop::Kind::Center: tabs << QTextOption::Tab(at, QTextOption::CenterTab); break;
        case TabStop::Kind::Right: tabs << QTextOption::Tab(at, QTextOption::RightTab); break;
        case TabStop::Kind::Decimal: tabs << QTextOption::Tab(at, QTextOption::DelimiterTab, QLatin1Char('.')); break;
        }
        last = std::max(last, tab.position);
    }
    if (start != 0 && defaultTab > 0) {
        // The default stops, measured from the margin, up to 22 inches.
        for (int32_t at = (last / defaultTab + 1) * defaultTab; at <= 31680 && tabs.size() < 256; at += defaultTab)
            tabs << QTextOption::Tab(scaledTwips(at - start), QTextOption::LeftTab);
    }
    format.setTabPositions(tabs);
    if (!p.tabs.empty()) {
        QStringList named;
        for (const TabStop &tab : p.tabs) {
            static const char *kinds[] = {"", "c", "r", "d"};
            named << QLatin1String(kinds[static_cast<int>(tab.kind)]) + QString::number(tab.position)
                         + (tab.leader ? QString(QChar(tab.leader)) : QString());
        }
        format.setProperty(kDocumentTabsProperty, named.join(QLatin1Char(' ')));
    }
    if (!leaders.isEmpty())
        format.setProperty(kTabLeadersProperty, leaders.join(QLatin1Char(' ')));
    if (p.pageBreakBefore)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    return format;
}

} // namespace

QString documentFace(const QString &name)
{
    // Faces of office documents and the fonts of this system made to their measures (or, for
    // the Asian ones, that have their characters).
    static const std::pair<QLatin1StringView, QLatin1StringView> standIns[] = {
        {QLatin1StringView("calibri"), QLatin1StringView("Carlito")},
        {QLatin1StringView("cambria"), QLatin1StringView("Caladea")},
        {QLatin1StringView("arial"), QLatin1StringView("Liberation Sans")},
        {QLatin1StringView("helvetica"), QLatin1StringView("Liberation Sans")},
        {QLatin1StringView("arial narrow"), QLatin1StringView("Liberation Sans Narrow")},
        {QLatin1StringView("times new roman"), QLatin1StringView("Liberation Serif")},
        {QLatin1StringView("times"), QLatin1StringView("Liberation Serif")},
        {QLatin1StringView("courier new"), QLatin1StringView("Liberation Mono")},
        {QLatin1StringView("courier"), QLatin1StringView("Liberation Mono")},
        {QLatin1StringView("verdana"), QLatin1StringView("DejaVu Sans")},
        {QLatin1StringView("tahoma"), QLatin1StringView("DejaVu Sans")},
        {QLatin1StringView("segoe ui"), QLatin1StringView("DejaVu Sans")},
        {QLatin1StringView("georgia"), QLatin1StringView("DejaVu Serif")},
        {QLatin1StringView("consolas"), QLatin1StringView("DejaVu Sans Mono")},
        {QLatin1StringView("lucida console"), QLatin1StringView("DejaVu Sans Mono")},
        {QLatin1StringView("ms mincho"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("ms gothic"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("ms pmincho"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("ms pgothic"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("meiryo"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("yu gothic"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("yu mincho"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("simsun"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("simhei"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("nsimsun"), QLatin1StringView("WenQuanYi Zen Hei Mono")},
        {QLatin1StringView("microsoft yahei"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("mingliu"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("pmingliu"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("microsoft jhenghei"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("batang"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("gulim"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("dotum"), QLatin1StringView("WenQuanYi Zen Hei")},
        {QLatin1StringView("malgun gothic"), QLatin1StringView("WenQuanYi Zen Hei")},
    };
    // The same names come back in every document: their answers are kept.
    thread_local QHash<QString, QString> known;
    if (const auto found = known.constFind(name); found != known.constEnd())
        return *found;
    QString face = name;
    const QString folded = name.trimmed().toLower();
    if (folded == QLatin1String("symbol") || folded == QLatin1String("wingdings")) {
        // Their bytes are read as the characters they show, which a font of symbol encoding
        // (as the system's "Symbol" is) does not draw.
        face = QStringLiteral("DejaVu Sans");
    } else if (!QFontDatabase::hasFamily(name)) {
        const QString lower = name.trimmed().toLower();
        // Asian documents name their faces in their own script too.
        static const QString asianNames[] = {QStringLiteral(u"ｍｓ 明朝"), QStringLiteral(u"ｍｓ ゴシック"),
                                             QStringLiteral(u"ｍｓ ｐ明朝"), QStringLiteral(u"ｍｓ ｐゴシック"),
                                             QStringLiteral(u"宋体"), QStringLiteral(u"黑体"),
                                             QStringLiteral(u"新細明體"), QStringLiteral(u"細明體"),
                                             QStringLiteral(u"바탕"), QStringLiteral(u"굴림"),
                                             QStringLiteral(u"돋움"), QStringLiteral(u"맑은 고딕")};
        QString standIn;
        for (const auto &[document, system] : standIns)
            if (lower == document)
                standIn = system;
        for (const QString &asian : asianNames)
            if (lower == asian)
                standIn = QStringLiteral("WenQuanYi Zen Hei");
        if (!standIn.isEmpty() && QFontDatabase::hasFamily(standIn))
            face = standIn;
    }
    if (known.size() < 1000)
        known.insert(name, face);
    return face;
}

QtDocumentBuilder::QtDocumentBuilder(QTextDocument &document)
    : m_document(document)
    , m_cursor(&document)
{
    m_cursor.movePosition(QTextCursor::End);
    // A scanned page of 600 dots per inch is some 35 million pixels, over the 128 MB Qt's
    // image readers take by default: pictures up to 256 MB decoded (the size they print at is
    // taken from them at once).
    if (QImageReader::allocationLimit() < 256)
        QImageReader::setAllocationLimit(256);
    // One edit for the whole document: it is laid out once, at the end, not after each run.
    m_cursor.beginEditBlock();
}

QtDocumentBuilder::~QtDocumentBuilder() { m_cursor.endEditBlock(); }

void QtDocumentBuilder::defaultTab(int32_t value)
{
    m_defaultTab = value;
    QTextOption option = m_document.defaultTextOption();
    option.setTabStopDistance(scaledTwips(value));
    m_document.setDefaultTextOption(option);
}

void QtDocumentBuilder::enterCell()
{
    // A cell is entered when something is put into it, so a row's last \cell adds no column.
    if (!m_inRow || m_cell == m_cursorCell)
        return;
    if (m_cell >= m_table->columns()) {
        if (m_table->columns() >= 64)
            m_cell = m_table->columns() - 1; // further cells run into the last one
        else
            m_table->appendColumns(m_cell + 1 - m_table->columns());
    }
    m_cursor = m_table->cellAt(m_row, m_cell).firstCursorPosition();
    m_cursorCell = m_cell;
}

const QTextCharFormat &QtDocumentBuilder::converted(const CharFormat &format)
{
    if (!m_lastFormat || !(*m_lastFormat == format)) {
        m_lastFormat = format;
        m_lastConverted = charFormat(format);
    }
    return m_lastConverted;
}

void QtDocumentBuilder::text(std::u16string_view text, const CharFormat &format)
{
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    m_cursor.insertText(qs(text), converted(format));
}

void QtDocumentBuilder::lineBreak(const CharFormat &format)
{
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    m_cursor.insertText(QString(QChar::LineSeparator), converted(format));
}

void QtDocumentBuilder::applyBlockFormat(const ParaFormat &format)
{
    QTextBlockFormat block = blockFormat(format, m_defaultTab);
    if (m_pageBreakNext) {
        block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_pageBreakNext = false;
    }
    m_cursor.setBlockFormat(block);
    // The layout leaves out the space before the paragraph right after a table: the table
    // keeps it below itself instead.
    if (m_tableAbove && !m_inRow) {
        if (block.topMargin() > 0) {
            QTextTableFormat table = m_tableAbove->format();
            table.setBottomMargin(block.topMargin());
            m_tableAbove->setFormat(table);
        }
        m_tableAbove = nullptr;
    }
}

void QtDocumentBuilder::paragraphEnd(const ParaFormat &format, const CharFormat &mark)
{
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    applyBlockFormat(format);
    m_cursor.insertBlock(QTextBlockFormat(), converted(mark));
}

void QtDocumentBuilder::pageBreak()
{
    if (!m_inRow)
        endTable();
    // The break comes before the next paragraph; an empty one takes it itself.
    if (m_cursor.block().length() > 1)
        m_cursor.insertBlock();
    m_pageBreakNext = true;
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_cursor.setBlockFormat(block);
}

void QtDocumentBuilder::documentEnd(const ParaFormat &format)
{
    endTable();
    if (m_table && m_cursor.currentTable() == m_table)
        return;
    applyBlockFormat(format);
}

namespace {

QTextFrameFormat::BorderStyle borderStyle(Border::Style style)
{
    switch (style) {
    case Border::Style::Single: return QTextFrameFormat::BorderStyle_Solid;
    case Border::Style::Double: return QTextFrameFormat::BorderStyle_Double;
    case Border::Style::Dotted: return QTextFrameFormat::BorderStyle_Dotted;
    case Border::Style::Dashed: return QTextFrameFormat::BorderStyle_Dashed;
    case Border::Style::None: break;
    }
    return QTextFrameFormat::BorderStyle_None;
}

// How wide the layout draws a line, in its 96-dpi units.
qreal drawnWidth(const Border &border)
{
    if (border.style == Border::Style::None)
        return 0;
    return scaledTwips(std::clamp(border.width > 0 ? border.width : 10, 1, 1440) * (border.style == Border::Style::Double ? 3 : 1));
}

// One side of a cell's border as the layout draws it, inside the cell. A side with no line
// is left unset: the table draws no grid of its own.
enum class Side { Top, Left, Bottom, Right };
void setBorder(QTextTableCellFormat &format, Side side, const Border &border)
{
    if (border.style == Border::Style::None)
        return;
    // A line names its width, half a point when it does not; a double line is two lines of
    // that width with as much between them.
    const qreal width = drawnWidth(border);
    const QBrush brush(QColor::fromRgb(border.color.value_or(0x000000)));
    switch (side) {
    case Side::Top:
        format.setTopBorder(width);
        format.setTopBorderStyle(borderStyle(border.style));
        format.setTopBorderBrush(brush);
        break;
    case Side::Left:
        format.setLeftBorder(width);
        format.setLeftBorderStyle(borderStyle(border.style));
        format.setLeftBorderBrush(brush);
        break;
    case Side::Bottom:
        format.setBottomBorder(width);
        format.setBottomBorderStyle(borderStyle(border.style));
        format.setBottomBorderBrush(brush);
        break;
    case Side::Right:
        format.setRightBorder(width);
        format.setRightBorderStyle(borderStyle(border.style));
        format.setRightBorderBrush(brush);
        break;
    }
}

// The line two cells share: the one the first names, else the other's.
const Border &shared(const Border &own, const Border &other)
{
    return own.style != Border::Style::None ? own : other;
}

// The first rows of one table, their cells' contents and formats, into the same rows of
// another of the same columns.
void copyRows(QTextTable &from, QTextTable &to, int rows)
{
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < from.columns() && c < to.columns(); ++c) {
            const QTextTableCell source = from.cellAt(r, c);
            if (source.row() != r || source.column() != c)
                continue; // a part of a merged cell
            QTextCursor selection = source.firstCursorPosition();
            selection.setPosition(source.lastCursorPosition().position(), QTextCursor::KeepAnchor);
            QTextTableCell target = to.cellAt(r, c);
            target.setFormat(source.format().toTableCellFormat());
            QTextCursor into = target.firstCursorPosition();
            into.insertFragment(QTextDocumentFragment(selection));
            const int rowSpan = std::min(source.rowSpan(), rows - r), columnSpan = source.columnSpan();
            if (rowSpan > 1 || columnSpan > 1)
                to.mergeCells(r, c, rowSpan, columnSpan);
        }
    }
}

// Whether two rows' cells end at the same places, within a twentieth of a point each (writers
// round their edges), and start at the same place.
bool similarEdges(const TableRow &a, const TableRow &b)
{
    if (a.cells.size() != b.cells.size() || std::abs(int64_t(a.left) - b.left) > 20)
        return false;
    for (size_t i = 0; i < a.cells.size(); ++i)
        if (std::abs(int64_t(a.cells[i].right) - b.cells[i].right) > 20)
            return false;
    return true;
}

} // namespace

void QtDocumentBuilder::tableRowStart(const TableRow &row)
{
    m_tableAbove = nullptr;
    // Rows of the same cells continue the table before them, up to a number: the text engine's
    // work on a table grows with the square of its rows (a row added, and every page drawn, goes
    // over all of its cells), so a long table is set as tables of so many rows, one right below
    // the other. A table with header rows, which the layout repeats on each page of its table,
    // is split less often, and rows merged downwards are not split from the row they continue.
    const int columns = std::clamp(static_cast<int>(row.cells.size()), 1, 64);
    const bool sameCells = m_table && m_tableContinues && m_table->columns() == columns
                        && similarEdges(row, m_rowDef) && row.gap == m_rowDef.gap;
    bool mergedDown = false;
    for (const TableCell &cell : row.cells)
        mergedDown = mergedDown || cell.down == TableCell::Merge::Continued;
    const int rowsATable = m_headerRows > 0 ? 2000 : 40;
    const bool continues = sameCells && (m_row + 1 < rowsATable || (mergedDown && m_row + 1 < 4 * rowsATable));
    if (!sameCells)
        endTable();
    // The lines each cell draws on its left, and the last on its right.
    std::vector<Border> lefts, rights(static_cast<size_t>(columns));
    for (int i = 0; i < columns && i < static_cast<int>(row.cells.size()); ++i) {
        const TableCell &cell = row.cells[static_cast<size_t>(i)];
        lefts.push_back(i == 0 ? cell.left : shared(cell.left, row.cells[static_cast<size_t>(i) - 1].rightBorder));
        if (i + 1 == columns)
            rights[static_cast<size_t>(i)] = cell.rightBorder;
    }
    if (continues) {
        m_table->appendRows(1);
        ++m_row;
    } else {
        // A long table with header rows goes on on a new page, under copies of its headers.
        QTextTable *previous = sameCells ? m_table : nullptr;
        const int headers = previous ? m_headerRows : 0;
        QTextTableFormat format;
        if (headers > 0) {
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            format.setHeaderRowCount(headers);
        }
        format.setCellPadding(0);
        format.setCellSpacing(0);
        format.setBorder(0);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
        format.setBorderCollapse(false);
        // The row starts where the document says (left of the margin too, as far as the page
        // goes: the page is drawn with its margins).
        format.setLeftMargin(scaledTwips(std::clamp(row.left, -2880, 31680)));
        QList<QTextLength> widths;
        int32_t left = row.left;
        for (int i = 0; i < columns && i < static_cast<int>(row.cells.size()); ++i) {
            widths << QTextLength(QTextLength::FixedLength,
                                  std::max<qreal>(scaledTwips(200), scaledTwips(row.cells[i].right - left)));
            left = row.cells[i].right;
        }
        if (!widths.isEmpty())
            format.setColumnWidthConstraints(widths);
        m_table = m_cursor.insertTable(headers + 1, columns, format);
        if (headers > 0)
            copyRows(*previous, *m_table, headers);
        m_row = headers;
        m_hasRowAbove = sameCells; // a table split from the one above still meets its lines
        m_downStart.assign(static_cast<size_t>(columns), -1);
        m_headerRows = headers;
    }
    if (!continues && !sameCells)
        m_hasRowAbove = false;
    if (row.header && m_headerRows == m_row && m_headerRows < 12) {
        // The document's first rows that are headers repeat on each page of the table (a
        // dozen at most: more would leave little room for the rest).
        m_headerRows = m_row + 1;
        QTextTableFormat format = m_table->format();
        format.setHeaderRowCount(m_headerRows);
        m_table->setFormat(format);
    }

    // Each cell draws its top and left lines (the line it shares with the cell above or before
    // it, whichever of the two names it) and, at the row's end, its right line; the last row
    // of a table draws its bottom lines when the table ends.
    for (int i = 0; i < columns && i < static_cast<int>(row.cells.size()); ++i) {
        const TableCell &cell = row.cells[static_cast<size_t>(i)];
        QTextTableCellFormat format;
        // The text stands its padding in from the cell's edge, whatever the lines there (which
        // the layout puts inside the cell).
        const int32_t gap = row.gap >= 0 ? row.gap : 60;
        // Within two fifths of the cell's width each, so that its text has room.
        const int64_t cellWidth = std::max<int64_t>(200, int64_t(cell.right) - (i == 0 ? row.left : row.cells[static_cast<size_t>(i) - 1].right));
        const auto room = [cellWidth](int64_t pad) { return static_cast<int32_t>(std::clamp<int64_t>(pad, 0, cellWidth * 2 / 5)); };
        const int32_t padLeft = room(cell.padLeft >= 0 ? cell.padLeft : row.padLeft >= 0 ? row.padLeft : gap);
        const int32_t padRight = room(cell.padRight >= 0 ? cell.padRight : row.padRight >= 0 ? row.padRight : gap);
        format.setLeftPadding(std::max<qreal>(0, scaledTwips(padLeft) - drawnWidth(lefts[static_cast<size_t>(i)])));
        format.setRightPadding(std::max<qreal>(0, scaledTwips(padRight) - drawnWidth(rights[static_cast<size_t>(i)])));
        format.setTopPadding(0);
        format.setBottomPadding(0);
        if (cell.down != TableCell::Merge::Continued) {
            Border top = cell.top;
            if (m_hasRowAbove) {
                // The cell above: the one of the row before that covers this cell's left edge.
                const int32_t x = i == 0 ? row.left : row.cells[static_cast<size_t>(i) - 1].right;
                int32_t aboveLeft = m_rowAbove.left;
                for (const TableCell &above : m_rowAbove.cells) {
                    if (x >= aboveLeft && x < above.right) {
                        top = shared(cell.top, above.bottom);
                        break;
                    }
                    aboveLeft = above.right;
                }
            }
            setBorder(format, Side::Top, top);
        }
        setBorder(format, Side::Left, lefts[static_cast<size_t>(i)]);
        setBorder(format, Side::Right, rights[static_cast<size_t>(i)]);
        if (cell.shading)
            format.setBackground(QColor::fromRgb(*cell.shading));
        m_table->cellAt(m_row, i).setFormat(format);
    }
    m_rowDef = row;
    m_cell = m_cursorCell = 0;
    m_inRow = true;
    m_tableContinues = false;
    m_cursor = m_table->cellAt(m_row, 0).firstCursorPosition();
}

void QtDocumentBuilder::endTable()
{
    // The last row of a table draws the bottom lines of its cells.
    if (!m_table || !m_hasRowAbove)
        return;
    m_hasRowAbove = false;
    const int columns = m_table->columns();
    for (int i = 0; i < columns && i < static_cast<int>(m_rowAbove.cells.size()); ++i) {
        QTextTableCell cell = m_table->cellAt(m_row, i);
        if (!cell.isValid() || cell.row() + cell.rowSpan() - 1 != m_row || cell.column() != i)
            continue;
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        setBorder(format, Side::Bottom, m_rowAbove.cells[static_cast<size_t>(i)].bottom);
        cell.setFormat(format);
    }
}

void QtDocumentBuilder::tableCellEnd(const ParaFormat &format, const CharFormat &)
{
    if (!m_inRow)
        return;
    enterCell();
    applyBlockFormat(format);
    ++m_cell;
}

void QtDocumentBuilder::tableRowEnd()
{
    if (!m_inRow)
        return;
    m_inRow = false;
    // Cells merged across the row, and down from the rows above.
    const int columns = m_table->columns();
    const auto &cells = m_rowDef.cells;
    for (int i = 0; i < columns && i < static_cast<int>(cells.size()); ++i) {
        if (cells[static_cast<size_t>(i)].across == TableCell::Merge::First) {
            int span = 1;
            while (i + span < columns && i + span < static_cast<int>(cells.size())
                   && cells[static_cast<size_t>(i + span)].across == TableCell::Merge::Continued)
                ++span;
            if (span > 1 && m_table->cellAt(m_row, i).rowSpan() == 1)
                m_table->mergeCells(m_row, i, 1, span);
        }
        int &start = m_downStart[static_cast<size_t>(i)];
        const TableCell::Merge down = cells[static_cast<size_t>(i)].down;
        if (down == TableCell::Merge::First) {
            start = m_row;
        } else if (down == TableCell::Merge::Continued && start >= 0) {
            const QTextTableCell first = m_table->cellAt(start, i);
            if (first.column() == i && first.columnSpan() == 1 && m_table->cellAt(m_row, i).columnSpan() == 1)
                m_table->mergeCells(start, i, m_row - start + 1, 1);
        } else {
            start = -1;
        }
    }
    m_rowAbove = m_rowDef;
    m_hasRowAbove = true;
    m_tableAbove = m_table;
    m_cursor = m_table->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_tableContinues = true;
}

namespace {

// A picture that cannot be decoded keeps its place as a visible frame with a cross.
QImage missingPicture()
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(QColor(128, 128, 128), 2));
    painter.drawRect(QRectF(1, 1, 62, 62));
    painter.drawLine(QPointF(1, 1), QPointF(63, 63));
    painter.drawLine(QPointF(1, 63), QPointF(63, 1));
    return image;
}

} // namespace

void QtDocumentBuilder::picture(const std::string &type, const std::string &bytes, int32_t width,
                                int32_t height)
{
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (type == "wmf" || type == "emf") {
        metafile(type, data, width, height);
        return;
    }
    QBuffer buffer(&data);
    QImageReader reader(&buffer, type == "png" ? "png" : type == "jpeg" ? "jpeg" : type == "bmp" ? "bmp" : "");
    // Its size on paper in twips: as the document gives it, else its pixels at 96 dots per inch.
    const QSize pixels = reader.size();
    const double wide = width > 0 ? width : pixels.width() > 0 ? pixels.width() * 15.0 : 1440;
    const double high = height > 0 ? height : pixels.height() > 0 ? pixels.height() * 15.0 : 1440;
    // Decoded at the size it prints at, 300 dots per inch at most and never more pixels than it
    // has, within 16 million pixels: a photograph of any size prints, under Qt's allocation limit.
    // Its printed size is not known for certain until the page is (a picture larger than the
    // page is made smaller): it is taken as 11 inches at most on either side.
    if (pixels.isValid() && !pixels.isEmpty()) {
        const double most = 11 * 1440;
        const double fit = std::min({1.0, most / wide, most / high});
        double w = std::min<double>(pixels.width(), std::ceil(wide * fit / 1440 * 300));
        double h = std::min<double>(pixels.height(), std::ceil(high * fit / 1440 * 300));
        const double cap = 16.0e6;
        if (w * h > cap) {
            const double shrink = std::sqrt(cap / (w * h));
            w *= shrink;
            h *= shrink;
        }
        const QSize decoded(std::max(1, static_cast<int>(w)), std::max(1, static_cast<int>(h)));
        if (decoded != pixels)
            reader.setScaledSize(decoded);
    }
    QImage image = reader.read();
    if (image.isNull())
        image = missingPicture();
    insertImage(image, wide, high);
}

void QtDocumentBuilder::metafile(const std::string &type, const QByteArray &data, int32_t width, int32_t height)
{
    // Drawn at 300 dots per inch (within 16 million pixels) by the picture program, at the size
    // the document gives it, an inch square when it gives none. One that cannot be drawn keeps
    // its place as a frame.
    const double wide = width > 0 ? width : 1440, high = height > 0 ? height : 1440;
    const double most = 11 * 1440;
    const double fit = std::min({1.0, most / wide, most / high});
    double w = std::ceil(wide * fit / 1440 * 300), h = std::ceil(high * fit / 1440 * 300);
    if (w * h > 16.0e6) {
        const double shrink = std::sqrt(16.0e6 / (w * h));
        w *= shrink;
        h *= shrink;
    }
    const QSize pixels(std::max(1, static_cast<int>(w)), std::max(1, static_cast<int>(h)));
    // A picture the document repeats (a logo on each page) is drawn once.
    const QByteArray key = QByteArray::fromStdString(type) + QByteArray::number(pixels.width()) + 'x'
                         + QByteArray::number(pixels.height()) + QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    QImage image = m_metafiles.value(key);
    if (image.isNull()) {
        // A document's metafiles are drawn within a minute in all: past it, they keep their
        // places as frames, and the job goes on.
        QElapsedTimer timer;
        timer.start();
        if (m_metafileTime < 60000)
            image = renderMetafile(type, data, pixels);
        m_metafileTime += timer.elapsed();
        if (image.isNull())
            image = missingPicture();
        m_metafiles.insert(key, image);
    }
    insertImage(image, wide, high);
}

void QtDocumentBuilder::insertImage(const QImage &image, double wide, double high)
{
    const QUrl name(QStringLiteral("corvane-image:%1").arg(++m_images));
    m_document.addResource(QTextDocument::ImageResource, name, image);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(std::clamp(wide, 1.0, double(1 << 20)) / 15.0);
    format.setHeight(std::clamp(high, 1.0, double(1 << 20)) / 15.0);
    m_cursor.insertImage(format);
}

void readDocument(QTextDocument &document, const QByteArray &bytes)
{
    const std::string_view view(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (looksLikeRtf(view)) {
        QtDocumentBuilder builder(document);
        readRtf(view, builder);
    } else {
        document.setPlainText(qs(decodeText(view)));
    }
}

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
    m_document->setDefaultFont(font);
    // Default tab stops every half inch, as documents that name no distance expect.
    QTextOption option = m_document->defaultTextOption();
    option.setTabStopDistance(720 / 15.0); // scaled by the text engine, as tab stops are
    m_document->setDefaultTextOption(option);
    m_paginated = false;
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

void QtRichTextControl::fitPictures(double width, double height)
{
    // A picture larger than the page is scaled down to fit it, keeping its aspect, so that it
    // is not sliced over two pages with its line; some room stays below it for the line's
    // descent. Lengths of pictures are in pixels of 96 dots per inch, 15 twips each.
    const double wide = width / 15, high = std::max(height / 2, height - 480) / 15;
    std::vector<std::pair<QTextFragment, QTextImageFormat>> shrink;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
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
    const double page = width / 15, mostLeft = -leftRoom / 15;
    for (QTextFrame *frame : m_document->rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        QList<QTextLength> widths = format.columnWidthConstraints();
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
                for (QTextLength &w : widths)
                    w = QTextLength(QTextLength::FixedLength, w.rawValue() * scale);
                format.setColumnWidthConstraints(widths);
            }
        }
        if (changed) {
            format.setLeftMargin(left);
            table->setFormat(format);
        }
    }
}

void QtRichTextControl::paginate(double width, double height, double leftRoom)
{
    if (m_paginated && m_pageWidth == width && m_pageHeight == height)
        return;
    m_pageWidth = width;
    m_pageHeight = height;
    fitTables(width, leftRoom);
    fitPictures(width, height);
    // From here on lengths are in layout units.
    width = layoutLength(width);
    height = layoutLength(height);
    m_document->setPageSize(QSizeF(width, height));
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
        int firstPage = INT_MAX, lastPage = -1;
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            if (!(box.top() + line.y() >= 0 && box.top() + line.y() < kLayoutLimit))
                throw tooLong();
            // A line taller than the page cannot be printed whole on any page: refused rather
            // than cut (and every line after it would fall ever lower on its page).
            if (line.height() > height)
                throw RuntimeError(err::PrinterError,
                                   u"Printer error: a line of the document is taller than the page between its margins ("
                                       + decimal(static_cast<int32_t>(std::lround(line.height() * kTwipsPerLayoutUnit / 20)))
                                       + u" points on " + decimal(static_cast<int32_t>(std::lround(height * kTwipsPerLayoutUnit / 20)))
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
    m_pages.clear();
    for (int page = 0; page < static_cast<int>(firstOnPage.size()); ++page) {
        if (firstOnPage[page] >= 0 && (m_pages.empty() || firstOnPage[page] > m_pages.back().position))
            m_pages.push_back({page, firstOnPage[page]});
    }
    if (m_pages.empty())
        m_pages.push_back({0, 0});
    m_paginated = true;
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
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
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
            const QString key = font.family() + QLatin1Char(font.bold() ? 'b' : '-') + QLatin1Char(font.italic() ? 'i' : '-');
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
            const char16_t c = stop.isEmpty() ? 0 : stop.back().unicode();
            if (c >= 0x20 && !seen[c]) {
                seen[c] = true;
                text.push_back(c);
            }
        }
    }
    plan.texts.push_back(text);
    surface.planText(plan);
}

int32_t QtRichTextControl::formatRange(PageCanvas &surface, int32_t first, const TwipsRect &rect,
                                       const TwipsRect &sheet)
{
    DrawingContext *context = surface.drawingContext();
    QPainter *painter = context ? context->painter() : nullptr;
    if (!painter)
        throw RuntimeError(err::PrinterError);
    if (double(rect.right) - rect.left <= 0 || double(rect.bottom) - rect.top <= 0)
        return first;
    paginate(double(rect.right) - rect.left, double(rect.bottom) - rect.top, std::max(0.0, double(rect.left) - sheet.left));
    // The page in layout units.
    const double width = layoutLength(double(rect.right) - rect.left);
    const double height = layoutLength(double(rect.bottom) - rect.top);

    // The page that starts at first, or else the one that holds it.
    size_t index = 0;
    while (index + 1 < m_pages.size() && m_pages[index + 1].position <= first)
        ++index;
    const int page = m_pages[index].page;

    // Paragraphs split across pages are drawn line by line, only the lines of this page; the
    // rest of the page by the document's layout, clipped to what lies between them (half a
    // device pixel in, so that a line only touching the edge stays out).
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    const double pageTop = page * height, pageBottom = pageTop + height;
    double clipTop = pageTop, clipBottom = pageBottom;
    std::vector<QTextBlock> split;
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
            split.push_back(block);
        }
    }
    const double half = 0.6 / kTwipsPerLayoutUnit;
    painter->save();
    painter->translate(rect.left, rect.top);
    painter->scale(kTwipsPerLayoutUnit, kTwipsPerLayoutUnit);
    painter->translate(0, -pageTop);
    painter->setPen(Qt::black);
    if (clipBottom - clipTop > 2 * half) {
        // Across, the whole sheet: a table may start left of the margin, as its document says.
        const double sheetLeft = std::min(0.0, (double(sheet.left) - rect.left) / kTwipsPerLayoutUnit);
        const double sheetRight = std::max(width, (double(sheet.right) - rect.left) / kTwipsPerLayoutUnit);
        const QRectF clip(sheetLeft, clipTop + half, sheetRight - sheetLeft, clipBottom - clipTop - 2 * half);
        painter->save();
        painter->setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(painter, context);
        painter->restore();
    }
    for (const QTextBlock &block : split) {
        const QRectF box = layout->blockBoundingRect(block);
        const QTextLayout *lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double top = box.top() + line.y();
            if (top >= pageTop - 1e-6 * height && top < pageBottom - 1e-6 * height)
                line.draw(painter, box.topLeft());
        }
    }
    drawLeaders(*painter, m_pages[index].position, pageTop, pageBottom);
    painter->restore();
    if (context->drawingFailed())
        throw RuntimeError(err::PrinterError, u"Printer error: a font of this job cannot be written as planned");

    const int length = std::max(0, m_document->characterCount() - 1);
    return index + 1 < m_pages.size() ? m_pages[index + 1].position : length;
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
        for (const QString &stop : format.stringProperty(kTabLeadersProperty).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qsizetype colon = stop.lastIndexOf(QLatin1Char(':'));
            if (colon > 0 && colon + 1 < stop.size())
                // in the text engine's 96-dpi units, which are 15 twips
                stops.emplace_back(stop.left(colon).toDouble() * 15 / kTwipsPerLayoutUnit, stop.at(colon + 1));
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
                if (stop == stops.end() || to - from <= 0)
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
                const int count = static_cast<int>(std::floor((to - from) / advance)) - 1;
                if (count <= 0)
                    continue;
                QTextLayout leader(QString(count, stop->second), font, m_layoutDevice.get());
                leader.beginLayout();
                QTextLine only = leader.createLine();
                leader.endLayout();
                if (!only.isValid())
                    continue;
                // On the line's baseline, ending where the tab ends.
                const QPointF origin(box.left() + to - count * advance, top + line.ascent() - only.ascent());
                painter.setPen(charFormat.foreground().style() != Qt::NoBrush ? charFormat.foreground().color() : QColor(Qt::black));
                leader.draw(&painter, origin);
            }
        }
    }
}

void QtRichTextControl::freeFormatting() { m_paginated = false; }

} // namespace corvane::qt
