#include "QtRichTextBuilder.h"

#include "QtDirectPainter.h"
#include "QtStrings.h"
#include "richtext/RtfReader.h"
#include "core/Files.h"

#include <QFontDatabase>
#include <QImageReader>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace corvane::qt {

namespace {

// Lengths of a document in twips, as the text layout takes them: in pixels of 96 dots per
// inch, which it scales to its device. Kept to what a page can hold.
// A length of the document in layout units, for a paragraph's indents.
qreal twips(int32_t value) { return std::clamp(value, -(1 << 20), 1 << 20) / kTwipsPerLayoutUnit; }

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
    if (f.underline && f.underlineStyle == CharFormat::Underline::Double)
        format.setProperty(kDoubleUnderlineProperty, true);
    if (f.spacing != 0) {
        // Twips after each character, in pixels of the layout's device.
        format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        format.setFontLetterSpacing(f.spacing / kTwipsPerLayoutUnit);
    }
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
    // A right-to-left paragraph's text starts at its right; its alignment names a side of the
    // page, left or right, as in a left-to-right one. (The layout justifies only what is
    // justified and nothing else.)
    if (p.rightToLeft) {
        format.setLayoutDirection(*p.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        if (*p.rightToLeft && (p.align == ParaFormat::Align::Left || p.align == ParaFormat::Align::Right))
            format.setAlignment(format.alignment() | Qt::AlignAbsolute);
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
    const int32_t start = std::max(0, std::clamp(p.leftIndent, -(1 << 20), 1 << 20))
                        + std::clamp(p.firstIndent, -(1 << 20), 1 << 20);
    std::vector<TabStop> stops = p.tabs;
    if (p.firstIndent < 0 && p.leftIndent > 0)
        stops.push_back({p.leftIndent, TabStop::Kind::Left});
    std::stable_sort(stops.begin(), stops.end(),
                     [](const TabStop &a, const TabStop &b) { return a.position < b.position; });
    QList<QTextOption::Tab> tabs;
    QStringList leaders;
    int32_t last = start;
    for (const TabStop &tab : stops) {
        if (start != 0 && tab.position <= start)
            continue; // behind the line's start
        const qreal at = scaledTwips(tab.position - start);
        // Every stop, so that a tab to a stop without a leader fills nothing.
        leaders << QString::number(at) + QLatin1Char(':') + (tab.leader ? QString(QChar(tab.leader)) : QString());
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
    if (std::any_of(stops.begin(), stops.end(), [](const TabStop &tab) { return tab.leader != 0; }))
        format.setProperty(kTabLeadersProperty, leaders.join(QLatin1Char(' ')));
    if (p.pageBreakBefore)
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.shading)
        format.setBackground(QColor::fromRgb(*p.shading));
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
        static const QString asianNames[] = {QStringLiteral(u"ｍｓ 明朝"),   QStringLiteral(u"ｍｓ ゴシック"),
                                             QStringLiteral(u"ｍｓ ｐ明朝"), QStringLiteral(u"ｍｓ ｐゴシック"),
                                             QStringLiteral(u"宋体"),        QStringLiteral(u"黑体"),
                                             QStringLiteral(u"新細明體"),    QStringLiteral(u"細明體"),
                                             QStringLiteral(u"바탕"),        QStringLiteral(u"굴림"),
                                             QStringLiteral(u"돋움"),        QStringLiteral(u"맑은 고딕")};
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
    if (m_part)
        return m_part->defaultTab(value);
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
    if (m_cell >= m_table->columns() && m_table->columns() >= 64) {
        // Further cells go on in rows below, 64 to a row, in order, formatted as the cells above
        // them: each row stays short, so that the layout's time grows with their number.
        const int columns = m_table->columns();
        m_table->appendRows(1);
        ++m_row;
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell above = m_table->cellAt(m_row - 1, c);
            m_table->cellAt(m_row, c).setFormat(above.format().toTableCellFormat());
        }
        m_cell -= columns;
        m_rowWrapped = true;
    }
    if (m_cell >= m_table->columns())
        m_table->appendColumns(m_cell + 1 - m_table->columns());
    m_cursor = m_table->cellAt(m_row, m_cell).firstCursorPosition();
    m_cursorCell = m_cell;
}

const QTextCharFormat &QtDocumentBuilder::converted(const CharFormat &format)
{
    if (!m_lastFormat || !(*m_lastFormat == format)) {
        m_lastFormat = format;
        m_lastConverted = charFormat(format);
        if (format.underline && format.underlineStyle == CharFormat::Underline::Double)
            m_document.setProperty(kDoubleUnderlinesProperty, true);
    }
    return m_lastConverted;
}

void QtDocumentBuilder::text(std::u16string_view text, const CharFormat &format)
{
    if (m_part)
        return m_part->text(text, format);
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    if (!format.caps && !format.smallCaps
        && !(format.underline && format.underlineStyle == CharFormat::Underline::Words)) {
        m_cursor.insertText(qs(text), converted(format));
        return;
    }
    insertText(qs(text), format);
}

void QtDocumentBuilder::insertText(const QString &text, const CharFormat &format)
{
    // Capitals are put into the document as capitals, so that every way of printing shows and
    // extracts them; small capitals are the capitals of lower-case letters at four fifths of
    // the size. Words underlined alone leave the spaces between them plain.
    const bool words = format.underline && format.underlineStyle == CharFormat::Underline::Words;
    QTextCharFormat small = converted(format);
    small.setFontPointSize(std::clamp(format.pointSize * 0.8, 1.0, 1638.0));
    QTextCharFormat plain = converted(format);
    plain.setFontUnderline(false);
    const QTextCharFormat normal = converted(format);
    const auto kind = [&](qsizetype i) {
        if (words && text.at(i).isSpace())
            return 2;
        return format.smallCaps && !format.caps && text.at(i).isLower() ? 1 : 0;
    };
    for (qsizetype start = 0; start < text.size();) {
        const int k = kind(start);
        qsizetype end = start + 1;
        while (end < text.size() && kind(end) == k)
            ++end;
        const QString part = text.mid(start, end - start);
        m_cursor.insertText(format.caps || format.smallCaps ? part.toUpper() : part, k == 1   ? small
                                                                                     : k == 2 ? plain
                                                                                              : normal);
        start = end;
    }
}

void QtDocumentBuilder::lineBreak(const CharFormat &format)
{
    if (m_part)
        return m_part->lineBreak(format);
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    m_cursor.insertText(QString(QChar::LineSeparator), converted(format));
}

void QtDocumentBuilder::shapeStart(const Shape &shape)
{
    if (m_shapeFrame) {
        ++m_shapeNesting; // a shape in a shape: its content stays in the outer one
        return;
    }
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    // The shape's frame floats beside the paragraph it is anchored in, from the paragraph's
    // first line: it goes in before the paragraph, and the empty paragraph left before the
    // frame takes no height (it holds the space above the paragraph, which the layout leaves
    // out after a frame). The paragraph goes on after the frame where it was.
    QTextCursor start(m_cursor.block());
    if (!m_shapeAnchor.isValid())
        m_shapeAnchor = start.block();
    QTextBlockFormat none = start.blockFormat();
    none.setLineHeight(0, QTextBlockFormat::FixedHeight);
    start.setBlockFormat(none);
    m_besideShape = m_cursor.positionInBlock();
    QTextFrameFormat frame;
    frame.setBorder(0);
    frame.setPadding(0);
    frame.setMargin(0);
    frame.setPosition(QTextFrameFormat::FloatLeft);
    if (shape.right > shape.left)
        frame.setWidth(scaledTwips(std::min(shape.right - shape.left, 31680)));
    frame.setProperty(kShapeProperty, QStringLiteral("%1 %2 %3 %4 %5 %6")
                                          .arg(shape.left)
                                          .arg(shape.top)
                                          .arg(shape.right)
                                          .arg(shape.bottom)
                                          .arg(static_cast<int>(shape.from))
                                          .arg(static_cast<int>(shape.align)));
    m_shapeFrame = start.insertFrame(frame);
    m_cursor = start;
}

void QtDocumentBuilder::shapeEnd()
{
    if (m_shapeNesting > 0) {
        --m_shapeNesting;
        return;
    }
    if (!m_shapeFrame)
        return;
    // The empty paragraph after a text box's last paragraph mark is not part of it.
    QTextCursor last = m_shapeFrame->lastCursorPosition();
    if (last.block().length() <= 1 && last.block() != m_shapeFrame->firstCursorPosition().block())
        last.deletePreviousChar();
    m_cursor = m_shapeFrame->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, m_besideShape);
    m_shapeFrame = nullptr;
}

