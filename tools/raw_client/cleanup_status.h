#pragma once

#include <ibase.h>

namespace demo {

// Cleanup calls must not overwrite the status of the failure being raised:
// they report into this vector, which nobody reads.
inline ISC_STATUS* ScratchStatus() {
    thread_local ISC_STATUS_ARRAY status;
    return status;
}

}  // namespace demo
