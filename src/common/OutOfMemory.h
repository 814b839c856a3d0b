#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace brenzo {

// Runs `work` (which returns a Status or a Result) and turns an allocation that fails into an
// error a person can act on, "not enough memory to replace engine_idle", instead of the end of
// the program. Whatever `work` held is released by its destructors on the way out: an atomic
// save's temporary file is removed and the original stays as it was.
template <class Work>
auto CatchOutOfMemory(std::string_view doing, Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
        // A container asked for more than it can ever hold: the same shortage.
    }
    return Error{"not enough memory to " + std::string(doing)};
}

}  // namespace brenzo
