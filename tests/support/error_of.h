#pragma once
#include <functional>

#include "platform/runtime_error.h"

namespace ch::test {

// The runtime number of the failure of an operation, or 0 when it succeeds.
inline int errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace ch::test
