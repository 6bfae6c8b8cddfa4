// At twice the pixel density (QT_SCALE_FACTOR=2) the window is drawn at
// twice its pixels, not magnified, and the pictures have a size for it.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>

#include "customer_search/customer_search_dialog.h"
#include "tests/support/test_database.h"

// At global scope: the macro declares the resource library's initialiser.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

// The window as the driver dumps and pictures it at the given scale.
struct DriverRun {
    QJsonObject state;
    QImage shot;
};

DriverRun DriveAtScale(const test_support::TempDir& dir, const char* scale) {
    QProcess driver;
    driver.setWorkingDirectory(QString::fromStdString(dir.Path().string()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_SCALE_FACTOR", scale);
    driver.setProcessEnvironment(environment);
    driver.start(COOP_PROBE, {});
    EXPECT_TRUE(driver.waitForStarted());
    const std::string shot = dir.File(std::string("shot-") + scale + ".png");
    driver.write(("code 00001\nshot " + shot + "\ndump\nquit\n").c_str());
    driver.closeWriteChannel();
    EXPECT_TRUE(driver.waitForFinished(30000));
    DriverRun run;
    run.state = QJsonDocument::fromJson(driver.readAllStandardOutput().split('\n')[0]).object();
    run.shot = QImage(QString::fromStdString(shot));
    return run;
}

TEST(HighResolution, AtScaleTwoTheWindowHasTwiceThePixelsAndTheSameContent) {
    test_support::TempDir dir;
    test_support::CopyDemoDatabase(dir.File("demo.fdb"));
    std::ofstream(dir.File("db.ini")) << dir.File("demo.fdb") << "\n";
    const DriverRun normal = DriveAtScale(dir, "1");
    const DriverRun doubled = DriveAtScale(dir, "2");
    ASSERT_FALSE(normal.shot.isNull());
    ASSERT_FALSE(doubled.shot.isNull());
    EXPECT_EQ(doubled.shot.size(), normal.shot.size() * 2);
    EXPECT_EQ(doubled.state, normal.state);  // texts, grids and focus alike
    EXPECT_EQ(normal.state["labels"].toObject()["lbnombre"].toString().isEmpty(), false);
}

TEST(HighResolution, ButtonPicturesHaveTwiceTheirSizeForDenseScreens) {
    InitResources();
    for (const char* name : {"buscar", "limpiar", "escoger", "salir"}) {
        const QIcon icon = customer_search::ButtonPicture(name);
        const QImage drawn = icon.pixmap(QSize(16, 16), 2.0).toImage();
        const QImage own = QImage(QString(":/buttons/%1@2x.png").arg(name));
        ASSERT_FALSE(own.isNull()) << name;
        EXPECT_EQ(drawn.size(), QSize(32, 32)) << name;
        EXPECT_EQ(drawn.convertToFormat(QImage::Format_ARGB32),
                  own.convertToFormat(QImage::Format_ARGB32))
            << name << ": the 32-pixel picture, not the small one enlarged";
    }
}

}  // namespace
