#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

namespace {

// A missing client library ends the program before any window, with the
// last-resort box and exit code 1.
TEST(Startup, MissingClientLibraryGivesTheLastResortBoxAndExitCodeOne) {
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_LIBRARY_PATH", COOP_BROKEN_CLIENT_DIR);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    driver.setProcessEnvironment(environment);
    driver.start(COOP_PROBE, {});
    ASSERT_TRUE(driver.waitForStarted());
    driver.write("dump\nquit\n");
    driver.closeWriteChannel();
    ASSERT_TRUE(driver.waitForFinished(20000));
    EXPECT_EQ(driver.exitCode(), 1);
    const std::string out = driver.readAllStandardOutput().toStdString();
    EXPECT_NE(out.find("\"kind\":\"error\""), std::string::npos) << out;
    EXPECT_NE(out.find("Exception EIBClientError in module coop-probe at "), std::string::npos)
        << out;
    EXPECT_NE(out.find("InterBase library libfbclient.so.2 not found in the path. Please install "
                       "InterBase to use this functionality.\\r\\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("\"edsocio\""), std::string::npos) << "no window may have been shown";
}

}  // namespace

#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>

#include "tests/support/test_database.h"
#include "tools/demo_db/demo_database.h"

namespace {

// The driver binary as a tester runs it: from a folder with a db.ini.
TEST(Startup, DriverAnswersTheFirstDumpWithTheEmptyWindow) {
    test_support::TempDir dir;
    demo::CreateCoopDatabase(dir.File("demo.fdb"));
    std::ofstream(dir.File("db.ini")) << dir.File("demo.fdb") << "\n";
    QProcess driver;
    driver.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    driver.setProcessEnvironment(environment);
    driver.start(COOP_PROBE, {});
    ASSERT_TRUE(driver.waitForStarted());
    driver.write("dump\nnonsense\nquit\n");
    driver.closeWriteChannel();
    ASSERT_TRUE(driver.waitForFinished(20000));
    EXPECT_EQ(driver.exitCode(), 0);
    const QList<QByteArray> lines = driver.readAllStandardOutput().split('\n');
    ASSERT_GE(lines.size(), 2);
    const QJsonObject state = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(state["edsocio"].toString(), "");
    EXPECT_EQ(state["focus"].toString(), "edsocio");
    EXPECT_EQ(state["labels"].toObject()["lbbal"].toString(), "Balance CXC");
    EXPECT_TRUE(state["messages"].toArray().isEmpty());
    const QJsonObject bad = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(bad["error"].toString(), "unknown command: nonsense");
}

}  // namespace

namespace {

// The program itself and its window driver, on a demo database reached each
// way, ended by each signal an operator or a session manager sends: each
// closes its window and connection and exits with the shell's code for the
// signal, never a crash.
TEST(Startup, TerminationSignalsEndTheProgramCleanlyOnBothRoutes) {
    std::vector<test_support::Route> routes = {test_support::Route::kEmbedded};
    if (test_support::ServerUnavailable().empty()) routes.push_back(test_support::Route::kServer);
    for (const test_support::Route route : routes) {
        for (const int signal_number : {SIGTERM, SIGINT}) {
            SCOPED_TRACE(std::string(test_support::RouteName(route)) + " signal " +
                         std::to_string(signal_number));
            test_support::TempDir dir;
            demo::CreateCoopDatabase(dir.File("demo.fdb"));
            std::ofstream(dir.File("db.ini"))
                << test_support::DatabaseName(route, dir.File("demo.fdb")) << "\n";
            QProcess program;
            program.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            program.setProcessEnvironment(environment);
            program.start(COOP_PROGRAM, {});
            ASSERT_TRUE(program.waitForStarted());
            // Long enough to be connected and idle in its event loop.
            EXPECT_FALSE(program.waitForFinished(2500)) << program.readAllStandardError().data();
            ::kill(static_cast<pid_t>(program.processId()), signal_number);
            ASSERT_TRUE(program.waitForFinished(15000));
            EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(program.exitCode(), 128 + signal_number)
                << program.readAllStandardError().data();

            // The window driver ends the same way, after a lookup, waiting
            // for its next command.
            QProcess driver;
            driver.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
            driver.setProcessEnvironment(environment);
            driver.start(COOP_PROBE, {});
            ASSERT_TRUE(driver.waitForStarted());
            driver.write("code 00001\ndump\n");
            ASSERT_TRUE(driver.waitForReadyRead(20000)) << driver.readAllStandardError().data();
            ::kill(static_cast<pid_t>(driver.processId()), signal_number);
            ASSERT_TRUE(driver.waitForFinished(15000));
            EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(driver.exitCode(), 128 + signal_number)
                << driver.readAllStandardError().data();
        }
    }
}

}  // namespace
