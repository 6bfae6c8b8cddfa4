#include "db/client_library.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>

#include "db/call_watch.h"
#include "db/errors.h"
#include "runtime/exception.h"

namespace db {
namespace {

// Any thread may make the first client call: the loading is done once,
// under the lock, and published by g_loaded (release) to the threads that
// then read the table without it.
std::mutex g_load_lock;
std::atomic<bool> g_loaded{false};
void* g_module = nullptr;
int g_version = 0;
ClientApi g_api;

// Under g_load_lock. Clear every pointer first: a half-bound table must
// never be called.
void ReleaseLoaded() {
    g_loaded.store(false, std::memory_order_release);
    g_api = ClientApi{};
    g_version = 0;
    if (g_module != nullptr) {
        dlclose(g_module);
        g_module = nullptr;
    }
}

// Stand-ins for the version-6 entry points of a version-5 library: calling
// one reports which function the program needed.
template <const char* Name, typename F>
struct Substitute;

template <const char* Name, typename R, typename... Args>
struct Substitute<Name, R (*)(Args...)> {
    static R Call(Args...) { RaiseClientError(kIB60Feature, {Name}); }
};

#define COOP_SUBSTITUTE_NAME(name) constexpr char k_##name[] = #name;
COOP_CLIENT_VERSION6(COOP_SUBSTITUTE_NAME)
#undef COOP_SUBSTITUTE_NAME

[[noreturn]] void RaiseMissingEntryPoint(const char* name) {
    // dlsym has no error number of its own; the loader's text says which
    // symbol is missing, which is what a support person needs.
    const char* detail = dlerror();
    std::string text = detail ? detail : name;  // copied: the unload frees it
    // Still loading, under the lock, so nothing was published and the
    // watchdog never called into this library.
    ReleaseLoaded();
    throw runtime::EOSError("System Error.  Code: 127.\n" + text, 127);
}

template <typename F>
void Bind(F& slot, const char* name) {
    dlerror();
    void* symbol = dlsym(g_module, name);
    if (symbol == nullptr) RaiseMissingEntryPoint(name);
    slot = reinterpret_cast<F>(symbol);
}

}  // namespace

void EnsureClientLoaded() {
    if (g_loaded.load(std::memory_order_acquire)) return;
    const std::lock_guard guard(g_load_lock);
    if (g_loaded.load(std::memory_order_relaxed)) return;
    void* module = dlopen(kClientLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) RaiseClientError(kLibraryNotFound, {kClientLibraryName});
    g_module = module;
    g_api = ClientApi{};

#define COOP_BIND(name) Bind(g_api.name, #name);
    COOP_CLIENT_MANDATORY(COOP_BIND)
    dlerror();
    if (dlsym(g_module, "isc_rollback_retaining") != nullptr) {
        g_version = 6;
        COOP_CLIENT_VERSION6(COOP_BIND)
    } else {
        g_version = 5;
#define COOP_SUBSTITUTE(name) g_api.name = &Substitute<k_##name, decltype(&::name)>::Call;
        COOP_CLIENT_VERSION6(COOP_SUBSTITUTE)
#undef COOP_SUBSTITUTE
    }
#undef COOP_BIND
    g_api.fb_cancel_operation = reinterpret_cast<decltype(g_api.fb_cancel_operation)>(
        dlsym(g_module, "fb_cancel_operation"));
    g_loaded.store(true, std::memory_order_release);
}

int ClientVersion() {
    EnsureClientLoaded();
    return g_version;
}

const ClientApi& Api() {
    EnsureClientLoaded();
    return g_api;
}

void UnloadClient() {
    // The watchdog calls into the library from its own thread.
    StopCallWatch();
    const std::lock_guard guard(g_load_lock);
    ReleaseLoaded();
}

}  // namespace db
