#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

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
