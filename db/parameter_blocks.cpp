#include "db/parameter_blocks.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "db/errors.h"
#include "runtime/text.h"

namespace db {
namespace {

// Position in the table = the API's parameter code.
constexpr std::array<std::string_view, 67> kDpbNames = {
    "cdd_pathname",
    "allocation",
    "journal",
    "page_size",
    "num_buffers",
    "buffer_length",
    "debug",
    "garbage_collect",
    "verify",
    "sweep",
    "enable_journal",
    "disable_journal",
    "dbkey_scope",
    "number_of_users",
    "trace",
    "no_garbage_collect",
    "damaged",
    "license",
    "sys_user_name",
    "encrypt_key",
    "activate_shadow",
    "sweep_interval",
    "delete_shadow",
    "force_write",
    "begin_log",
    "quit_log",
    "no_reserve",
    "user_name",
    "password",
    "password_enc",
    "sys_user_name_enc",
    "interp",
    "online_dump",
    "old_file_size",
    "old_num_files",
    "old_file",
    "old_start_page",
    "old_start_seqno",
    "old_start_file",
    "drop_walfile",
    "old_dump_id",
    "wal_backup_dir",
    "wal_chkptlen",
    "wal_numbufs",
    "wal_bufsize",
    "wal_grp_cmt_wait",
    "lc_messages",
    "lc_ctype",
    "cache_manager",
    "shutdown",
    "online",
    "shutdown_delay",
    "reserved",
    "overwrite",
    "sec_attach",
    "disable_wal",
    "connect_timeout",
    "dummy_packet_interval",
    "gbak_attach",
    "sql_role_name",
    "set_page_buffers",
    "working_directory",
    "sql_dialect",
    "set_db_readonly",
    "set_db_sql_dialect",
    "gfix_attach",
    "gstat_attach",
};

constexpr std::array<std::string_view, 20> kTpbNames = {
    "consistency", "concurrency",    "shared",           "protected",
    "exclusive",   "wait",           "nowait",           "read",
    "write",       "lock_read",      "lock_write",       "verb_time",
    "commit_time", "ignore_limbo",   "read_committed",   "autocommit",
    "rec_version", "no_rec_version", "restart_requests", "no_auto_undo",
};

template <size_t N>
int CodeOf(const std::array<std::string_view, N>& table, std::string_view key) {
    for (size_t i = 0; i < N; ++i) {
        if (table[i] == key) return static_cast<int>(i) + 1;
    }
    return 0;
}

std::string_view StripPrefix(std::string_view key, std::string_view prefix) {
    if (key.substr(0, prefix.size()) == prefix) key.remove_prefix(prefix.size());
    return key;
}

void AppendLengthAndText(std::string& block, std::string_view name, std::string_view value) {
    if (value.size() > 255) RaiseClientError(kParameterValueTooLong, {name});
    block += static_cast<char>(value.size());
    block += value;
}

void EncodeDatabaseItem(std::string& block, int code, std::string_view name,
                        std::string_view value) {
    const char code_byte = static_cast<char>(code);
    switch (code) {
        case 18:
        case 19:
        case 20:
        case 28:
        case 29:
        case 30:
        case 47:
        case 48:
        case 60:
            block += code_byte;
            AppendLengthAndText(block, name, value);
            return;
        case 63: {  // sql_dialect: the digit travels as its numeric value
            if (value.empty()) RaiseClientError(kParameterValueEmpty, {name});
            std::string dialect(value);
            dialect[0] = static_cast<char>(dialect[0] - 48);
            block += code_byte;
            AppendLengthAndText(block, name, dialect);
            return;
        }
        case 5:
        case 9:
        case 13:
        case 17:
        case 24:
        case 27:
            block += code_byte;
            block += '\1';
            block += static_cast<char>(runtime::StrToInt(value) & 0xFF);
            return;
        case 10:
            block += code_byte;
            block += '\1';
            block += '\2';
            return;
        case 22:
        case 57: {  // connect_timeout, in seconds: the program's bound on a dead host
            const auto number = static_cast<uint32_t>(runtime::StrToInt(value));
            block += code_byte;
            block += '\4';
            for (int shift = 0; shift < 32; shift += 8) {
                block += static_cast<char>((number >> shift) & 0xFF);
            }
            return;
        }
        case 21:
        case 23:
        case 25:
        case 26:
            block += code_byte;
            block += '\1';
            block += '\0';
            return;
        default:
            RaiseClientError(kDpbConstantNotSupported, {name});
    }
}

}  // namespace

std::string BuildDatabaseParameterBlock(const runtime::TStrings& lines) {
    // Room for every item at once: a growing block would leave copies of
    // the password behind in freed memory.
    size_t room = 1;
    for (const std::string& line : lines) room += line.size() + 6;
    std::string block;
    block.reserve(room);
    block += '\1';
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        const std::string_view written =
            eq == std::string::npos ? std::string_view() : std::string_view(line).substr(0, eq);
        if (runtime::TrimControls(written).empty()) continue;
        const std::string lowered = runtime::AsciiLower(written);
        const std::string_view key = StripPrefix(lowered, "isc_dpb_");
        const std::string_view value = std::string_view(line).substr(eq + 1);
        const int code = CodeOf(kDpbNames, key);
        if (code == 0) RaiseClientError(kDpbConstantUnknown, {written});
        EncodeDatabaseItem(block, code, kDpbNames[static_cast<size_t>(code - 1)], value);
        if (block.size() > 32767) RaiseClientError(kParameterBlockTooLong);
    }
    return block;
}

std::string BuildTransactionParameterBlock(const runtime::TStrings& lines) {
    if (lines.Empty()) return {};
    std::string block(1, '\3');
    for (const std::string& line : lines) {
        if (runtime::TrimControls(line).empty()) continue;
        const size_t eq = line.find('=');
        const std::string_view written =
            eq == std::string::npos ? std::string_view(line) : std::string_view(line).substr(0, eq);
        const std::string lowered = runtime::AsciiLower(written);
        const std::string_view key = StripPrefix(lowered, "isc_tpb_");
        const int code = CodeOf(kTpbNames, key);
        if (code == 0) RaiseClientError(kTpbConstantUnknown, {written});
        const std::string_view name = kTpbNames[static_cast<size_t>(code - 1)];
        switch (code) {
            case 10:
            case 11: {  // lock_read / lock_write name a table
                const std::string_view table = eq == std::string::npos
                                                   ? std::string_view()
                                                   : std::string_view(line).substr(eq + 1);
                block += static_cast<char>(code);
                AppendLengthAndText(block, name, table);
                break;
            }
            case 12:
            case 13:
            case 16:
            case 19:
            case 20:
                RaiseClientError(kTpbConstantNotSupported, {name});
            default:
                block += static_cast<char>(code);
        }
        if (block.size() > 32767) RaiseClientError(kParameterBlockTooLong);
    }
    return block;
}

}  // namespace db
