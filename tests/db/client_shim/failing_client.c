/* A stand-in client library for the fault tests. Every export of the real
 * library is forwarded (the embedded engine, a plugin of the real library,
 * binds to these names too), and the calls a cleanup path can meet are
 * wrapped so that a test can make them fail on demand: coop_fail() arms an
 * entry point, and the armed calls return a failure without reaching the
 * real library, which is exactly what a lost link or a refusing server
 * looks like to the caller. */
/* Left as written: clang-format 14 never settles on the macro tables below. */
/* clang-format off */
#include <dlfcn.h>
#include <ibase.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "failing_client_exports.h" /* COOP_FORWARDED(X), generated from the real library */

#define FORWARD(name)                                                        \
    static void* p_##name __attribute__((used));                            \
    __asm__(".pushsection .text\n.globl " #name "\n.type " #name ",@function\n" \
            #name ":\n\tjmp *p_" #name "(%rip)\n.size " #name ", .-" #name        \
            "\n.popsection\n");

COOP_FORWARDED(FORWARD)

struct fault {
    const char* name;
    int skip;  /* calls still let through before failing */
    int times; /* failures left; negative: every call */
    ISC_STATUS code;
    int calls; /* calls seen since the last coop_fail_none() */
};

static struct fault faults[] = {
    {.name = "isc_close_blob"},          {.name = "isc_commit_transaction"},
    {.name = "isc_detach_database"},     {.name = "isc_dsql_alloc_statement2"},
    {.name = "isc_dsql_describe"},       {.name = "isc_dsql_execute"},
    {.name = "isc_dsql_execute2"},       {.name = "isc_dsql_fetch"},
    {.name = "isc_dsql_free_statement"}, {.name = "isc_dsql_prepare"},
    {.name = "isc_dsql_set_cursor_name"}, {.name = "isc_dsql_sql_info"},
    {.name = "isc_get_segment"},         {.name = "isc_open_blob2"},
    {.name = "isc_rollback_transaction"}, {.name = "isc_start_multiple"},
};

static struct fault* find_fault(const char* name) {
    for (size_t i = 0; i < sizeof faults / sizeof faults[0]; ++i) {
        if (strcmp(faults[i].name, name) == 0) return &faults[i];
    }
    return NULL;
}

/* Makes `entry_point` fail `times` times (negative: until cleared) after
 * letting `skip` calls through, with `code` as the engine's error code. */
__attribute__((visibility("default"))) int coop_fail(const char* entry_point, int skip, int times,
                                                     ISC_STATUS code) {
    struct fault* f = find_fault(entry_point);
    if (f == NULL) return 0;
    f->skip = skip;
    f->times = times;
    f->code = code;
    return 1;
}

/* Disarms every entry point and resets the call counts. */
__attribute__((visibility("default"))) void coop_fail_none(void) {
    for (size_t i = 0; i < sizeof faults / sizeof faults[0]; ++i) {
        faults[i].skip = 0;
        faults[i].times = 0;
        faults[i].calls = 0;
    }
}

/* Calls of `entry_point` since the last coop_fail_none(), failed ones included. */
__attribute__((visibility("default"))) int coop_calls(const char* entry_point) {
    struct fault* f = find_fault(entry_point);
    return f == NULL ? -1 : f->calls;
}

static char messages[sizeof faults / sizeof faults[0]][80];

static int injected_failure(const char* name, ISC_STATUS* status) {
    struct fault* f = find_fault(name);
    ++f->calls;
    if (f->times == 0) return 0;
    if (f->skip > 0) {
        --f->skip;
        return 0;
    }
    if (f->times > 0) --f->times;
    status[0] = isc_arg_gds;
    status[1] = f->code;
    if (f->code == isc_random) {
        /* The message names the call, so a test can tell whose error it sees. */
        char* text = messages[f - faults];
        snprintf(text, sizeof messages[0], "injected failure of %s", name);
        status[2] = isc_arg_string;
        status[3] = (ISC_STATUS)text;
        status[4] = isc_arg_end;
    } else {
        status[2] = isc_arg_end;
    }
    return 1;
}

