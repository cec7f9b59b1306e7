// The faces a job of simple text is written with straight as PDF: each font (family, bold,
// italic) resolved once to its TrueType tables, or to none when it has no real face of its own.
#pragma once

#include "QtDirectPainter.h"

#include "ports/PageCanvas.h"

#include <QFont>
#include <QString>

#include <memory>
#include <unordered_map>

namespace corvane::qt {

class DirectFaces {
public:
    // The face a font is written in, null when the font has none (no TrueType tables, or a bold
    // or italic face the text engine would make up).
    std::shared_ptr<DirectFace> face(const QFont &font);

    // Whether a job of this plan can be written straight as PDF: every character drawn without
    // shaping, and every face real and holding every character (else the text engine would take
    // another font for it).
    bool cover(const TextPlan &plan);

private:
    std::unordered_map<QString, std::shared_ptr<DirectFace>> m_faces; // by family, bold and italic
    // By the face the font system gives: names a document makes up all come to one font, which
    // is loaded and embedded once.
    std::unordered_map<QString, std::shared_ptr<DirectFace>> m_resolved;
};

} // namespace corvane::qt
