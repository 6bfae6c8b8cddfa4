#pragma once

class QLineEdit;
class QString;

namespace ui {

// Every text of the program is ISO8859_1: an edit box refuses, as they are
// typed or pasted, characters outside it (the server would store them as
// "?") and text longer than the column it fills (the server would refuse
// the whole statement).
void LimitToColumn(QLineEdit* edit, int column_length);

// Upper-cases the box's text as it is typed or pasted, only where the
// capital is one character of ISO8859_1 ("ß", "ÿ" and "µ" stay as they
// are), so the text keeps its length and the cursor stays where it was.
void ForceUpperCase(QLineEdit* edit);

// The upper case ForceUpperCase gives.
QString UpperCaseInCharacterSet(const QString& text);

}  // namespace ui
