#pragma once

#include <ibase.h>

namespace client_faults {

// Drives the failing stand-in client library (client_shim/failing_client.c)
// the test process runs against. Each call fails the test when the process
// runs against the real library, where nothing could be injected.

// Makes the next `times` calls of `entry_point` (after `skip` that go
// through) fail with `code`; times < 0 fails every call until Clear().
// With isc_random the message reads "injected failure of <entry_point>".
void Fail(const char* entry_point, int skip = 0, int times = 1, ISC_STATUS code = isc_random);
// Disarms everything and resets the call counts.
void Clear();
// Calls of `entry_point` since the last Clear().
int Calls(const char* entry_point);

// While held, each fb_cancel_operation waits (at most 20 s) before going
// through, as on a stalled link; CancelsWaiting() counts those waiting now.
void HoldCancels(bool hold);
int CancelsWaiting();

// Every test starts and ends with nothing armed.
struct Scope {
    Scope() { Clear(); }
    ~Scope() {
        HoldCancels(false);
        Clear();
    }
};

}  // namespace client_faults
