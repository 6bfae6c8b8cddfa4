#include "ui/message_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <map>
#include <span>
#include <string_view>
#include <utility>

#include "ui/application_title.h"
#include "ui/latin1_text.h"
#include "ui/message_copy_text.h"
#include "ui/message_layout.h"
#include "ui/modal_result.h"

namespace ui {

namespace {

struct ButtonChoice {
    const char* caption;
    int result;
};

constexpr ButtonChoice kOkButtons[] = {{"OK", kModalOk}};
constexpr ButtonChoice kYesNoButtons[] = {{"&Yes", kModalYes}, {"&No", kModalNo}};

constexpr int kIconSize = 32;
constexpr int kFallbackScreenWidth = 640;

// Captions are measured the first time they are shown and the widths kept
// for the rest of the run.
int CaptionWidth(const QFontMetrics& metrics, const std::string& caption) {
    static std::map<std::string, int> widths;
    auto [it, inserted] = widths.try_emplace(caption, 0);
    if (inserted) it->second = metrics.horizontalAdvance(ToQString(StripAccelerator(caption)));
    return it->second;
}

// Callers break lines with a bare CR as well as CR LF (the connection
// failure text does); Qt only breaks at LF.
QString DisplayText(std::string_view message) {
    std::string text;
    text.reserve(message.size());
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r') {
            text += '\n';
            if (i + 1 < message.size() && message[i + 1] == '\n') ++i;
        } else {
            text += message[i];
        }
    }
    return ToQString(text);
}

int HalfScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return (screen ? screen->geometry().width() : kFallbackScreenWidth) / 2;
}

}  // namespace

MessageDialog::MessageDialog(MessageKind kind, std::string message, QWidget* parent)
    : QDialog(parent), message_(std::move(message)) {
    const bool confirmation = kind == MessageKind::kConfirmation;
    title_ = confirmation ? "Confirm" : ApplicationTitle();
    setWindowTitle(ToQString(title_));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const QFont font = QApplication::font("QMessageBox");
    setFont(font);
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

    const auto buttons = confirmation ? std::span<const ButtonChoice>(kYesNoButtons)
                                      : std::span<const ButtonChoice>(kOkButtons);
    MessageMeasures measures;
    measures.char_width = metrics.horizontalAdvance(letters) / static_cast<int>(letters.size());
    measures.char_height = metrics.height();
    measures.button_count = static_cast<int>(buttons.size());
    for (const ButtonChoice& button : buttons) {
        captions_.emplace_back(button.caption);
        measures.widest_caption =
            std::max(measures.widest_caption, CaptionWidth(metrics, captions_.back()));
    }
    const QString text = DisplayText(message_);
    measures.text = metrics
                        .boundingRect(QRect(0, 0, HalfScreenWidth(), 0),
                                      Qt::TextWordWrap | Qt::TextExpandTabs, text)
                        .size();
    measures.has_icon = confirmation;
    const MessageLayout layout = LayOutMessage(measures);

    if (confirmation) {
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("icon"));
        icon->setPixmap(style()
                            ->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this)
                            .pixmap(kIconSize, kIconSize));
        icon->setGeometry(layout.icon);
    }
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("message"));
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(text);
    label->setGeometry(layout.text);

    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(ToQString(buttons[i].caption), this);
        button->setFont(font);
        button->setGeometry(layout.buttons[i]);
        const int result = buttons[i].result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        // The first button is the default one (Enter) and has the focus;
        // the last one answers Escape.
        if (i == 0) {
            button->setDefault(true);
            button->setFocus();
        }
        cancel_button_ = button;
    }

    setFixedSize(layout.client);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - layout.client.width()) / 2,
             area.y() + (area.height() - layout.client.height()) / 2);
    }
}

void MessageDialog::reject() {
    done(kModalCancel);
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_C && (event->modifiers() & Qt::ControlModifier)) {
        QApplication::beep();
        QGuiApplication::clipboard()->setText(
            ToQString(MessageCopyText(title_, message_, captions_)));
        return;
    }
    // QDialog would reject (the title-bar result); Escape presses the
    // cancel button instead.
    if (event->matches(QKeySequence::Cancel)) {
        cancel_button_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

int ShowMessageDialog(MessageKind kind, const std::string& message) {
    MessageDialog dialog(kind, message);
    return dialog.exec();
}

}  // namespace ui
