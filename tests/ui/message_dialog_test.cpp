#include "ui/message_dialog.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "tests/ui/ui_test_support.h"
#include "ui/application_title.h"
#include "ui/window_responder.h"

namespace ui {
namespace {

using testing::KeyTarget;
using testing::RecordingResponder;
using testing::WhenModalOpens;

// The dialog units worked out on their own from the message font.
struct Units {
    explicit Units(const char* latin1_text) : metrics(QApplication::font("QMessageBox")) {
        w = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
        h = metrics.height();
        text =
            metrics
                .boundingRect(QRect(0, 0, HalfScreen(), 0), Qt::TextWordWrap | Qt::TextExpandTabs,
                              QString::fromLatin1(latin1_text))
                .size();
    }
    static int HalfScreen() { return QGuiApplication::primaryScreen()->geometry().width() / 2; }
    static int Scale(int a, int b, int c) { return int(std::floor(double(a) * b / c + 0.5)); }
    int ButtonWidth(std::initializer_list<const char*> captions) const {
        int widest = 0;
        for (const char* c : captions)
            widest = std::max(widest, metrics.horizontalAdvance(QString(c).remove('&')));
        return std::max(Scale(50, w, 4), widest + 8);
    }

    QFontMetrics metrics;
    int w = 0, h = 0;
    QSize text;
};

std::vector<QPushButton*> ButtonsLeftToRight(const QWidget& dialog) {
    auto list = dialog.findChildren<QPushButton*>();
    std::vector<QPushButton*> buttons(list.begin(), list.end());
    std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    return buttons;
}

TEST(MessageDialogLayout, ConfirmationPlacesIconTextAndTwoCentredButtons) {
    const char* message = "\xBFReindexar el pr\xE9stamo?";
    const Units u(message);
    const int mx = u.Scale(8, u.w, 4), my = u.Scale(8, u.h, 8), sx = u.Scale(10, u.w, 4);
    const int sy = u.Scale(10, u.h, 8), bh = u.Scale(14, u.h, 8), bs = u.Scale(4, u.w, 4);
    const int bw = u.ButtonWidth({"&Yes", "&No"});
    const int body_height = std::max(u.text.height(), 32);
    const QSize client(std::max(u.text.width() + 32 + sx, 2 * bw + bs) + 2 * mx,
                       body_height + bh + sy + 2 * my);

    MessageDialog dialog(MessageKind::kConfirmation, message);
    EXPECT_EQ(dialog.size(), client);
    EXPECT_EQ(dialog.maximumSize(), client);
    EXPECT_EQ(dialog.windowTitle(), "Confirm");
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(dialog.pos(), QPoint((screen.width() - client.width()) / 2,
                                   (screen.height() - client.height()) / 2));

    auto* icon = dialog.findChild<QLabel*>("icon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->geometry(), QRect(mx, my, 32, 32));
    EXPECT_FALSE(icon->pixmap().isNull());
    auto* text = dialog.findChild<QLabel*>("message");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(QPoint(mx + 32 + sx, my), u.text));
    EXPECT_EQ(text->text(), QString::fromLatin1(message));

    const auto buttons = ButtonsLeftToRight(dialog);
    ASSERT_EQ(buttons.size(), 2u);
    const int left = (client.width() - (2 * bw + bs)) / 2, top = body_height + my + sy;
    EXPECT_EQ(buttons[0]->text(), "&Yes");
    EXPECT_EQ(buttons[0]->geometry(), QRect(left, top, bw, bh));
    EXPECT_TRUE(buttons[0]->isDefault());
    EXPECT_EQ(buttons[1]->text(), "&No");
    EXPECT_EQ(buttons[1]->geometry(), QRect(left + bw + bs, top, bw, bh));
}

TEST(MessageDialogLayout, LongInformationWrapsAtHalfTheScreenAndGrowsInHeight) {
    std::string message;
    for (int i = 0; i < 80; ++i) message += "Movimiento recalculado ";
    const Units u(message.c_str());
    ASSERT_LE(u.text.width(), u.HalfScreen());
    ASSERT_GT(u.text.height(), 3 * u.h);
    const int mx = u.Scale(8, u.w, 4), my = u.Scale(8, u.h, 8), sy = u.Scale(10, u.h, 8);
    const int bh = u.Scale(14, u.h, 8), bw = u.ButtonWidth({"OK"});
    const QSize client(std::max(u.text.width(), bw) + 2 * mx, u.text.height() + bh + sy + 2 * my);

    SetApplicationTitle("QuilmaCOOP - An\xE1lisis de Clientes");
    MessageDialog dialog(MessageKind::kInformation, message);
    EXPECT_EQ(dialog.size(), client);
    EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1("QuilmaCOOP - An\xE1lisis de Clientes"));
    EXPECT_EQ(dialog.findChild<QLabel*>("icon"), nullptr);
    auto* text = dialog.findChild<QLabel*>("message");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->geometry(), QRect(QPoint(mx, my), u.text));
    // The label wraps the way the text was measured: nothing is cut off.
    EXPECT_LE(text->heightForWidth(text->width()), text->height());
    const auto buttons = ButtonsLeftToRight(dialog);
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_EQ(buttons[0]->text(), "OK");
    EXPECT_EQ(buttons[0]->geometry(),
              QRect((client.width() - bw) / 2, u.text.height() + my + sy, bw, bh));
}