void QtDocumentBuilder::setSection(QTextFormat &format) const
{
    if (m_section.columns > 1 || m_section.landscape.value_or(false))
        format.setProperty(kSectionProperty, QStringLiteral("%1 %2 %3 %4")
                                                 .arg(m_section.columns)
                                                 .arg(m_section.columnGap)
                                                 .arg(m_section.columnRule ? 1 : 0)
                                                 .arg(m_section.landscape.value_or(false) ? 1 : 0));
}

void QtDocumentBuilder::applyBlockFormat(const ParaFormat &format)
{
    QTextBlockFormat block = blockFormat(format, m_defaultTab);
    if (m_pageBreakNext) {
        block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_pageBreakNext = false;
    }
    if (m_pageStartNext || format.pageBreakBefore) {
        block.setProperty(kPageStartProperty, true);
        m_pageStartNext = false;
        m_bandStartNext = false;
    }
    if (m_bandStartNext) {
        block.setProperty(kBandStartProperty, true);
        m_bandStartNext = false;
    }
    if (!m_inRow && !m_part)
        setSection(block);
    if (m_shapeAnchor.isValid() && !m_shapeFrame) {
        // The space above a paragraph with shapes goes above them.
        QTextCursor anchor(m_shapeAnchor);
        QTextBlockFormat before = anchor.blockFormat();
        before.setTopMargin(block.topMargin());
        before.setPageBreakPolicy(block.pageBreakPolicy());
        anchor.setBlockFormat(before);
        block.setTopMargin(0);
        block.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        m_shapeAnchor = QTextBlock();
    }
    m_cursor.setBlockFormat(block);
    // The layout leaves out the space before the paragraph right after a table: the table
    // keeps it below itself instead.
    if (m_tableAbove && !m_inRow && !m_shapeFrame) {
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
    if (m_part)
        return m_part->paragraphEnd(format, mark);
    if (!m_inRow)
        endTable();
    enterCell();
    m_tableContinues = false;
    applyBlockFormat(format);
    m_cursor.insertBlock(QTextBlockFormat(), converted(mark));
}

void QtDocumentBuilder::pageBreak(const ParaFormat &paragraph)
{
    if (m_part)
        return m_part->pageBreak(paragraph);
    if (!m_inRow)
        endTable();
    // The break comes before the next paragraph; an empty one takes it itself. The text before
    // it in its paragraph keeps the paragraph's format (and its section's columns and pages).
    if (m_cursor.block().length() > 1) {
        if (!m_inRow)
            applyBlockFormat(paragraph);
        m_cursor.insertBlock();
    }
    m_pageBreakNext = m_pageStartNext = true;
    QTextBlockFormat block = m_cursor.blockFormat();
    block.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    block.setProperty(kPageStartProperty, true);
    m_cursor.setBlockFormat(block);
}

void QtDocumentBuilder::columnBreak(const ParaFormat &paragraph)
{
    if (m_part)
        return m_part->columnBreak(paragraph);
    pageBreak(paragraph);
    // Only a column: the next paragraph may stand beside the text before it.
    m_pageStartNext = false;
    QTextBlockFormat block = m_cursor.blockFormat();
    block.clearProperty(kPageStartProperty);
    m_cursor.setBlockFormat(block);
}

void QtDocumentBuilder::sectionFormat(const SectionFormat &format)
{
    if (m_part)
        return;
    // Text on pages turned the other way starts a page, even in a section that continues the
    // page before. Text set in another number of columns starts a column; in a section that
    // continues the page, its columns stand below the text above them (where they fit).
    const bool turns = format.landscape.value_or(false) != m_section.landscape.value_or(false);
    if ((format.columns != m_section.columns || turns) && m_cursor.position() > 0) {
        const bool pageStarts = m_pageStartNext || m_cursor.blockFormat().boolProperty(kPageStartProperty);
        if (turns || pageStarts) {
            pageBreak(ParaFormat());
        } else {
            columnBreak(ParaFormat());
            m_bandStartNext = true;
            QTextBlockFormat block = m_cursor.blockFormat();
            block.setProperty(kBandStartProperty, true);
            m_cursor.setBlockFormat(block);
            m_document.setProperty(kBandsDocumentProperty, true);
        }
    }
    m_section = format;
    if (format.columns > 1 || format.landscape.value_or(false))
        m_document.setProperty(kSectionsDocumentProperty, true);
    if (format.landscape.value_or(false))
        m_document.setProperty(kLandscapeDocumentProperty, true);
}

void QtDocumentBuilder::documentEnd(const ParaFormat &format)
{
    if (m_part)
        return m_part->documentEnd(format);
    endTable();
    if (!(m_table && m_cursor.currentTable() == m_table))
        applyBlockFormat(format);
    // The layout leaves out the space above a paragraph at the top of a page, which the
    // document's first one keeps (an address placed for an envelope's window): an empty
    // paragraph of that height stands in for it. Not in a header, footer or note, which
    // stand where their page puts them.
    const QTextBlock first = m_document.begin();
    const qreal above = first.blockFormat().topMargin();
    const bool part = qobject_cast<QTextDocument *>(m_document.parent()) != nullptr;
    if (above > 0 && !part && m_document.frameAt(first.position()) == m_document.rootFrame()) {
        QTextCursor start(first);
        QTextBlockFormat text = first.blockFormat();
        text.setTopMargin(0);
        text.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        start.insertBlock(text, start.charFormat());
        QTextBlockFormat space = text;
        space.setLineHeight(above, QTextBlockFormat::FixedHeight);
        space.setBottomMargin(0);
        space.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        QTextCursor spacer(m_document.begin());
        spacer.setBlockFormat(space);
        // Its line is no taller than its height: set in a point-high font.
        QTextCharFormat small = spacer.blockCharFormat();
        small.setFontPointSize(1);
        spacer.setBlockCharFormat(small);
    }
    if (m_endnotes.empty())
        return;
    // The endnotes follow the text on a page of their own.
    m_cursor.movePosition(QTextCursor::End);
    QTextBlockFormat opening;
    opening.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_cursor.insertBlock(opening);
    m_document.setProperty("endnotes", m_cursor.position());
    for (size_t i = 0; i < m_endnotes.size(); ++i) {
        if (i > 0)
            m_cursor.insertBlock();
        m_cursor.insertFragment(QTextDocumentFragment(m_endnotes[i]));
        delete m_endnotes[i];
    }
    m_endnotes.clear();
}

QTextDocument *QtDocumentBuilder::partDocument(const char *name)
{
    // Set as the document is, so that its text measures the same.
    auto *part = new QTextDocument(&m_document);
    part->setObjectName(QLatin1String(name));
    part->setDocumentMargin(0);
    part->setUndoRedoEnabled(false);
    part->setUseDesignMetrics(true);
    part->setDefaultFont(m_document.defaultFont());
    part->setDefaultTextOption(m_document.defaultTextOption());
    return part;
}

void QtDocumentBuilder::noteStart(bool endnote)
{
    if (m_part)
        return m_part->noteStart(endnote);
    m_partDocument = partDocument(endnote ? "endnote" : kFootnoteName);
    m_partDocument->setProperty("anchor", m_cursor.position());
    m_partIsEndnote = endnote;
    m_part = std::make_unique<QtDocumentBuilder>(*m_partDocument);
    m_part->m_defaultTab = m_defaultTab;
}

void QtDocumentBuilder::pagePartStart(PagePart part)
{
    if (m_part)
        return m_part->pagePartStart(part);
    m_partDocument = partDocument(kPagePartName);
    m_partDocument->setProperty("part", static_cast<int>(part));
    m_partIsEndnote = false;
    m_part = std::make_unique<QtDocumentBuilder>(*m_partDocument);
    m_part->m_defaultTab = m_defaultTab;
}

void QtDocumentBuilder::endPart(const ParaFormat &format)
{
    if (!m_part)
        return;
    if (m_part->m_part)
        return m_part->endPart(format);
    m_part->documentEnd(format);
    m_part.reset();
    // A part whose last paragraph ended with it has an empty one after it: not printed.
    QTextDocument *part = m_partDocument;
    if (part->blockCount() > 1 && part->lastBlock().length() == 1 && !part->lastBlock().previous().text().isEmpty()
        && !QTextCursor(part->lastBlock()).currentTable()) {
        QTextCursor cursor(part);
        cursor.movePosition(QTextCursor::End);
        cursor.deletePreviousChar();
    }
    if (m_partIsEndnote)
        m_endnotes.push_back(part);
    m_partDocument = nullptr;
}

void QtDocumentBuilder::noteEnd(const ParaFormat &format) { endPart(format); }

void QtDocumentBuilder::pagePartEnd(const ParaFormat &format) { endPart(format); }

void QtDocumentBuilder::pageNumber(bool total, const CharFormat &format)
{
    if (m_part)
        return m_part->pageNumber(total, format);
    // In a header or footer: a digit that each page's number takes the place of.
    if (m_document.objectName() != QLatin1String(kPagePartName))
        return;
    QTextCharFormat number = converted(format);
    number.setProperty(kPageNumberProperty, total ? 2 : 1);
    enterCell();
    m_cursor.insertText(QStringLiteral("0"), number);
}

void QtDocumentBuilder::pageFrame(const PageFrame &frame)
{
    m_document.setProperty("headerY", frame.headerY);
    m_document.setProperty("footerY", frame.footerY);
    m_document.setProperty("titlePage", frame.titlePage);
    m_document.setProperty("facing", frame.facing);
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

} // namespace corvane::qt
