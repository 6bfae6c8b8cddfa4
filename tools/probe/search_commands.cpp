// The member search dialog's commands.
#include "tools/probe/search_commands.h"

#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "customer_search/customer_search_dialog.h"
#include "tools/probe/driver.h"
#include "tools/probe/gestures.h"
#include "tools/probe/state_json.h"
#include "tools/probe/window_commands.h"

namespace probe {
namespace {

using customer_search::TFclientes;
// Returns false when the command ends the dialog's loop.
using SearchHandler = bool (*)(Driver&, TFclientes&, const std::string& rest);

bool Dump(Driver& driver, TFclientes&, const std::string&) {
    driver.Settle();
    driver.Write(WindowState(driver));
    return true;
}

bool AsInWindow(Driver& driver, TFclientes&, const std::string& rest) {
    Answer(driver, rest);
    return true;
}

bool ReadMemory(Driver& driver, TFclientes&, const std::string& rest) {
    Memory(driver, rest);
    return true;
}

bool Find(Driver& driver, TFclientes& dialog, const std::string& rest) {
    const QJsonDocument criteria = QJsonDocument::fromJson(QByteArray::fromStdString(rest));
    if (!criteria.isObject()) {
        driver.Error("find needs a JSON object: " + rest);
        return true;
    }
    const std::pair<const char*, QLineEdit*> boxes[] = {
        {"codigo", dialog.edcodigo},       {"nombres", dialog.ednombres},
        {"apellidos", dialog.edapellidos}, {"telefono", dialog.edtelefono},
        {"cedula", dialog.edcedula},       {"empresa", dialog.edempresa},
    };
    for (const QString& key : criteria.object().keys()) {
        QLineEdit* box = nullptr;
        for (const auto& [name, edit] : boxes) {
            if (key == QLatin1String(name)) box = edit;
        }
        if (box == nullptr) {
            driver.Error("unknown search box: " + key.toStdString());
            return true;
        }
        box->setFocus();
        box->clear();
        TypeText(box, criteria.object()[key].toString());
    }
    QTest::mouseClick(dialog.btbuscar, Qt::LeftButton);
    driver.Settle();
    return true;
}

bool Pick(Driver& driver, TFclientes& dialog, const std::string& rest) {
    long row = 0;
    if (!ReadRow(rest, row)) {
        driver.Error("pick needs a row number: " + rest);
        return true;
    }
    if (dialog.gridclt->DataSet()->Active() && !ClickRow(*dialog.gridclt, row)) {
        driver.Error("member row not in view: " + rest);
        return true;
    }
    QTest::mouseClick(dialog.btescoger, Qt::LeftButton);
    driver.Settle();
    return true;
}

bool Leave(Driver& driver, TFclientes& dialog, const std::string&) {
    QTest::mouseClick(dialog.btsalir, Qt::LeftButton);
    driver.Settle();
    return true;
}

// Ends the run: the dialog is left with Salir first.
bool Quit(Driver& driver, TFclientes& dialog, const std::string&) {
    QTest::mouseClick(dialog.btsalir, Qt::LeftButton);
    driver.quit = true;
    return false;
}

bool WindowOnly(Driver& driver, TFclientes&, const std::string&) {
    driver.Error("the search dialog is open: use find, pick, leave, answer or dump");
    return true;
}

constexpr Command<SearchHandler> kSearchCommands[] = {
    {"dump", Dump},       {"answer", AsInWindow}, {"memory", ReadMemory}, {"find", Find},
    {"pick", Pick},       {"leave", Leave},       {"quit", Quit},         {"code", WindowOnly},
    {"loan", WindowOnly}, {"press", WindowOnly},  {"search", WindowOnly}, {"shot", WindowOnly},
};

bool ExecuteInSearch(Driver& driver, TFclientes& dialog, const std::string& line) {
    const CommandLine command(line);
    if (const SearchHandler* handler = FindCommand(kSearchCommands, command.name)) {
        return (*handler)(driver, dialog, command.rest);
    }
    driver.Error("unknown command: " + line);
    return true;
}

}  // namespace

void OpenSearch(Driver& driver, const std::string&) {
    QTimer::singleShot(0, [&driver] {
        TFclientes* dialog = customer_search::Fclientes;
        if (dialog == nullptr) return driver.Error("the search dialog did not open");
        driver.Settle();
        std::string line;
        while (driver.NextCommand(*dialog, line)) {
            if (!ExecuteInSearch(driver, *dialog, line)) break;
        }
        if (dialog->isVisible()) {
            // No more commands: leave the dialog so the run can end.
            QTest::mouseClick(dialog->btsalir, Qt::LeftButton);
            driver.quit = true;
        }
    });
    QTest::mouseDClick(driver.window.CodeBox(), Qt::LeftButton);
    driver.Settle();
}

}  // namespace probe
