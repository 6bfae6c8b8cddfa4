#include "tests/db/client_faults.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "db/client_library.h"

namespace client_faults {
namespace {

template <typename F>
F Control(const char* name) {
    db::EnsureClientLoaded();
    void* library = dlopen(db::kClientLibraryName, RTLD_NOW | RTLD_NOLOAD);
    void* symbol = library ? dlsym(library, name) : nullptr;
    if (library) dlclose(library);
    if (symbol == nullptr) {
        ADD_FAILURE() << "not running against the failing client library (LD_LIBRARY_PATH)";
        return nullptr;
    }
    return reinterpret_cast<F>(symbol);
}

}  // namespace

void Fail(const char* entry_point, int skip, int times, ISC_STATUS code) {
    using Fn = int (*)(const char*, int, int, ISC_STATUS);
    if (auto fail = Control<Fn>("coop_fail")) {
        EXPECT_EQ(fail(entry_point, skip, times, code), 1) << entry_point << " cannot be failed";
    }
}

void Clear() {
    if (auto clear = Control<void (*)()>("coop_fail_none")) clear();
}

int Calls(const char* entry_point) {
    auto calls = Control<int (*)(const char*)>("coop_calls");
    return calls ? calls(entry_point) : -1;
}

void HoldCancels(bool hold) {
    if (auto set = Control<void (*)(int)>("coop_hold_cancels")) set(hold ? 1 : 0);
}

int CancelsWaiting() {
    auto waiting = Control<int (*)()>("coop_cancels_waiting");
    return waiting ? waiting() : -1;
}

}  // namespace client_faults
