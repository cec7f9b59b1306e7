// The tables of the document builder: rows of cells as the document defines them, their
// lines and padding, cells merged across and down, and long tables set as several.
#include "QtRichTextBuilder.h"

#include <QTextDocumentFragment>
#include <QTextTable>

#include <algorithm>
#include <cstdlib>

namespace corvane::qt {

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
    return scaledTwips(std::clamp(border.width > 0 ? border.width : 10, 1, 1440)
                       * (border.style == Border::Style::Double ? 3 : 1));
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
const Border &shared(const Border &own, const Border &other) { return own.style != Border::Style::None ? own : other; }

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

// A cell's width in twips as its table gives it: its edges as the document places them, at
// least 200 twips and at most what the layout's lengths hold (edges may lie anywhere an
// integer reaches).
int32_t cellWidth(const TableRow &row, int i)
{
    const int64_t left = i == 0 ? row.left : row.cells[static_cast<size_t>(i) - 1].right;
    return static_cast<int32_t>(
        std::clamp<int64_t>(int64_t(row.cells[static_cast<size_t>(i)].right) - left, 200, 1 << 20));
}

} // namespace

void QtDocumentBuilder::tableRowStart(const TableRow &row)
{
    if (m_part)
        return m_part->tableRowStart(row);
    m_tableAbove = nullptr;
    // Rows of the same cells continue the table before them, up to a number: the text engine's
    // work on a table grows with the square of its rows (a row added, and every page drawn, goes
    // over all of its cells), so a long table is set as tables of so many rows, one right below
    // the other. A table with header rows, which the layout repeats on each page of its table,
    // is split less often, and rows merged downwards are not split from the row they continue.
    const int columns = std::clamp(static_cast<int>(row.cells.size()), 1, 64);
    const bool sameCells = m_table && m_tableContinues && m_table->columns() == columns && similarEdges(row, m_rowDef)
                        && row.gap == m_rowDef.gap;
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
        // A table right after a break follows the empty paragraph that takes the break onto the
        // next page (or column), with the section's columns: taken by its first cell's
        // paragraph, the break would move that cell alone.
        if (m_pageBreakNext)
            applyBlockFormat(ParaFormat());
        format.setCellPadding(0);
        format.setCellSpacing(0);
        format.setBorder(0);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
        format.setBorderCollapse(false);
        // The row starts where the document says (left of the margin too, as far as the page
        // goes: the page is drawn with its margins).
        format.setLeftMargin(scaledTwips(std::clamp(row.left, -2880, 31680)));
        QList<QTextLength> widths;
        for (int i = 0; i < columns && i < static_cast<int>(row.cells.size()); ++i)
            widths << QTextLength(QTextLength::FixedLength, scaledTwips(cellWidth(row, i)));
        if (!widths.isEmpty())
            format.setColumnWidthConstraints(widths);
        // (A table in columns is fitted to its column.)
        setSection(format);
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
        // Within two fifths of the cell's width (as the table gives it) each, and leaving its
        // text half an inch where the cell is wider than that (a usual gap, up to 120 twips,
        // stays): a gap far wider than its cell leaves room for a word.
        const int64_t width = cellWidth(row, i);
        const int64_t most = std::min<int64_t>(width * 2 / 5, std::max<int64_t>((width - 720) / 2, 120));
        const auto room = [most](int64_t pad) { return static_cast<int32_t>(std::clamp<int64_t>(pad, 0, most)); };
        const int32_t padLeft = room(cell.padLeft >= 0 ? cell.padLeft : row.padLeft >= 0 ? row.padLeft : gap);
        const int32_t padRight = room(cell.padRight >= 0 ? cell.padRight : row.padRight >= 0 ? row.padRight : gap);
        format.setLeftPadding(std::max<qreal>(0, scaledTwips(padLeft) - drawnWidth(lefts[static_cast<size_t>(i)])));
        format.setRightPadding(std::max<qreal>(0, scaledTwips(padRight) - drawnWidth(rights[static_cast<size_t>(i)])));
        // Above and below the text, what the cell or the row gives, up to an inch.
        const auto vertical = [](int32_t cellPad, int32_t rowPad) {
            return scaledTwips(std::clamp(cellPad >= 0 ? cellPad : std::max(rowPad, 0), 0, 1440));
        };
        format.setTopPadding(vertical(cell.padTop, row.padTop));
        format.setBottomPadding(vertical(cell.padBottom, row.padBottom));
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
    m_rowWrapped = false;
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
    if (m_part)
        return m_part->tableCellEnd(format, {});
    if (!m_inRow)
        return;
    enterCell();
    applyBlockFormat(format);
    ++m_cell;
}

void QtDocumentBuilder::tableRowEnd()
{
    if (m_part)
        return m_part->tableRowEnd();
    if (!m_inRow)
        return;
    m_inRow = false;
    // Cells merged across the row, and down from the rows above (not in a row that went on
    // below: its cells are no longer where the document puts them).
    const int columns = m_table->columns();
    const auto &cells = m_rowDef.cells;
    if (m_rowWrapped)
        m_downStart.assign(m_downStart.size(), -1);
    for (int i = 0; i < columns && i < static_cast<int>(cells.size()) && !m_rowWrapped; ++i) {
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

} // namespace corvane::qt
