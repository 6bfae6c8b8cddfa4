/* A stand-in client library for the binding tests: it forwards every entry
 * point the program binds as mandatory to the real library, so the version-6
 * ones (the probe among them) are missing. A linker script can hide one more
 * (tests/db/CMakeLists.txt). Each export is a bare jump, so every signature
 * is forwarded without restating it. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include "db/client_entry_points.h"

#define FORWARD(name)                                                                 \
    static void* p_##name __attribute__((used));                                      \
    __asm__(".pushsection .text\n.globl " #name "\n.type " #name ",@function\n" #name \
            ":\n\tjmp *p_" #name "(%rip)\n.size " #name ", .-" #name "\n.popsection\n");

#define LOAD(name) p_##name = dlsym(real, #name);

COOP_CLIENT_MANDATORY(FORWARD)

static void* real;

__attribute__((constructor)) static void load_real_library(void) {
    real = dlopen(REAL_CLIENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (real == NULL) {
        fprintf(stderr, "forwarding client: %s\n", dlerror());
        abort();
    }
    COOP_CLIENT_MANDATORY(LOAD)
}

/* The real library carries the same soname: unload it with us, or the next
 * load by bare name would find it instead of this stand-in. */
__attribute__((destructor)) static void unload_real_library(void) {
    if (real != NULL) dlclose(real);
}
