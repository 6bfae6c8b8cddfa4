/* A stand-in client library for the binding tests: it forwards every entry
 * point it exports to the real library, and leaves out the ones a test wants
 * missing (the version-6 probe, or a mandatory entry point). Each export is a
 * bare jump, so every signature is forwarded without restating it. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#define FORWARD(name)                                                        \
    static void* p_##name __attribute__((used));                            \
    __asm__(".pushsection .text\n.globl " #name "\n.type " #name ",@function\n" \
            #name ":\n\tjmp *p_" #name "(%rip)\n.size " #name ", .-" #name        \
            "\n.popsection\n");

#define LOAD(name) p_##name = dlsym(real, #name);

#ifdef OMIT_PREPARE
#define PREPARE(X)
#else
#define PREPARE(X) X(isc_dsql_prepare)
#endif

#define ENTRY_POINTS(X)                                                                          \
    X(BLOB_get) X(BLOB_put) X(isc_sqlcode) X(isc_sql_interprete) X(isc_interprete)               \
    X(isc_vax_integer) X(isc_blob_info) X(isc_open_blob2) X(isc_close_blob) X(isc_get_segment)   \
    X(isc_put_segment) X(isc_create_blob2) X(isc_decode_date) X(isc_encode_date)                 \
    X(isc_dsql_free_statement) X(isc_dsql_execute2) X(isc_dsql_execute)                          \
    X(isc_dsql_set_cursor_name) X(isc_dsql_fetch) X(isc_dsql_sql_info)                           \
    X(isc_dsql_alloc_statement2) PREPARE(X) X(isc_dsql_describe_bind)                            \
    X(isc_dsql_describe) X(isc_dsql_execute_immediate) X(isc_drop_database)                      \
    X(isc_detach_database) X(isc_attach_database) X(isc_database_info) X(isc_start_multiple)     \
    X(isc_commit_transaction) X(isc_commit_retaining) X(isc_rollback_transaction)                \
    X(isc_cancel_events) X(isc_que_events) X(isc_event_counts) X(isc_event_block) X(isc_free)    \
    X(isc_add_user) X(isc_delete_user) X(isc_modify_user) X(isc_prepare_transaction)             \
    X(isc_prepare_transaction2)

ENTRY_POINTS(FORWARD)

static void* real;

__attribute__((constructor)) static void load_real_library(void) {
    real = dlopen(REAL_CLIENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (real == NULL) {
        fprintf(stderr, "forwarding client: %s\n", dlerror());
        abort();
    }
    ENTRY_POINTS(LOAD)
}

/* The real library carries the same soname: unload it with us, or the next
 * load by bare name would find it instead of this stand-in. */
__attribute__((destructor)) static void unload_real_library(void) {
    if (real != NULL) dlclose(real);
}
