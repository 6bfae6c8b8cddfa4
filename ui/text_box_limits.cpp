#include "ui/text_box_limits.h"

#include <QLineEdit>
#include <QValidator>

namespace ui {
namespace {

constexpr char16_t kLastLatin1 = 0xFF;

class Latin1Validator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        for (const QChar c : input) {
            if (c.unicode() > kLastLatin1) return Invalid;
        }
        return Acceptable;
    }
};

}  // namespace

void LimitToColumn(QLineEdit* edit, int column_length) {
    edit->setMaxLength(column_length);
    edit->setValidator(new Latin1Validator(edit));
}

QString UpperCaseInCharacterSet(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        const QChar capital = c.toUpper();
        if (capital.unicode() <= kLastLatin1) c = capital;
    }
    return upper;
}

void ForceUpperCase(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const QString upper = UpperCaseInCharacterSet(text);
        if (upper == text) return;
        const int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    });
}

}  // namespace ui
