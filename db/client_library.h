#pragma once

#include <ibase.h>

#include "db/client_entry_points.h"

namespace db {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct ClientApi {
#define COOP_CLIENT_MEMBER(name) decltype(&::name) name = nullptr;
    COOP_CLIENT_MANDATORY(COOP_CLIENT_MEMBER)
    COOP_CLIENT_VERSION6(COOP_CLIENT_MEMBER)
#undef COOP_CLIENT_MEMBER
    // Optional: nullptr when the library lacks it; then no call is ever
    // cancelled (see call_watch.h), and nothing else changes.
    decltype(&::fb_cancel_operation) fb_cancel_operation = nullptr;
};
#pragma GCC diagnostic pop

// File name loaded through the dynamic loader's search path.
inline constexpr const char* kClientLibraryName = "libfbclient.so.2";

// Loads and binds the client library unless already loaded; raises client
// error 1 when it cannot be loaded and EOSError when a mandatory entry point
// is missing (the library is then released, so the next call retries).
void EnsureClientLoaded();

// 6 when the library exports isc_rollback_retaining, else 5.
int ClientVersion();

// The bound entry points; loads the library first when needed.
const ClientApi& Api();

// Releases the library at process end, once no other thread makes client
// calls; the next call loads it again.
void UnloadClient();

}  // namespace db
