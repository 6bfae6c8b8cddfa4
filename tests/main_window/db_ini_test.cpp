#include "config/db_ini.h"

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
        {"an editor's empty last line is not the name", "coop.fdb\n\n", "coop.fdb"},
        {"trailing blank lines are skipped", "coop.fdb\r\n\r\n \n\t\n", "coop.fdb"},
        {"an empty file", "", ""},
        {"a file of blank lines", "\n \n\t\n", ""},
        {"a byte-order mark is not part of the name", "\xEF\xBB\xBF/data/coop.fdb\r\n",
         "/data/coop.fdb"},
        {"only a leading byte-order mark is skipped",
         "a\n\xEF\xBB\xBF"
         "b\n",
         "\xEF\xBB\xBF"
         "b"},
        {"tabs around the name are not part of it", "\t/data/coop.fdb\t\t\n", "/data/coop.fdb"},
        {"tabs inside the name are kept", "/data/a\tb.fdb\n", "/data/a\tb.fdb"},
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
    for (const auto& c : cases) EXPECT_EQ(config::LastLine(c.bytes), c.name) << c.what;
}

TEST(DbIni, UnreadableFilesGiveTheirInputOutputMessage) {
    test_support::TempDir dir;
    try {
        config::ReadDatabaseName(dir.File("db.ini"));
        FAIL();
    } catch (const runtime::EInOutError& e) {
        EXPECT_EQ(e.Message(), "File not found");
        EXPECT_EQ(e.ErrorCode(), 2);
    }
    try {
        config::ReadDatabaseName(dir.Path().string());  // a folder, not a file
        FAIL();
    } catch (const runtime::EInOutError& e) {
        EXPECT_EQ(e.Message(), "File access denied");
    }
    EXPECT_EQ(config::InOutErrorMessage(EIO), "I/O error 5");  // not "access denied"
    EXPECT_EQ(config::InOutErrorMessage(EACCES), "File access denied");
    std::ofstream(dir.File("db.ini")) << "coop.fdb\r\n";
    EXPECT_EQ(config::ReadDatabaseName(dir.File("db.ini")), "coop.fdb");
}

TEST(DbIni, ConnectionFailureShowsAReadableNameAndTheReasonOnItsOwnLines) {
    const std::string fixed =
        "Error de conexion a la base de datos %\rLa aplicacion no podra ser ejecutada, contacte "
        "a soporte tecnico";
    auto with_name = [&](const std::string& name) {
        std::string text = fixed;
        return text.replace(text.find('%'), 1, name);
    };
    const struct {
        const char* what;
        std::string name;
        std::string reason;
        std::string message;
    } cases[] = {
        {"no reason", "/data/coop.fdb", "", with_name("/data/coop.fdb")},
        {"the reason follows on its own line", "srv:/db.fdb", "connection refused",
         with_name("srv:/db.fdb") + "\rconnection refused"},
        {"each line of the reason stays a line, empty ones go", "x",
         "I/O error for file \"x\"\r\n\r\nError while trying to open file\nNo such file",
         with_name("x") +
             "\rI/O error for file \"x\"\rError while trying to open file\rNo such file"},
        {"control characters are made visible", std::string("a\x01\x1B\tb\x7F\x85\xF1", 8), "",
         with_name("a\\x01\\x1B\\x09b\\x7F\\x85\xF1")},
        {"an empty name", "", "", with_name("")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(config::ConnectionFailureMessage(c.name, c.reason), c.message) << c.what;
    }

    // A 10 MB name, or a reason quoting it, gives a message of a few lines.
    const std::string huge(10 * 1024 * 1024, 'A');
    const std::string message =
        config::ConnectionFailureMessage(huge, "first " + huge + "\n2\n3\n4\n5\n6\n7\n8\n9\n10");
    EXPECT_LT(message.size(), 2000u);
    EXPECT_NE(message.find("AAA...\rLa aplicacion"), std::string::npos);
    EXPECT_NE(message.find("\rfirst AAA"), std::string::npos);
    EXPECT_NE(message.find("\r8"), std::string::npos);
    EXPECT_EQ(message.find("\r9"), std::string::npos);  // eight lines of reason at most
}

}  // namespace
