#include "TextDocument.h"

#include <corvane/Errors.h>

#include <cmath>

namespace corvane {

namespace {

bool isWordCharacter(char16_t c) { return c > 0x20; }

// A sum of two 16-bit values in 16-bit arithmetic.
int16_t add16(int16_t a, int16_t b)
{
    const int sum = a + b;
    if (sum < -32768 || sum > 32767)
        throw RuntimeError(err::Overflow);
    return static_cast<int16_t>(sum);
}

float clampAtZero(float y) { return y < 0 ? 0.0f : y; }

} // namespace

TextDocument::TextDocument(Properties &properties, EventFanOut &events, Platform &platform, PageCanvas &surface)
    : m_properties(properties)
    , m_events(events)
    , m_platform(platform)
    , m_surface(surface)
{
}

void TextDocument::applyFont(const UString &settings)
{
    m_properties.CurrentFont = ParseFontSettings(settings);
    const FontSpec &font = m_properties.CurrentFont;
    m_surface.setFontName(font.Name);
    m_surface.setFontSize(static_cast<float>(font.Size));
    m_surface.setFontBold(font.Bold);
    m_surface.setFontItalic(font.Italic);
    m_surface.setFontUnderline(font.Underline);
}

void TextDocument::setFixedFont()
{
    m_surface.setFontName(u"Arial");
    m_surface.setFontSize(10);
    m_surface.setFontBold(false);
    m_surface.setFontItalic(false);
}

UString TextDocument::dateTimeStamp() const { return m_platform.shortDate() + u"   " + m_platform.shortTime(); }

void TextDocument::PrintBodyText()
{
    const std::shared_ptr<const UString> held = m_properties.DocText; // read once, as it is now
    const UString &text = *held;

    // Everything this job will draw, and in which faces, for a surface that can use it.
    {
        const UString stamp = m_properties.IncludeDateTime ? dateTimeStamp() : UString();
        TextPlan plan;
        plan.texts = {text,  m_properties.DocTitle, m_properties.DocHeader, m_properties.DocFooter,
                      stamp, u"0123456789"};
        for (const UString *settings : {&m_properties.DocTitleFont, &m_properties.DocHeaderFont,
                                        &m_properties.DocFooterFont, &m_properties.DocTextFont}) {
            const FontSpec font = ParseFontSettings(*settings);
            plan.faces.push_back({font.Name, font.Bold, font.Italic});
        }
        plan.faces.push_back({u"Arial", false, false});
        m_surface.planText(plan);
    }

    m_lineSpacing = m_properties.LineSpacing;
    m_savedDrawWidth = m_surface.DrawWidth();
    m_surface.setDrawWidth(m_properties.BorderLineWidth);
    m_changedDrawWidth = true;
    DrawPageFrame(false);
    placeFirstLine();

    const size_t length = text.size();
    size_t index = 0;
    std::u16string_view view(text);
    for (;;) {
        if (index >= length) {
            m_surface.setDrawWidth(m_savedDrawWidth);
            m_changedDrawWidth = false;
            m_surface.EndDoc();
            return;
        }
        // One word, measured once and written at once.
        const size_t start = index;
        while (index < length && isWordCharacter(view[index]))
            ++index;
        const std::u16string_view word = view.substr(start, index - start);
        const float limit = m_surface.ScaleWidth() - static_cast<float>(m_properties.MarginRight);
        if (limit < m_surface.CurrentX() + m_surface.TextWidth(word))
            lineBreak();
        m_surface.Print(word, false);

        while (index < length && !isWordCharacter(view[index])) {
            switch (view[index]) {
            case u' ': m_surface.Print(u" ", false); break;
            case u'\n': lineBreak(); break;
            case u'\t': tab(); break;
            default: break; // CR, form feed and the other control characters
            }
            ++index;
        }
    }
}

void TextDocument::lineBreak()
{
    const float above = m_surface.CurrentY();
    m_surface.Print(u"", true);
    const float lineHeight = m_surface.CurrentY() - above;
    if (m_lineSpacing == spLineSpacingOneHalf)
        m_surface.setCurrentY(m_surface.CurrentY() + 120);
    else if (m_lineSpacing == spLineSpacingDouble)
        m_surface.setCurrentY(m_surface.CurrentY() + 240);
    // The top of the new line is tested against the bottom margin (equality stays on the page),
    // so the last line may reach into the margin. A line that would reach past the printable
    // area, where the printer cannot put it, goes to the next page instead.
    const float top = m_surface.CurrentY();
    if (m_surface.ScaleHeight() - static_cast<float>(m_properties.MarginBottom) < top
        || top + lineHeight > m_surface.ScaleHeight()) {
        DrawPageFrame(true);
        placeFirstLine();
    } else {
        m_surface.setCurrentX(m_properties.MarginLeft);
    }
}

void TextDocument::placeFirstLine()
{
    // The first body line of a page must show whole. Below the title of the first page it may
    // not: it goes to the next page. A line taller than the space under the top margin starts
    // as high as it must to end at the bottom of the printable area; one taller than the whole
    // area starts above it, so that its baseline, and the words on it, stay on the sheet.
    const float height = m_surface.TextHeight(u"");
    const float bottom = m_surface.ScaleHeight();
    if (m_surface.CurrentY() + height <= bottom)
        return;
    if (m_surface.CurrentY() > static_cast<float>(m_properties.MarginTop)) {
        DrawPageFrame(true);
        if (m_surface.CurrentY() + height <= bottom)
            return;
    }
    m_surface.setCurrentY(bottom - height);
}

void TextDocument::tab()
{
    const float marginLeft = m_properties.MarginLeft;
    const float w = m_surface.TextWidth(u"0");
    if (w == 0)
        throw RuntimeError(err::DivisionByZero);
    const float column = (m_surface.CurrentX() - marginLeft) / w;
    const double rounded = roundHalfEven(column);
    if (!(rounded >= -32768 && rounded <= 32767))
        throw RuntimeError(err::Overflow);
    const auto c = static_cast<int16_t>(rounded);
    const auto next = add16(c, static_cast<int16_t>(10 - (c % 10)));
    const float width = m_surface.TextWidth(u"0");
    m_surface.setCurrentX(width * static_cast<float>(next) + static_cast<float>(m_properties.MarginLeft));
}

void TextDocument::DrawPageFrame(bool startNewPage)
{
    PageCanvas &s = m_surface;
    const Properties &o = m_properties;
    const auto ML = [&] { return static_cast<float>(o.MarginLeft); };
    const auto MR = [&] { return static_cast<float>(o.MarginRight); };
    const auto MT = [&] { return static_cast<float>(o.MarginTop); };
    const auto MB = [&] { return static_cast<float>(o.MarginBottom); };

    // 1-2. The page, and its progress before anything is drawn on it.
    if (startNewPage)
        s.NewPage();
    Variant page = Variant::integer(s.Page());
    m_events.PrintProgress(page);

    // 3. Border: top and bottom one inch inside the printable area, sides halfway into the
    // side margins.
    if (o.PrintBorder) {
        s.setCurrentX(ML() / 2);
        s.setCurrentY(1440);
        s.LineBox(s.CurrentX(), s.CurrentY(), s.ScaleWidth() - MR() / 2, s.ScaleHeight() - 1440);
    }

    // 4. Header, centred in the top margin and on the whole printable width.
    const UString header = o.DocHeader;
    if (!header.empty()) {
        applyFont(o.DocHeaderFont);
        s.setCurrentY(clampAtZero((MT() - s.TextHeight(header)) / 2));
        s.setCurrentX((s.ScaleWidth() - s.TextWidth(header)) / 2);
        s.Print(header, false);
    }

    // 5. Line below the header, in the font current now.
    if (o.LineBelowHeader) {
        const float h = s.TextHeight(header);
        s.setCurrentY(clampAtZero(h + (MT() - h) / 2 + 50));
        s.setCurrentX(add16(o.MarginLeft, 50));
        s.LineTo(s.ScaleWidth() - add16(o.MarginRight, 50), s.CurrentY());
    }

    // 6. Footer, its top half the bottom margin above the bottom of the printable area.
    const UString footer = o.DocFooter;
    if (!footer.empty()) {
        applyFont(o.DocFooterFont);
        s.setCurrentX(ML());
        s.setCurrentY(s.ScaleHeight() - MB() / 2);
        s.Print(footer, false);
    }

    // 7. Page number ending at the right margin, on the footer's line.
    if (o.PrintPageNumber) {
        setFixedFont();
        const UString number = decimal(s.Page());
        s.setCurrentX(s.ScaleWidth() - (s.TextWidth(number) + MR()));
        s.setCurrentY(s.ScaleHeight() - MB() / 2);
        s.Print(number, false);
    }

    // 8. Date and time below the footer's line.
    if (o.IncludeDateTime) {
        setFixedFont();
        const UString stamp = dateTimeStamp();
        s.setCurrentX(ML());
        s.setCurrentY(s.ScaleHeight() - MB() / 3);
        s.Print(stamp, false);
    }

    // 9. Line above the footer, measured in the font current now.
    if (o.LineAboveFooter) {
        const float h = s.TextHeight(footer);
        s.setCurrentY(clampAtZero(s.ScaleHeight() - (MB() - h) / 2 - h - 50));
        s.setCurrentX(add16(o.MarginLeft, 50));
        s.LineTo(s.ScaleWidth() - add16(o.MarginRight, 50), s.CurrentY());
    }

    // 10. The title on the first page, then the start of the body.
    const UString title = o.DocTitle;
    if (s.Page() > 1 || title.empty()) {
        s.setCurrentX(ML());
        s.setCurrentY(MT());
    } else {
        applyFont(o.DocTitleFont);
        s.setCurrentY(MT());
        const float available = s.ScaleWidth() - add16(o.MarginLeft, o.MarginRight);
        if (!(s.TextWidth(title) > available)) {
            s.setCurrentX((s.ScaleWidth() - s.TextWidth(title)) / 2);
            s.Print(title, false);
            s.setCurrentX(ML());
            s.setCurrentY(s.TextHeight(title) + MT() + 500);
        } else {
            // Wrapped: a line is cut after the word that takes it past W - 3000; every line
            // keeps its trailing blank and is centred with it.
            UString line;
            size_t start = 0;
            for (;;) {
                const size_t blank = title.find(u' ', start);
                const bool last = blank == UString::npos;
                line.append(title, start, last ? UString::npos : blank - start);
                line.push_back(u' ');
                if (s.TextWidth(line) > available - 3000 && !last) {
                    s.setCurrentX((s.ScaleWidth() - s.TextWidth(line)) / 2);
                    s.Print(line, false);
                    s.setCurrentX(ML());
                    s.setCurrentY(s.TextHeight(line) + s.CurrentY() + 100);
                    line.clear();
                } else if (last) {
                    s.setCurrentX((s.ScaleWidth() - s.TextWidth(line)) / 2);
                    s.Print(line, false);
                    s.setCurrentX(ML());
                    s.setCurrentY(s.TextHeight(line) + s.CurrentY() + 500);
                    break;
                }
                start = blank + 1;
            }
        }
    }

    // 11. The body font.
    applyFont(o.DocTextFont);
}

} // namespace corvane
