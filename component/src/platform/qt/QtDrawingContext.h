// The drawing context of a job on the Qt platform: what the rich-text control draws with.
#pragma once

#include "ports/PageCanvas.h"

class QPainter;

namespace corvane {

struct DrawingContext {
    // The painter of the open job, in twips from the top left of the printable area (null when
    // no job is open).
    virtual QPainter *painter() = 0;
    // Whether the painter drew something the job's plan did not allow for (then the job is not
    // what was laid out and must not be delivered).
    virtual bool drawingFailed() const = 0;

protected:
    ~DrawingContext() = default;
};

} // namespace corvane
