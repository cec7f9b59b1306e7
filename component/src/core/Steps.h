// A step that a job passes over when it fails: a paper setting the printer refuses, one name
// of a printer list that cannot be read. The job goes on; only run-time errors are passed over.
#pragma once

#include <corvane/Errors.h>

namespace corvane {

// Runs the step; false when it raised a run-time error.
template <typename Step> bool skipOnError(Step &&step)
{
    try {
        step();
        return true;
    } catch (const RuntimeError &) {
        return false;
    }
}

} // namespace corvane
