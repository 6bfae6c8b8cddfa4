#include "loans/repair_journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "runtime/exception.h"
#include "tests/support/test_database.h"

namespace {

loans::RepairRecord Done() {
    loans::RepairRecord r;
    r.time = 1796641200;  // 2026-12-07 11:00:00 UTC
    r.user = "analista";
    r.database = "127.0.0.1:/srv/coop/coop.fdb";
    r.member = "00010";
    r.loan = 1070;
    r.repair = "Reindexar";
    r.documents_balance_before = 20000;
    r.receivable_balance_before = 30000;
    r.documents_balance_after = 20000;
    r.receivable_balance_after = 20000.004;
    r.rows_deleted = 3;
    r.rows_inserted = 5;
    return r;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RepairJournal, RecordIsOneLineOfJsonWithEveryField) {
    EXPECT_EQ(loans::JournalLine(Done()),
              "{\"time\":\"2026-12-07T11:00:00Z\",\"user\":\"analista\","
              "\"database\":\"127.0.0.1:/srv/coop/coop.fdb\",\"member\":\"00010\",\"loan\":1070,"
              "\"repair\":\"Reindexar\",\"outcome\":\"done\","
              "\"documents_balance_before\":20000.00,\"receivable_balance_before\":30000.00,"
              "\"documents_balance_after\":20000.00,\"receivable_balance_after\":20000.00,"
              "\"rows_deleted\":3,\"rows_inserted\":5,\"rows_updated\":0}");
}

TEST(RepairJournal, RolledBackRecordCarriesTheServersMessageEscaped) {
    loans::RepairRecord r = Done();
    r.repair = "Corregir Tabla";
    r.member =
        "N\xDA\xD1"
        "EZ";
    r.rolled_back = true;
    r.message = "lock conflict on \"RENGLONES\"\rdeadlock\\";
    r.rows_deleted = 0;
    r.rows_inserted = 0;
    r.rows_updated = 12;
    const std::string line = loans::JournalLine(r);
    EXPECT_NE(line.find("\"member\":\"N\xC3\x9A\xC3\x91"
                        "EZ\""),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("\"outcome\":\"rolled back\",\"message\":\"lock conflict on "
                        "\\\"RENGLONES\\\"\\u000ddeadlock\\\\\""),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("\"rows_updated\":12}"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\r'), std::string::npos);
}

TEST(RepairJournal, AppendsOneLinePerRecordToAPrivateFileInANewFolder) {
    test_support::TempDir dir;
    const std::string path = dir.File("datos/analisis-socios/reparaciones.jsonl");
    loans::AppendToJournal(Done(), path);
    loans::RepairRecord second = Done();
    second.loan = 1071;
    loans::AppendToJournal(second, path);
    EXPECT_EQ(ReadAll(path), loans::JournalLine(Done()) + "\n" + loans::JournalLine(second) + "\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(RepairJournal, FailureNamesTheFileAndTheCause) {
    test_support::TempDir dir;
    std::ofstream(dir.File("ocupado")) << "x";
    const std::string path = dir.File("ocupado/reparaciones.jsonl");
    try {
        loans::AppendToJournal(Done(), path);
        FAIL() << "a journal under a plain file was written";
    } catch (const runtime::EInOutError& error) {
        EXPECT_NE(error.Message().find(path), std::string::npos) << error.Message();
        EXPECT_NE(error.Message().find("No se pudo escribir el registro de reparaciones"),
                  std::string::npos);
    }
}

TEST(RepairJournal, LivesInTheUsersDataDirectory) {
    const char* old_data = std::getenv("XDG_DATA_HOME");
    const std::string saved_data = old_data ? old_data : "";
    const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_DATA_HOME", "/datos/ana", 1);
    EXPECT_EQ(loans::JournalPath(), "/datos/ana/analisis-socios/reparaciones.jsonl");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/ana", 1);
    EXPECT_EQ(loans::JournalPath(), "/home/ana/.local/share/analisis-socios/reparaciones.jsonl");
    setenv("HOME", saved_home.c_str(), 1);
    if (old_data) setenv("XDG_DATA_HOME", saved_data.c_str(), 1);
    EXPECT_FALSE(loans::CurrentUser().empty());
}

}  // namespace
