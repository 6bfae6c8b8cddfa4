#pragma once

#include <optional>
#include <string>

class QPrinter;

namespace ui {

// Every message box and confirmation of the program goes through one
// responder. The one in place by default shows the windows; another can be
// installed to answer them without a person. Texts are ISO8859_1 bytes.
class DialogResponder {
  public:
    virtual ~DialogResponder() = default;

    // The information box: returns once the user has dismissed it.
    virtual void Information(const std::string& text) = 0;

    // The confirmation dialog: kModalYes, kModalNo, or kModalCancel when it
    // was closed from the title bar.
    virtual int Confirmation(const std::string& text) = 0;

    // A box with the stop icon and a single OK button: the exception report
    // (titled with the application title) and the "Application Error" box.
    virtual void Error(const std::string& title, const std::string& text) = 0;

    // The print dialog for `printer`: true when the user chose to print,
    // the printer then set to the chosen device or PDF file. A responder
    // with nobody to ask prints nothing.
    virtual bool PrintSetup(QPrinter& printer);

    // Asks for a line of text (a rejection's reason): what was typed, or
    // nothing when the user cancelled. A responder with nobody to ask
    // answers nothing.
    virtual std::optional<std::string> TextInput(const std::string& title,
                                                 const std::string& prompt);
};

// The responder in use. Installing nullptr puts back the one that shows
// windows; the caller keeps ownership of what it installs.
DialogResponder& CurrentDialogResponder();
void SetDialogResponder(DialogResponder* responder);

// The information box.
void ShowMessage(const std::string& text);

// The confirmation dialog; callers go on only on kModalYes.
int MessageDlgConfirm(const std::string& text);

// The print dialog; callers print only on true.
bool PrintSetup(QPrinter& printer);

// A line of text asked for; nothing when cancelled.
std::optional<std::string> AskText(const std::string& title, const std::string& prompt);

}  // namespace ui
