#include "shell/db_ini.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "runtime/exception.h"
#include "tests/support/test_database.h"

namespace {

TEST(DbIni, TheLastLineIsTheDatabaseName) {
    const struct {
        const char* what;
        std::string bytes;
        std::string name;
    } cases[] = {
        {"one line with its break", "/data/coop.fdb\n", "/data/coop.fdb"},
        {"one line without a break", "/data/coop.fdb", "/data/coop.fdb"},
        {"several lines: the last counts", "first.fdb\r\nsecond.fdb\nthird.fdb\n", "third.fdb"},
        {"an empty last line empties the name", "coop.fdb\n\n", ""},
        {"an empty file", "", ""},
        {"blanks are kept", "  server:/db/coop.fdb \n", "  server:/db/coop.fdb "},
        {"a lone carriage return is dropped", "a\rb\n", "ab"},
        {"Ctrl-Z after the last break ends the file",
         "coop.fdb\n\x1A"
         "garbage\n",
         "coop.fdb"},
        {"Ctrl-Z inside a line ends it", "coop.fdb\x1Atail\nother\n", "coop.fdb"},
        {"accented bytes pass unchanged", "/datos/cooperativa/a\xF1o.fdb\n",
         "/datos/cooperativa/a\xF1o.fdb"},
    };
    for (const auto& c : cases) EXPECT_EQ(shell::LastLine(c.bytes), c.name) << c.what;
}

TEST(DbIni, UnreadableFilesGiveTheirInputOutputMessage) {
    test_support::TempDir dir;
    try {
        shell::ReadDatabaseName(dir.File("db.ini"));
        FAIL();
    } catch (const runtime::EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not found");
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    try {
        shell::ReadDatabaseName(dir.Path().string());  // a folder, not a file
        FAIL();
    } catch (const runtime::EInOutError& e) {
        EXPECT_EQ(e.Message(), "File access denied");
    }
    EXPECT_EQ(shell::InOutErrorMessage(EIO), "I/O error 5");  // not "access denied"
    EXPECT_EQ(shell::InOutErrorMessage(EACCES), "File access denied");
    std::ofstream(dir.File("db.ini")) << "coop.fdb\r\n";
    EXPECT_EQ(shell::ReadDatabaseName(dir.File("db.ini")), "coop.fdb");
}

}  // namespace
