#include "QtDirectFaces.h"

#include "QtStrings.h"

#include <QByteArray>
#include <QRawFont>

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
    QRawFont raw = QRawFont::fromFont(request);
    // A bold or italic face that the font has not got would be made up by the text engine.
    const bool real = raw.isValid() && (!font.bold() || raw.weight() >= QFont::DemiBold)
                   && (!font.italic() || raw.style() != QFont::StyleNormal);
    if (real) {
        QString name = raw.familyName() + QLatin1Char('-') + raw.styleName();
        name.remove(QLatin1Char(' '));
        const QString resolved = name + QLatin1Char('|') + QString::number(raw.weight()) + QLatin1Char('|')
                               + QString::number(int(raw.style()));
        if (const auto same = m_resolved.find(resolved); same != m_resolved.end()) {
            m_faces.emplace(key, same->second);
            return same->second;
        }
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
        }
        m_resolved.emplace(resolved, result);
    }
    m_faces.emplace(key, result);
    return result;
}

bool DirectFaces::cover(const TextPlan &plan)
{
    std::vector<bool> seen(65536, false);
    std::vector<char16_t> characters;
    for (const std::u16string_view text : plan.texts) {
        for (const char16_t c : text) {
            if (seen[c])
                continue;
            seen[c] = true;
            if (!drawsWithoutShaping(c))
                return false;
            if (c >= 0x20)
                characters.push_back(c);
        }
    }
    for (const TextPlan::Face &planned : plan.faces) {
        QFont font(qs(planned.name));
        font.setBold(planned.bold);
        font.setItalic(planned.italic);
        const std::shared_ptr<DirectFace> f = face(font);
        if (!f)
            return false;
        for (const char16_t c : characters)
            if (f->glyph(c) == 0)
                return false; // the text engine would take another font for it
    }
    return true;
}

} // namespace corvane::qt
