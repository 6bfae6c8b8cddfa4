#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <stdexcept>

#include "runtime/exception.h"
#include "tests/ui/ui_test_support.h"
#include "ui/application_error.h"
#include "ui/application_title.h"
#include "ui/guard.h"

namespace ui {
namespace {

using testing::RecordingResponder;
using testing::WhenModalOpens;

// Stands for the database layer's client-side error.
class EIBClientError : public runtime::Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EIBClientError"; }
};

const char kLibraryMissing[] =
    "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
    "functionality";

bool Matches(const std::string& text, const char* pattern) {
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    return expression.match(QString::fromLatin1(text.c_str())).hasMatch();
}

TEST(FullStop, IsAddedOnlyAfterCharactersAboveTheFullStop) {
    const struct {
        const char* message;
        const char* shown;
    } rows[] = {
        {"No existen socios con este codigo: 0001", "No existen socios con este codigo: 0001."},
        // Accented letters are above 127: compared as unsigned they still get one.
        {"Campo inv\xE1lido: c\xF3", "Campo inv\xE1lido: c\xF3."},
        {"\xBF"
         "Continuar?",
         "\xBF"
         "Continuar?."},
        {"Proceso terminado.", "Proceso terminado."},
        {"Error (codigo 5)", "Error (codigo 5)"},
        {"termina en blanco ", "termina en blanco "},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(WithFullStop(row.message), row.shown) << row.message;
}

TEST(ExceptionReport, ShowsTheMessageWithItsFullStopUnderTheApplicationTitle) {
    RecordingResponder recorder;
    SetApplicationTitle("QuilmaCOOP - Analisis de Clientes");
    bool ran_before_failure = false;
    Guard([&] {
        ran_before_failure = true;
        throw runtime::EConvertError("'12a' is not a valid integer value");
    });
    EXPECT_TRUE(ran_before_failure);
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].title, "QuilmaCOOP - Analisis de Clientes");
    EXPECT_EQ(recorder.shown[0].text, "'12a' is not a valid integer value.");
}

TEST(ExceptionReport, SilentAbortShowsNothingOnAnyPath) {
    RecordingResponder recorder;
    Guard([] { throw runtime::EAbort(); });
    ShowApplicationError(std::make_exception_ptr(runtime::EAbort()));
    EXPECT_TRUE(recorder.shown.empty());
}

TEST(ExceptionReport, ForeignObjectsGetTheApplicationErrorBoxWithTheirTypeName) {
    RecordingResponder recorder;
    Guard([] { throw std::out_of_range("vector"); });
    Guard([] { throw 42; });
    ASSERT_EQ(recorder.shown.size(), 2u);
    EXPECT_EQ(recorder.shown[0].title, "Application Error");
    EXPECT_TRUE(
        Matches(recorder.shown[0].text,
                "Exception std::out_of_range in module ui_tests at [0-9A-F]{8,}\\.\r\n\r\n"))
        << recorder.shown[0].text;
    EXPECT_TRUE(Matches(recorder.shown[1].text,
                        "Exception int in module ui_tests at [0-9A-F]{8,}\\.\r\n\r\n"))
        << recorder.shown[1].text;
}

TEST(ApplicationError, StartupFailureNamesClassModuleAddressAndMessage) {
    EXPECT_EQ(
        ApplicationErrorText("EIBClientError", "analisis-socios", 0x0040A1B2, kLibraryMissing),
        "Exception EIBClientError in module analisis-socios at 0040A1B2.\r\n"
        "InterBase library gds32.dll not found in the path. Please install InterBase to "
        "use this functionality.\r\n");

    RecordingResponder recorder;
    ShowApplicationError(std::make_exception_ptr(EIBClientError(kLibraryMissing)));
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(recorder.shown[0].title, "Application Error");
    EXPECT_TRUE(Matches(recorder.shown[0].text,
                        "Exception EIBClientError in module ui_tests at [0-9A-F]{8,}\\.\r\n"
                        "InterBase library gds32\\.dll .* functionality\\.\r\n"))
        << recorder.shown[0].text;
}

TEST(ExceptionReport, RealBoxIsModalWithStopIconAndGivesTheFocusBack) {
    SetApplicationTitle("QuilmaCOOP - Analisis de Clientes");
    QWidget window;
    auto* edit = new QLineEdit;
    auto* button = new QPushButton("Reindexar");
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(button);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    button->grabMouse();  // as during a drag

    bool grab_released = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    Qt::WindowModality modality = Qt::NonModal;
    WhenModalOpens([&](QWidget* modal) {
        grab_released = QWidget::mouseGrabber() == nullptr;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons().size();
            modality = box->windowModality();
        }
        QTest::keyClick(modal, Qt::Key_Return);
    });
    Guard([] { throw runtime::Exception("Sin conexi\xF3n con el servidor"); });

    EXPECT_TRUE(grab_released);
    EXPECT_EQ(title, "QuilmaCOOP - Analisis de Clientes");
    EXPECT_EQ(text, QString::fromLatin1("Sin conexi\xF3n con el servidor."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

}  // namespace
}  // namespace ui
