// The faces a job of simple text is written with straight as PDF: each font (family, bold,
// italic) resolved once to its TrueType tables (the face the family has: a bold or italic it lacks
// is made up when written), or to none when the font is not TrueType.
#pragma once

#include "QtDirectPainter.h"

#include "ports/PageCanvas.h"

#include <QFont>
#include <QString>

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvane::qt {

class DirectFaces final : public FaceSource {
public:
    // The face a font is written in, null when the font has none (no TrueType tables).
    std::shared_ptr<DirectFace> face(const QFont &font);
    DirectFace *find(const QFont &font) override { return face(font).get(); }
    DirectFace *find(const QRawFont &font) override;

    // Whether a job of this plan can be written straight as PDF: every face it names TrueType,
    // and every character shown by that face or by a fallback the text engine takes that is
    // TrueType too.
    bool cover(const TextPlan &plan);

private:
    std::shared_ptr<DirectFace> load(const QRawFont &raw);

    std::vector<std::pair<QRawFont, DirectFace *>> m_recent; // the last faces found by their fonts

    std::unordered_map<QString, std::shared_ptr<DirectFace>> m_faces; // by family, bold and italic
    // By the face the font system gives: names a document makes up all come to one font, which
    // is loaded and embedded once.
    std::unordered_map<QString, std::shared_ptr<DirectFace>> m_resolved;
};

} // namespace corvane::qt