#define FALLIBLE(name, params, args)                          \
    static __typeof__(&name) real_##name;                    \
    ISC_STATUS ISC_EXPORT name params {                      \
        if (injected_failure(#name, status)) return status[1]; \
        return real_##name args;                             \
    }

FALLIBLE(isc_close_blob, (ISC_STATUS* status, isc_blob_handle* blob), (status, blob))
FALLIBLE(isc_commit_transaction, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))
FALLIBLE(isc_detach_database, (ISC_STATUS* status, isc_db_handle* db), (status, db))
FALLIBLE(isc_dsql_alloc_statement2, (ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* st),
         (status, db, st))
FALLIBLE(isc_dsql_describe,
         (ISC_STATUS* status, isc_stmt_handle* st, unsigned short dialect, XSQLDA* da),
         (status, st, dialect, da))
FALLIBLE(isc_dsql_execute,
         (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* st, unsigned short dialect,
          const XSQLDA* in),
         (status, tr, st, dialect, in))
FALLIBLE(isc_dsql_execute2,
         (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* st, unsigned short dialect,
          const XSQLDA* in, const XSQLDA* out),
         (status, tr, st, dialect, in, out))
FALLIBLE(isc_dsql_fetch,
         (ISC_STATUS* status, isc_stmt_handle* st, unsigned short dialect, const XSQLDA* out),
         (status, st, dialect, out))
FALLIBLE(isc_dsql_free_statement, (ISC_STATUS* status, isc_stmt_handle* st, unsigned short option),
         (status, st, option))
FALLIBLE(isc_dsql_prepare,
         (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* st, unsigned short length,
          const ISC_SCHAR* text, unsigned short dialect, XSQLDA* out),
         (status, tr, st, length, text, dialect, out))
FALLIBLE(isc_dsql_set_cursor_name,
         (ISC_STATUS* status, isc_stmt_handle* st, const ISC_SCHAR* name, unsigned short type),
         (status, st, name, type))
FALLIBLE(isc_dsql_sql_info,
         (ISC_STATUS* status, isc_stmt_handle* st, short items_length, const ISC_SCHAR* items,
          short buffer_length, ISC_SCHAR* buffer),
         (status, st, items_length, items, buffer_length, buffer))
FALLIBLE(isc_get_segment,
         (ISC_STATUS* status, isc_blob_handle* blob, unsigned short* got, unsigned short size,
          ISC_SCHAR* buffer),
         (status, blob, got, size, buffer))
FALLIBLE(isc_open_blob2,
         (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
          ISC_QUAD* id, ISC_USHORT bpb_length, const ISC_UCHAR* bpb),
         (status, db, tr, blob, id, bpb_length, bpb))
FALLIBLE(isc_rollback_transaction, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr))
FALLIBLE(isc_start_multiple, (ISC_STATUS* status, isc_tr_handle* tr, short count, void* teb),
         (status, tr, count, teb))

/* A cancel can wait on the network as long as the link is stalled: while
 * held, fb_cancel_operation waits (at most 20 s) before going through. */
static pthread_mutex_t hold_lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t hold_changed = PTHREAD_COND_INITIALIZER;
static int hold_cancels;
static int cancels_waiting;
static __typeof__(&fb_cancel_operation) real_fb_cancel_operation;

__attribute__((visibility("default"))) void coop_hold_cancels(int hold) {
    pthread_mutex_lock(&hold_lock);
    hold_cancels = hold;
    pthread_cond_broadcast(&hold_changed);
    pthread_mutex_unlock(&hold_lock);
}

/* Cancels waiting now. */
__attribute__((visibility("default"))) int coop_cancels_waiting(void) {
    pthread_mutex_lock(&hold_lock);
    int waiting = cancels_waiting;
    pthread_mutex_unlock(&hold_lock);
    return waiting;
}

ISC_STATUS ISC_EXPORT fb_cancel_operation(ISC_STATUS* status, isc_db_handle* db, ISC_USHORT option) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += 20;
    pthread_mutex_lock(&hold_lock);
    ++cancels_waiting;
    while (hold_cancels && pthread_cond_timedwait(&hold_changed, &hold_lock, &until) == 0) {}
    --cancels_waiting;
    pthread_mutex_unlock(&hold_lock);
    return real_fb_cancel_operation(status, db, option);
}

static void* real;

#define LOAD_FORWARDED(name) p_##name = dlsym(real, #name);
#define LOAD_FALLIBLE(name) real_##name = (__typeof__(&name))dlsym(real, #name);

__attribute__((constructor)) static void load_real_library(void) {
    real = dlopen(REAL_CLIENT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (real == NULL) {
        fprintf(stderr, "failing client: %s\n", dlerror());
        abort();
    }
    COOP_FORWARDED(LOAD_FORWARDED)
    LOAD_FALLIBLE(isc_close_blob) LOAD_FALLIBLE(isc_commit_transaction)
    LOAD_FALLIBLE(isc_detach_database) LOAD_FALLIBLE(isc_dsql_alloc_statement2)
    LOAD_FALLIBLE(isc_dsql_describe) LOAD_FALLIBLE(isc_dsql_execute)
    LOAD_FALLIBLE(isc_dsql_execute2) LOAD_FALLIBLE(isc_dsql_fetch)
    LOAD_FALLIBLE(isc_dsql_free_statement) LOAD_FALLIBLE(isc_dsql_prepare)
    LOAD_FALLIBLE(isc_dsql_set_cursor_name) LOAD_FALLIBLE(isc_dsql_sql_info)
    LOAD_FALLIBLE(isc_get_segment) LOAD_FALLIBLE(isc_open_blob2)
    LOAD_FALLIBLE(isc_rollback_transaction) LOAD_FALLIBLE(isc_start_multiple)
    LOAD_FALLIBLE(fb_cancel_operation)
}

/* The real library carries the same soname: unload it with us, or the next
 * load by bare name would find it instead of this stand-in. */
__attribute__((destructor)) static void unload_real_library(void) {
    if (real != NULL) dlclose(real);
}
/* clang-format on */
