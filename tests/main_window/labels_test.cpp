// No label of the main window hides part of its text: the totals of a loan
// with every payment kind, and the banner of an inactive member whose loan
// does not balance.
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <memory>

#include "main_window/code_box.h"
#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

// Where the label's text is drawn, in window coordinates.
QRect TextRect(const QLabel& label, const QWidget& window) {
    const QRect contents = label.contentsRect();
    const int flags = label.wordWrap() ? Qt::TextWordWrap : 0;
    const QRect room(0, 0, label.wordWrap() ? contents.width() : 100000, 100000);
    QRect text = label.fontMetrics().boundingRect(room, flags, label.text());
    text.moveTop(contents.top());
    text.moveLeft(label.alignment() & Qt::AlignRight ? contents.right() - text.width() + 1
                                                     : contents.left());
    return QRect(label.mapTo(&window, text.topLeft()), text.size());
}

class LabelsTest : public WindowTest {
  protected:
    void ExpectNothingCut(const std::string& what) {
        main_window::TFmain& w = *window_;
        const std::vector<QLabel*> labels = Window().LayoutLabels();
        const std::vector<QWidget*> controls = Window().LayoutControls();
        std::vector<std::pair<QLabel*, QRect>> shown;
        for (QLabel* label : labels) {
            if (!label->isVisibleTo(&w) || label->text().isEmpty()) continue;
            const std::string name = label->objectName().toStdString();
            const QRect text = TextRect(*label, w);
            const QRect own(label->mapTo(&w, label->contentsRect().topLeft()),
                            label->contentsRect().size());
            EXPECT_TRUE(own.contains(text))
                << what << ": " << name << " needs " << text.width() << "x" << text.height()
                << ", has " << own.width() << "x" << own.height();
            const QWidget* parent = label->parentWidget();
            const QRect room(parent->mapTo(&w, QPoint(0, 0)), parent->size());
            EXPECT_TRUE(room.contains(text)) << what << ": " << name << " leaves its parent";
            for (QWidget* control : controls) {
                if (!control->isVisibleTo(&w) || control->isAncestorOf(label)) continue;
                const QRect other(control->mapTo(&w, QPoint(0, 0)), control->size());
                EXPECT_FALSE(other.intersects(text))
                    << what << ": " << name << " runs into " << control->objectName().toStdString();
            }
            for (const auto& [before, rect] : shown) {
                EXPECT_FALSE(rect.intersects(text))
                    << what << ": " << name << " runs into " << before->objectName().toStdString();
            }
            shown.emplace_back(label, text);
        }
    }
};

TEST_F(LabelsTest, EveryPaymentKindOfALoanFitsInItsTotals) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});
    window_->MakeLoanCurrent(demo::kLoanActive);
    const QJsonObject state = Do({});
    const std::string payments = Label(state, "lbtot2");
    for (const char* kind : {"Recibos Ingreso=", "Notas Credito=", "Nominas=", "Compensacion="}) {
        EXPECT_NE(payments.find(kind), std::string::npos) << payments;
    }
    ExpectNothingCut("all four payment kinds");
}

TEST_F(LabelsTest, InactiveBannerAndMismatchMessageStayAboveTheMemberBox) {
    test_support::RawConnection(database_).Execute(
        std::string("update clientes set clt_estatus = 'I' where clt_codigo = '") +
        demo::kMemberMismatch + "'");
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    window_->MakeLoanCurrent(demo::kLoanMismatchMissingDocs);
    const QJsonObject state = Do({});
    const QJsonObject banner = state["lbmensajes"].toObject();
    ASSERT_TRUE(banner["visible"].toBool());
    const std::string text = Text(banner["text"]);
    EXPECT_EQ(text.rfind(" *** SOCIO INACTIVO *** \rERROR!! ", 0), 0u) << text;
    ExpectNothingCut("inactive member, mismatched loan");
}

// Qt's own texts follow the system's language: the code box's context menu
// is Spanish on a Spanish system (this test runs once more under
// LANG=es_ES.UTF-8) and stays as Qt writes it on any other.
TEST_F(WindowTest, TheCodeBoxsContextMenuSpeaksTheSystemsLanguage) {
    Start();
    std::unique_ptr<QMenu> menu(Window().CodeBox()->createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) texts << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    if (QLocale::system().language() == QLocale::Spanish) {
        EXPECT_TRUE(texts.contains(QStringLiteral("&Deshacer"))) << texts.join('|').toStdString();
        EXPECT_TRUE(texts.contains(QStringLiteral("&Pegar"))) << texts.join('|').toStdString();
    } else {
        EXPECT_TRUE(texts.contains(QStringLiteral("&Undo"))) << texts.join('|').toStdString();
        EXPECT_TRUE(texts.contains(QStringLiteral("&Paste"))) << texts.join('|').toStdString();
    }
}

}  // namespace
