#include "loans/records/repair_journal.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include "loans/records/journal_line.h"
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

// What may stand at the journal's place, and what the journal refuses
// there before any repair writes: it never follows a link, never waits on a
// pipe, never writes into another user's folder or file.
TEST(RepairJournal, RefusesLinksPipesAndOtherUsersFoldersBeforeAnyRepairWrites) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* name;
        std::function<void(const std::string& folder, const std::string& path)> plant;
        const char* cause;
    } cases[] = {
        {"a link to a missing file",
         [](const std::string& folder, const std::string& path) {
             ::mkdir(folder.c_str(), 0700);
             ASSERT_EQ(::symlink((folder + "/elsewhere").c_str(), path.c_str()), 0);
         },
         "es un enlace simbolico"},
        {"a link to a file",
         [](const std::string& folder, const std::string& path) {
             ::mkdir(folder.c_str(), 0700);
             std::ofstream(folder + "/elsewhere") << "kept\n";
             ASSERT_EQ(::symlink((folder + "/elsewhere").c_str(), path.c_str()), 0);
         },
         "es un enlace simbolico"},
        {"a pipe without a reader",
         [](const std::string& folder, const std::string& path) {
             ::mkdir(folder.c_str(), 0700);
             ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
         },
         "no es un archivo comun"},
        {"a folder that is a link",
         [](const std::string& folder, const std::string&) {
             const std::string real = folder + "-real";
             ::mkdir(real.c_str(), 0700);
             ASSERT_EQ(::symlink(real.c_str(), folder.c_str()), 0);
         },
         "su carpeta es un enlace simbolico"},
        {"another user's folder",
         [root](const std::string& folder, const std::string&) {
             ::mkdir(folder.c_str(), 0777);
             if (root) {
                 ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
             }
         },
         "su carpeta es de otro usuario"},
        {"another user's file",
         [root](const std::string& folder, const std::string& path) {
             ::mkdir(folder.c_str(), 0700);
             std::ofstream(path) << "";
             if (root) {
                 ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
             }
         },
         "es de otro usuario"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!root && std::string(c.cause).find("otro usuario") != std::string::npos) continue;
        test_support::TempDir dir;
        const std::string folder = dir.File("analisis-socios");
        const std::string path = folder + "/reparaciones.jsonl";
        c.plant(folder, path);
        try {
            loans::JournalFile journal(path);
            FAIL() << "the journal was opened";
        } catch (const runtime::EInOutError& error) {
            EXPECT_EQ(error.Message(),
                      "No se pudo abrir el registro de reparaciones " + path + ": " + c.cause);
        }
        EXPECT_FALSE(std::filesystem::exists(folder + "/elsewhere") &&
                     ReadAll(folder + "/elsewhere") != "kept\n");
    }
}