TEST(MessageDialogLayout, BareCarriageReturnBreaksTheLine) {
    // The connection failure text separates its two sentences with CR alone.
    MessageDialog dialog(MessageKind::kInformation,
                         "Error de conexion a la base de datos x\rLa "
                         "aplicacion no podra ser ejecutada");
    const Units u("Error de conexion a la base de datos x\nLa aplicacion no podra ser ejecutada");
    EXPECT_EQ(dialog.findChild<QLabel*>("message")->size(), u.text);
    EXPECT_GE(u.text.height(), 2 * u.h);
}

TEST(MessageDialogKeys, ButtonsAcceleratorsEnterEscapeAndTheCloseBoxGiveTheirResults) {
    using Keys = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const struct {
        const char* what;
        MessageKind kind;
        Keys keys;  // none: closed from the title bar
        int expected;
    } rows[] = {
        {"Enter", MessageKind::kConfirmation, {{Qt::Key_Return, none}}, kModalYes},
        {"Escape", MessageKind::kConfirmation, {{Qt::Key_Escape, none}}, kModalNo},
        {"Alt+N", MessageKind::kConfirmation, {{Qt::Key_N, Qt::AltModifier}}, kModalNo},
        {"Alt+Y", MessageKind::kConfirmation, {{Qt::Key_Y, Qt::AltModifier}}, kModalYes},
        {"Tab, Enter",
         MessageKind::kConfirmation,
         {{Qt::Key_Tab, none}, {Qt::Key_Return, none}},
         kModalNo},
        {"close box", MessageKind::kConfirmation, {}, kModalCancel},
        {"Enter", MessageKind::kInformation, {{Qt::Key_Return, none}}, kModalOk},
        {"Escape", MessageKind::kInformation, {{Qt::Key_Escape, none}}, kModalOk},
        {"close box", MessageKind::kInformation, {}, kModalCancel},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        MessageDialog dialog(row.kind, "Pregunta");
        WhenModalOpens([&row](QWidget* modal) {
            for (const auto& [key, modifiers] : row.keys)
                QTest::keyClick(KeyTarget(modal), key, modifiers);
            if (row.keys.empty()) modal->close();
        });
        EXPECT_EQ(dialog.exec(), row.expected);
    }
}

TEST(MessageDialogKeys, CtrlCCopiesTheWholeDialogAndLeavesItOpen) {
    MessageDialog dialog(MessageKind::kConfirmation,
                         "\xBF"
                         "Corregir la tabla del pr\xE9stamo 15?");
    QGuiApplication::clipboard()->clear();
    bool open_after_copy = false;
    WhenModalOpens([&](QWidget* modal) {
        QTest::keyClick(KeyTarget(modal), Qt::Key_C, Qt::ControlModifier);
        open_after_copy = modal->isVisible();
        QTest::keyClick(KeyTarget(modal), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), kModalNo);
    EXPECT_TRUE(open_after_copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toLatin1().toStdString(),
              "---------------------------\r\n"
              "Confirm\r\n"
              "---------------------------\r\n"
              "\xBF"
              "Corregir la tabla del pr\xE9stamo 15?\r\n"
              "---------------------------\r\n"
              "Yes   No   \r\n"
              "---------------------------\r\n");
}

TEST(DialogResponder, EntryPointsGoToTheInstalledResponderUntilItIsRemoved) {
    {
        RecordingResponder recorder({kModalYes, kModalCancel});
        ShowMessage("Proceso Ejecutado");
        EXPECT_EQ(MessageDlgConfirm("\xBFReindexar?"), kModalYes);
        EXPECT_EQ(MessageDlgConfirm("\xBF"
                                    "Corregir?"),
                  kModalCancel);
        ASSERT_EQ(recorder.shown.size(), 3u);
        EXPECT_EQ(recorder.shown[0].kind + ":" + recorder.shown[0].text,
                  "information:Proceso Ejecutado");
        EXPECT_EQ(recorder.shown[2].kind + ":" + recorder.shown[2].text,
                  "confirmation:\xBF"
                  "Corregir?");
    }
    ASSERT_NE(dynamic_cast<WindowResponder*>(&CurrentDialogResponder()), nullptr);
    WhenModalOpens([](QWidget* modal) { QTest::keyClick(KeyTarget(modal), Qt::Key_Escape); });
    EXPECT_EQ(MessageDlgConfirm("\xBFReindexar?"), kModalNo);
}

}  // namespace
}  // namespace ui
