// A long session through the window test driver: ten thousand lookups and
// searches in a row. The driver's resident memory must stay flat; its
// memory and its time per lookup over each thousand are printed as
// "session_<figure> <value> <unit>" lines (bench/run session shows them).
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_database.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

constexpr int kLookups = 10'000;
constexpr int kReadingEvery = 1'000;

// Growth of the resident set allowed between the 1,000th and the 10,000th
// lookup. Measured here: about 12 kB. When every search dialog made its
// button pictures anew, the same run grew by 16.8 MB (about 8 kB per
// search); anything a lookup left behind, a statement, a result buffer, a
// grid row, would cost as much or more.
constexpr long kAllowedGrowthKb = 4 * 1024;

// Name parts of the demo members as an analyst types them (lower case and
// accents included); each finds at least one member.
// (UTF-8, as the driver reads its commands).
const char* const kNameParts[] = {"juan", "MAR\u00cdA", "rosa", "jos\u00e9", "\u00c1NGEL", "luis"};
const char* const kSurnameParts[] = {"p\u00e9rez", "G\u00d3MEZ",   "mart\u00ednez",
                                     "pe\u00f1a",  "S\u00c1NCHEZ", "rodr"};

// The session's commands: one lookup is a code typed (of a member or of
// none) or one whole search (criteria, then a member picked or the dialog
// left). A memory reading follows every thousandth.
struct Session {
    std::string commands;
    int unknown_codes = 0;   // each answers with a box
    int empty_searches = 0;  // likewise
};

Session MakeSession() {
    Session session;
    std::string& out = session.commands;
    out += "memory\n";
    for (int i = 0; i < kLookups; ++i) {
        const int member = 1 + (i * 7) % demo::kMemberCount;  // every member, in a scattered order
        char code[16];
        std::snprintf(code, sizeof code, "%05d", member);
        switch (i % 10) {
            case 1:
                std::snprintf(code, sizeof code, "9%04d", i % 10'000);
                out += std::string("code ") + code + "\n";
                ++session.unknown_codes;
                break;
            case 5:
                out += "code x" + std::to_string(i) + "\n";
                ++session.unknown_codes;
                break;
            case 3:
                out += std::string("search\nfind {\"nombres\": \"") +
                       kNameParts[(i / 10) % std::size(kNameParts)] + "\"}\npick 0\n";
                break;
            case 7:
                out += std::string("search\nfind {\"apellidos\": \"") +
                       kSurnameParts[(i / 10) % std::size(kSurnameParts)] + "\"}\npick 0\n";
                break;
            case 9:
                if ((i / 10) % 2 == 0) {
                    out += "search\nfind {\"empresa\": \"ministerio\"}\nleave\n";
                } else {
                    out += "search\nfind {\"nombres\": \"QQQ\"}\nleave\n";
                    ++session.empty_searches;
                }
                break;
            default:
                out += std::string("code ") + code + "\n";
        }
        if ((i + 1) % kReadingEvery == 0) out += "memory\n";
    }
    out += "dump\nquit\n";
    return session;
}

struct Reading {
    long rss_kb = 0;
    long allocated_kb = 0;
    double ms = 0;
    double cpu_ms = 0;
    int info = 0, confirm = 0, error = 0;
};

TEST(LongSession, TenThousandLookupsThroughTheDriverKeepItsMemoryFlat) {
    test_support::TempDir dir;
    const std::string database = dir.File("demo.fdb");
    test_support::CopyDemoDatabase(database);
    std::ofstream(dir.File("db.ini")) << database << "\n";

    const Session session = MakeSession();
    QProcess driver;
    driver.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_DATA_HOME", QString::fromStdString(dir.File("data")));
    driver.setProcessEnvironment(environment);
    driver.start(COOP_PROBE, {});
    ASSERT_TRUE(driver.waitForStarted());
    driver.write(session.commands.data(), static_cast<qint64>(session.commands.size()));
    driver.closeWriteChannel();
    ASSERT_TRUE(driver.waitForFinished(600'000)) << "the driver did not end";
    ASSERT_EQ(driver.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(driver.exitCode(), 0) << driver.readAllStandardError().toStdString();

    std::vector<Reading> readings;
    QJsonObject last_dump;
    for (const QByteArray& line : driver.readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        EXPECT_FALSE(object.contains("error")) << line.toStdString();
        if (object.contains("memory")) {
            const QJsonObject memory = object["memory"].toObject();
            const QJsonObject boxes = memory["boxes"].toObject();
            readings.push_back({static_cast<long>(memory["rss_kb"].toDouble()),
                                static_cast<long>(memory["allocated_kb"].toDouble()),
                                memory["ms"].toDouble(), memory["cpu_ms"].toDouble(),
                                boxes["info"].toInt(), boxes["confirm"].toInt(),
                                boxes["error"].toInt()});
        } else {
            last_dump = object;
        }
    }
    ASSERT_EQ(readings.size(), 1u + kLookups / kReadingEvery);

    // Every lookup did what it should: the only boxes are the ones that say
    // a code or a search found nobody; no failure was reported.
    int info = 0;
    for (const Reading& reading : readings) {
        info += reading.info;
        EXPECT_EQ(reading.error, 0);
        EXPECT_EQ(reading.confirm, 0);
    }
    EXPECT_EQ(info, session.unknown_codes + session.empty_searches);
    EXPECT_FALSE(last_dump["labels"].toObject()["lbnombre"].toString().isEmpty())
        << "the session ends on a member";

    const long at_first = readings[1].rss_kb;
    const long at_last = readings.back().rss_kb;
    std::printf("session_lookups %d count\n", kLookups);
    std::printf("session_rss_start %ld kB\n", readings[0].rss_kb);
    std::printf("session_rss_at_%d %ld kB\n", kReadingEvery, at_first);
    std::printf("session_rss_at_%d %ld kB\n", kLookups, at_last);
    std::printf("session_rss_growth %ld kB\n", at_last - at_first);
    std::printf("session_allocated_at_%d %ld kB\n", kReadingEvery, readings[1].allocated_kb);
    std::printf("session_allocated_at_%d %ld kB\n", kLookups, readings.back().allocated_kb);
    for (size_t k = 1; k < readings.size(); ++k) {
        std::printf("session_ms_per_lookup_%zu %.3f ms\n", k * kReadingEvery,
                    (readings[k].ms - readings[k - 1].ms) / kReadingEvery);
        std::printf("session_cpu_ms_per_lookup_%zu %.3f ms\n", k * kReadingEvery,
                    (readings[k].cpu_ms - readings[k - 1].cpu_ms) / kReadingEvery);
    }
    std::fflush(stdout);
    EXPECT_LT(at_last - at_first, kAllowedGrowthKb)
        << "resident set " << at_first << " kB after " << kReadingEvery << " lookups, " << at_last
        << " kB after " << kLookups;
}

}  // namespace
