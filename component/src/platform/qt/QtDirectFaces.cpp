#include "QtDirectFaces.h"

#include "QtStrings.h"

#include <QByteArray>
#include <QRawFont>
#include <QTextLayout>

#include <map>

#include <string>
#include <vector>

namespace corvane::qt {

std::shared_ptr<DirectFace> DirectFaces::face(const QFont &font)
{
    const QString key = font.family() + (font.bold() ? QStringLiteral("|b") : QStringLiteral("|"))
                      + (font.italic() ? QStringLiteral("i") : QString());
    const auto known = m_faces.find(key);
    if (known != m_faces.end())
        return known->second;
    std::shared_ptr<DirectFace> result;
    QFont request(font.family());
    request.setBold(font.bold());
    request.setItalic(font.italic());
    request.setPixelSize(200);
    // A bold or italic the family has no face for is made up from the face it has.
    const QRawFont raw = QRawFont::fromFont(request);
    if (isFont(raw))
        result = load(raw);
    m_faces.emplace(key, result);
    return result;
}

DirectFace *DirectFaces::find(const QRawFont &font)
{
    // Runs of one layout share their font engine: the faces last asked for are kept by it.
    for (const auto &[raw, face] : m_recent)
        if (raw == font)
            return face;
    DirectFace *face = isFont(font) ? load(font).get() : nullptr;
    if (m_recent.size() >= 8)
        m_recent.erase(m_recent.begin());
    m_recent.emplace_back(font, face);
    return face;
}

bool isFont(const QRawFont &font)
{
    // The engine that draws boxes for characters no font has is valid, but has no tables.
    return font.isValid() && !font.fontTable("head").isEmpty();
}

bool isOtherFace(const QRawFont &font)
{
    // A font file without TrueType tables (a Type 1 face) still has its style's name, which the
    // engine that draws boxes lacks (as it lacks a family's: asking it for that one fails).
    return font.isValid() && font.fontTable("head").isEmpty() && !font.styleName().isEmpty();
}

std::shared_ptr<DirectFace> DirectFaces::load(const QRawFont &raw)
{
    QString name = raw.familyName() + QLatin1Char('-') + raw.styleName();
    name.remove(QLatin1Char(' '));
    const QString resolved = name + QLatin1Char('|') + QString::number(raw.weight()) + QLatin1Char('|')
                           + QString::number(int(raw.style()));
    if (const auto same = m_resolved.find(resolved); same != m_resolved.end())
        return same->second;
    std::shared_ptr<DirectFace> result;
    auto tables = pdf::TrueTypeFont::load(
        [&raw](const char *tag) {
            const QByteArray data = raw.fontTable(tag);
            return std::string(data.constData(), static_cast<size_t>(data.size()));
        },
        name.toStdString());
    if (tables) {
        result = std::make_shared<DirectFace>();
        result->font = std::move(tables);
        result->raw = raw;
        // The design's own weight and slant: the style bits of 'head', the weight class and
        // selection of 'OS/2'.
        const QByteArray head = raw.fontTable("head"), os2 = raw.fontTable("OS/2");
        const auto u16 = [](const QByteArray &t, int at) {
            return t.size() >= at + 2 ? (uint8_t(t[at]) << 8) | uint8_t(t[at + 1]) : 0;
        };
        const int macStyle = u16(head, 44), weightClass = u16(os2, 4), selection = u16(os2, 62);
        result->bold = (macStyle & 1) || weightClass >= 600 || (selection & 0x20);
        result->italic = (macStyle & 2) || (selection & 0x201);
    }
    m_resolved.emplace(resolved, result);
    return result;
}

bool DirectFaces::cover(const TextPlan &plan)
{
    // Every character the plan shows, once, in the order first seen.
    std::vector<bool> seen(0x110000, false);
    QString characters;
    for (const std::u16string_view text : plan.texts) {
        const QStringView view(text.data(), static_cast<qsizetype>(text.size()));
        for (qsizetype i = 0; i < view.size();) {
            const bool pair = i + 1 < view.size() && view[i].isHighSurrogate() && view[i + 1].isLowSurrogate();
            const char32_t c = pair ? QChar::surrogateToUcs4(view[i], view[i + 1]) : view[i].unicode();
            const qsizetype length = pair ? 2 : 1;
            if (c >= 0x20 && c != 0x2028 && c != 0x2029 && !seen[c]) {
                seen[c] = true;
                characters += view.mid(i, length);
            }
            i += length;
        }
    }
    for (const TextPlan::Face &planned : plan.faces) {
        QFont font(qs(planned.name));
        font.setBold(planned.bold);
        font.setItalic(planned.italic);
        const std::shared_ptr<DirectFace> f = face(font);
        if (!f)
            return false;
        // What the face lacks the text engine takes from another font: that one is written too.
        // The font it takes for a character depends on the script of the text around it: the
        // missing characters are laid out script by script (symbols and marks of no script
        // together, as they stand among Latin text).
        std::map<int, QString> missing;
        for (qsizetype i = 0; i < characters.size();) {
            const bool pair = characters[i].isHighSurrogate() && i + 1 < characters.size();
            const char32_t c = pair ? QChar::surrogateToUcs4(characters[i], characters[i + 1]) : characters[i].unicode();
            if (pair || f->glyph(characters[i].unicode()) == 0)
                missing[QChar::script(c) <= QChar::Script_Common ? 0 : QChar::script(c)] += characters.mid(i, pair ? 2
                                                                                                                   : 1);
            i += pair ? 2 : 1;
        }
        font.setPixelSize(200);
        for (const auto &[script, text] : missing) {
            QTextLayout layout(text, font);
            layout.beginLayout();
            layout.createLine();
            layout.endLayout();
            for (const QGlyphRun &run : layout.glyphRuns())
                if ((isFont(run.rawFont()) && !find(run.rawFont())) || isOtherFace(run.rawFont()))
                    return false;
        }
    }
    return true;
}

} // namespace corvane::qt
