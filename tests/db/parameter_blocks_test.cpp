#include "db/parameter_blocks.h"

#include <gtest/gtest.h>

#include "db/errors.h"
#include "runtime/exception.h"

namespace {

using runtime::TStrings;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

struct BlockCase {
    const char* what;
    std::vector<std::string> lines;
    std::string expected;
};

TEST(DatabaseParameterBlock, EncodesEachKindOfEntryExactly) {
    const BlockCase cases[] = {
        {"the program's own three lines",
         {"user_name=sysdba", "password=plumbrid", "lc_ctype=ISO8859_1"},
         Bytes({1, 28, 6}) + "sysdba" + Bytes({29, 8}) + "plumbrid" + Bytes({48, 9}) + "ISO8859_1"},
        {"capitalised name with prefix is lowered before the prefix goes",
         {"ISC_DPB_USER_NAME=SYSDBA"},
         Bytes({1, 28, 6}) + "SYSDBA"},
        {"value keeps its blanks", {"user_name= a b "}, Bytes({1, 28, 5}) + " a b "},
        {"line without equals sign is skipped",
         {"user_name", "lc_ctype=X"},
         Bytes({1, 48, 1}) + "X"},
        {"blank name is skipped", {" \t=sysdba"}, Bytes({1})},
        {"no lines gives only the version byte", {}, Bytes({1})},
        {"small number keeps its low byte", {"num_buffers=300"}, Bytes({1, 5, 1, 44})},
        {"sweep is fixed whatever the value", {"sweep=99"}, Bytes({1, 10, 1, 2})},
        {"32-bit number least significant byte first",
         {"sweep_interval=20000"},
         Bytes({1, 22, 4, 0x20, 0x4E, 0, 0})},
        {"connect timeout in seconds, 32 bits",
         {"connect_timeout=10"},
         Bytes({1, 57, 4, 10, 0, 0, 0})},
        {"flag ignores its value", {"activate_shadow=yes"}, Bytes({1, 21, 1, 0})},
        {"dialect digit travels as its value", {"sql_dialect=3"}, Bytes({1, 63, 1, 3})},
        {"force_write zero", {"force_write=0"}, Bytes({1, 24, 1, 0})},
        {"a site's role travels as text, case kept",
         {"user_name=analista", "password=x", "sql_role_name=Analista_Socios"},
         Bytes({1, 28, 8}) + "analista" + Bytes({29, 1}) + "x" + Bytes({60, 15}) +
             "Analista_Socios"},
    };
    for (const auto& c : cases) {
        TStrings lines;
        lines.Assign(c.lines);
        EXPECT_EQ(db::BuildDatabaseParameterBlock(lines), c.expected) << c.what;
    }
}

struct ErrorCase {
    const char* what;
    std::vector<std::string> lines;
    int code;
    std::string message;
};

TEST(DatabaseParameterBlock, RefusesWhatItCannotSend) {
    const ErrorCase cases[] = {
        {"blank before equals sign makes an unknown name",
         {"user_name =sysdba"},
         114,
         "DPB Constant (user_name ) is unknown"},
        {"unknown name is reported as written",
         {"User_Nome=x"},
         114,
         "DPB Constant (User_Nome) is unknown"},
        {"known but unsupported name",
         {"page_size=4096"},
         11,
         "DPB Constant (isc_dpb_page_size) is unsupported"},
        {"value longer than one length byte can say",
         {"user_name=" + std::string(256, 'u')},
         db::kParameterValueTooLong,
         "Parameter value for user_name is longer than 255 bytes"},
        {"empty dialect has no digit to convert",
         {"sql_dialect="},
         db::kParameterValueEmpty,
         "Parameter value for sql_dialect is empty"},
    };
    for (const auto& c : cases) {
        TStrings lines;
        lines.Assign(c.lines);
        try {
            db::BuildDatabaseParameterBlock(lines);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const db::EIBClientError& e) {
            EXPECT_EQ(e.SqlErrorCode(), c.code) << c.what;
            EXPECT_EQ(e.Message(), c.message) << c.what;
        }
    }
}

TEST(DatabaseParameterBlock, RefusesBlockOverSixteenBits) {
    TStrings lines;
    std::vector<std::string> many(140, "user_name=" + std::string(250, 'x'));
    lines.Assign(many);
    EXPECT_THROW(db::BuildDatabaseParameterBlock(lines), db::EIBClientError);
}

TEST(DatabaseParameterBlock, NonNumericNumberIsAConversionError) {
    TStrings lines{"num_buffers=abc"};
    try {
        db::BuildDatabaseParameterBlock(lines);
        FAIL();
    } catch (const runtime::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}

TEST(TransactionParameterBlock, EncodesOptionsExactly) {
    const BlockCase cases[] = {
        {"no lines: no block at all", {}, ""},
        {"read_committed", {"read_committed"}, Bytes({3, 15})},
        {"blank line adds nothing", {"read_committed", "  ", "rec_version"}, Bytes({3, 15, 17})},
        {"prefix and capitals", {"ISC_TPB_NOWAIT", "write"}, Bytes({3, 7, 9})},
        {"table lock carries the table name",
         {"lock_read=CLIENTES"},
         Bytes({3, 10, 8}) + "CLIENTES"},
    };
    for (const auto& c : cases) {
        TStrings lines;
        lines.Assign(c.lines);
        EXPECT_EQ(db::BuildTransactionParameterBlock(lines), c.expected) << c.what;
    }
}

TEST(TransactionParameterBlock, RefusesUnknownAndUnsupportedOptions) {
    const ErrorCase cases[] = {
        {"unsupported", {"verb_time"}, 13, "TPB Constant (isc_tpb_verb_time) is unsupported"},
        {"unknown, named as written before the equals sign",
         {"Bogus=1"},
         115,
         "TPB Constant (Bogus) is unknown"},
    };
    for (const auto& c : cases) {
        TStrings lines;
        lines.Assign(c.lines);
        try {
            db::BuildTransactionParameterBlock(lines);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const db::EIBClientError& e) {
            EXPECT_EQ(e.SqlErrorCode(), c.code) << c.what;
            EXPECT_EQ(e.Message(), c.message) << c.what;
        }
    }
}

}  // namespace