TEST(RepairJournal, AFolderMadeForItIsTheUsersAloneWhateverTheUmask) {
    test_support::TempDir dir;
    const std::string path = dir.File("datos/analisis-socios/reparaciones.jsonl");
    const mode_t saved = ::umask(0);
    loans::AppendToJournal(Done(), path);
    ::umask(saved);
    struct stat info {};
    ASSERT_EQ(::stat(dir.File("datos/analisis-socios").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A record goes in whole or not at all, and every record is a line of its
// own whatever else was appended before it.
TEST(RepairJournal, ARecordThatDoesNotFitLeavesTheJournalAsItWasAndSaysWhy) {
    test_support::TempDir dir;
    const std::string path = dir.File("analisis-socios/reparaciones.jsonl");
    loans::AppendToJournal(Done(), path);
    const std::string before = ReadAll(path);

    // A child whose files may not grow past a few bytes more: the write is
    // cut short, as on a disk with part of a page free.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 10),
                           static_cast<rlim_t>(before.size() + 10)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            loans::AppendToJournal(Done(), path);
        } catch (const runtime::EInOutError& error) {
            const bool named = error.Message().find(path) != std::string::npos &&
                               error.Message().find(std::strerror(EFBIG)) != std::string::npos;
            ::_exit(named ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the record went in; 2: the message lacks the cause";
    EXPECT_EQ(ReadAll(path), before);

    // Another writer's unfinished line is ended before the next record.
    std::ofstream(path, std::ios::app) << "{\"nota\":";
    loans::AppendToJournal(Done(), path);
    EXPECT_EQ(ReadAll(path), before + "{\"nota\":\n" + loans::JournalLine(Done()) + "\n");
}

// Two programs of one analyst append at once, one of them on a disk that is
// full (its writes cut short and cut back): every record of the other stays,
// each a whole line of its own.
TEST(RepairJournal, AFailingWriterNeverTakesAnotherWritersRecordWithIt) {
    test_support::TempDir dir;
    const std::string path = dir.File("analisis-socios/reparaciones.jsonl");
    loans::AppendToJournal(Done(), path);
    constexpr int kRecords = 300;
    const auto writer = [&path](bool failing) {
        const pid_t child = ::fork();
        if (child != 0) return child;
        ::signal(SIGXFSZ, SIG_IGN);
        loans::JournalFile journal(path);
        for (int i = 0; i < kRecords; ++i) {
            loans::RepairRecord record = Done();
            record.loan = failing ? -1 : i;
            if (failing) {
                // Room for a few bytes of the line: the write goes in part.
                struct stat info {};
                ::stat(path.c_str(), &info);
                const rlimit limit{static_cast<rlim_t>(info.st_size + 10), RLIM_INFINITY};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            try {
                journal.Append(record);
            } catch (const runtime::EInOutError&) {
                if (!failing) ::_exit(1);
            }
        }
        ::_exit(0);
    };
    const pid_t failing = writer(true);
    const pid_t writing = writer(false);
    for (const pid_t child : {failing, writing}) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<bool> kept(kRecords, false);
    std::istringstream lines(ReadAll(path));
    for (std::string line; std::getline(lines, line);) {
        const loans::RepairRecord record = loans::ParseJournalLine(line);  // whole lines only
        if (record.loan >= 0 && record.loan < kRecords)
            kept[static_cast<size_t>(record.loan)] = true;
    }
    EXPECT_EQ(std::count(kept.begin(), kept.end(), true), kRecords);
}

// The process's resident memory now and at its peak since the last
// ResetPeak, in MB; -1 when the system does not say.
struct Resident {
    long now = -1;
    long peak = -1;
};
Resident ResidentMb() {
    std::ifstream status("/proc/self/status");
    Resident resident;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) resident.now = std::atol(line.c_str() + 6) / 1024;
        if (line.rfind("VmHWM:", 0) == 0) resident.peak = std::atol(line.c_str() + 6) / 1024;
    }
    return resident;
}
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return static_cast<bool>(clear);
}

// F3 lists a loan's records without their undo images: a 25 MB record
// (a loan's every ledger row) costs the listing about its line, not a copy
// per value, and none is kept; the record undone is still read whole.
TEST(RepairJournal, AListReadsLargeRecordsInLittleMemoryAndKeepsNoUndoImage) {
    test_support::TempDir dir;
    const std::string path = dir.File("reparaciones.jsonl");
    constexpr size_t kRows = 500'000;
    // Written by a child process, so that the memory this one measures
    // holds nothing of the writing.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        loans::RepairRecord big = Done();
        big.database_id = "base";
        big.undo.after_fingerprint = "huella";
        big.undo.movements_replaced = true;
        big.undo.movement_columns = {"CLIENTE", "DOCUMENTO", "FECHA", "VALOR", "INTERES"};
        for (size_t row = 0; row < kRows; ++row) {
            loans::ImageRow movement;
            movement.values = {"00010", std::to_string(500000 + row), "2024-06-04", "-5000.125",
                               std::nullopt};
            big.undo.movements.push_back(std::move(movement));
        }
        std::ofstream out(path, std::ios::binary);
        for (const char* id : {"grande-1", "grande-2"}) {
            big.id = id;
            out << loans::JournalLine(big) << '\n';
        }
        loans::RepairRecord small = Done();
        small.id = "corto";
        out << loans::JournalLine(small) << '\n';
        out.close();
        _exit(out ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(std::filesystem::file_size(path), 2u * 20'000'000u);

    const bool measured = ResetPeak();
    const Resident before = ResidentMb();
    const std::vector<loans::RepairRecord> listed = loans::RecordsOf("00010", 1070, path);
    const Resident after = ResidentMb();
    ASSERT_EQ(listed.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(listed[i].undo_kept);
        EXPECT_TRUE(listed[i].undo.movements.empty());
        EXPECT_TRUE(listed[i].undo.after_fingerprint.empty());
    }
    EXPECT_FALSE(listed[2].undo_kept);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The sanitizers hold freed memory back; measured without them.
    if (measured && before.now >= 0) {
        EXPECT_LT(after.peak - before.now, 100) << "MB at the peak of the listing";
        EXPECT_LT(after.now - before.now, 40) << "MB kept after the listing";
    }
#endif
    const std::optional<loans::RepairRecord> whole = loans::FindRecord("grande-2", path);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->undo.movements.size(), kRows);
    EXPECT_EQ(whole->undo.movements.back().values[1], std::to_string(500000 + kRows - 1));
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
