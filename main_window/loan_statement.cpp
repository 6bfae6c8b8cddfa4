// Ctrl+P: the current loan's statement for a member who disputes a balance,
// printed or saved as PDF through the platform's print dialog.
#include <QDate>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QPrinter>
#include <QShortcut>
#include <QTextDocument>
#include <cmath>

#include "formats/date_format.h"
#include "main_window/main_window.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"

namespace main_window {
namespace {

QString Escaped(const QString& text) {
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return html;
}

QString Escaped(const std::string& latin1) {
    return Escaped(ui::ToQString(latin1));
}

// A cell as the grid shows it, but a date always by the window's date
// pattern: a column shown in the system's short form (whose year may have
// two digits, its day and month either way round) would print a date that
// reads differently from the dates beside it.
std::string CellText(const db::TField& field) {
    if (field.DataType() != db::TFieldType::ftDateTime || !field.DisplayFormat.empty() ||
        field.IsNullValue()) {
        return field.DisplayText();
    }
    const double value = field.GetDateTime();
    const bool has_time = value != std::floor(value);
    return formats::FormatDateTime(has_time ? "dd/mm/yyyy hh:nn:ss" : "dd/mm/yyyy", value);
}

// A grid as it shows: its titles and every row of its result set. Titles
// never break inside a word, so a long one widens its column instead.
QString GridTable(ui::TDBGrid& grid) {
    if (db::TIBQuery* query = grid.DataSet(); query != nullptr && query->Active()) {
        query->FetchAll();  // the statement lists the rows not yet scrolled to as well
    }
    QString html = QStringLiteral(
        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\" "
        "style=\"font-size: 7pt\"><tr>");
    for (const std::string& title : grid.TitleTexts())
        html += "<th style=\"white-space: nowrap\">" + Escaped(title) + "</th>";
    html += "</tr>";
    const db::TIBQuery* query = grid.DataSet();
    const int rows = query != nullptr && query->Active() ? query->FetchedRowCount() : 0;
    for (int row = 0; row < rows; ++row) {
        html += "<tr>";
        for (const std::string& cell : grid.RowTexts(row, CellText)) {
            html += "<td align=\"right\" nowrap>" + Escaped(cell) + "</td>";
        }
        html += "</tr>";
    }
    return html + "</table>";
}

QString Line(const char* name, const QString& value) {
    return QStringLiteral("<b>%1</b> %2<br>").arg(QString::fromUtf8(name), Escaped(value));
}

}  // namespace

void TFmain::CreatePrintShortcut() {
    auto* shortcut = new QShortcut(QKeySequence::Print, this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this,
                     [this] { ui::Guard([this] { ImprimirEstado(); }); });
}

QString TFmain::LoanStatementHtml() {
    const auto field = [this](const char* name) {
        return ui::ToQString(qpres.FieldNamed(name).DisplayText());
    };
    QString html = QStringLiteral("<html><body>");
    html += "<h2>" + Escaped(std::string("QuilmaCOOP")) + "</h2>";
    html += "<h3>Estado de cuenta del pr&eacute;stamo " + Escaped(field("NO_DOCUMENTO")) + "</h3>";
    html += "<p>Fecha de emisi&oacute;n: " + QDate::currentDate().toString("dd/MM/yyyy") + "</p>";
    html += "<p>";
    html += Line("Socio:", ui::ToQString(looked_up_code_));
    html += Line("Nombre:", lbnombre->text());
    html += Line(
        "C\xC3\xA9"
        "dula:",
        lbcedula->text());
    html += Line("Empresa:", lbempresa->text());
    html += Line("Balance Socio CXC:", lbbalance->text());
    html += "</p><p>";
    html += Line("Pr\xC3\xA9stamo:", field("NO_DOCUMENTO"));
    html += Line("Fecha:", field("FECHA"));
    html += Line("Valor:", field("VALOR"));
    html += Line("Balance:", field("BALANCE_PENDIENTE"));
    html += "</p>";
    html += "<h4>Plan de pagos</h4>" + GridTable(*DBGrid2);
    html += "<h4>Documentos aplicados</h4>" + GridTable(*DBGrid3);
    html += "<p><b>" + Escaped(lbtot1->text()) + "</b><br><b>" + Escaped(lbtot2->text()) +
            "</b><br><b>" + Escaped(lbtot3->text()) + "</b><br><b>" + Escaped(lbbal->text()) +
            "</b></p>";
    if (!mismatch_.empty()) {
        html += "<p><font color=\"#c00000\"><b>" + Escaped(mismatch_) + "</b></font></p>";
    }
    return html + "</body></html>";
}

void TFmain::ImprimirEstado() {
    if (RepairableLoan() == 0) {
        ui::ShowMessage("No hay un prestamo cargado para imprimir");
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Prestamo %1").arg(RepairableLoan()));
    // The schedule's fifteen columns need the width of a landscape page.
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!ui::PrintSetup(printer)) return;
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(8);
    document.setDefaultFont(font);
    document.setHtml(LoanStatementHtml());
    document.print(&printer);
}

}  // namespace main_window
