// The run-time error number a call raises, or 0 when it raises none.
#pragma once

#include <corvane/Errors.h>

#include <functional>

namespace corvane::testing {

inline int errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

} // namespace corvane::testing
