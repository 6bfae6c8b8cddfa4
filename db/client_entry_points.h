#ifndef COOP_DB_CLIENT_ENTRY_POINTS_H
#define COOP_DB_CLIENT_ENTRY_POINTS_H

/* The client library's entry points the program binds, as X-macro lists.
 * Plain preprocessor text, so the stand-in libraries of the tests (in C)
 * export exactly the same names. */

// The formatter re-indents these lists differently on every pass.
// clang-format off
// Entry points in binding order. Every name of the first list is mandatory.
#define COOP_CLIENT_MANDATORY(X)                                                                 \
    X(BLOB_get) X(BLOB_put) X(isc_sqlcode) X(isc_sql_interprete) X(isc_interprete)               \
    X(isc_vax_integer) X(isc_blob_info) X(isc_open_blob2) X(isc_close_blob) X(isc_get_segment)   \
    X(isc_put_segment) X(isc_create_blob2) X(isc_decode_date) X(isc_encode_date)                 \
    X(isc_dsql_free_statement) X(isc_dsql_execute2) X(isc_dsql_execute)                          \
    X(isc_dsql_set_cursor_name) X(isc_dsql_fetch) X(isc_dsql_sql_info)                           \
    X(isc_dsql_alloc_statement2) X(isc_dsql_prepare) X(isc_dsql_describe_bind)                   \
    X(isc_dsql_describe) X(isc_dsql_execute_immediate) X(isc_drop_database)                      \
    X(isc_detach_database) X(isc_attach_database) X(isc_database_info) X(isc_start_multiple)     \
    X(isc_commit_transaction) X(isc_commit_retaining) X(isc_rollback_transaction)                \
    X(isc_cancel_events) X(isc_que_events) X(isc_event_counts) X(isc_event_block) X(isc_free)    \
    X(isc_add_user) X(isc_delete_user) X(isc_modify_user) X(isc_prepare_transaction)             \
    X(isc_prepare_transaction2)

// Present only in version-6 libraries; isc_rollback_retaining is the probe.
#define COOP_CLIENT_VERSION6(X)                                                                  \
    X(isc_rollback_retaining) X(isc_service_attach) X(isc_service_detach) X(isc_service_query)   \
    X(isc_service_start) X(isc_decode_sql_date) X(isc_decode_sql_time) X(isc_decode_timestamp)   \
    X(isc_encode_sql_date) X(isc_encode_sql_time) X(isc_encode_timestamp)
// clang-format on

#endif
