// The class's events. Arguments are writable, as by-reference variants are for automation
// subscribers; the core never reads back what a handler wrote, except where a method says so.
#pragma once

#include "Export.h"

#include "Variant.h"

namespace corvane {

class CORVANE_EXPORT EventSink {
public:
    virtual ~EventSink() = default;
    virtual void PrintComplete() {}                                      // id 1
    virtual void PrintError(Variant &ErrNumber, Variant &ErrDescription) // id 2
    {
        (void)ErrNumber;
        (void)ErrDescription;
    }
    virtual void PrintProgress(Variant &PageNumber) { (void)PageNumber; } // id 3
};

} // namespace corvane
