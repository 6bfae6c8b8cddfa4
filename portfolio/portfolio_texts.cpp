#include "portfolio/portfolio_texts.h"

#include <iterator>

#include "formats/format_settings.h"
#include "loans/approval/approvals.h"
#include "loans/reports/portfolio_report.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/report_file.h"
#include "loans/rules/reconciliation.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/latin1_text.h"

namespace portfolio {

QString TotalsLine(size_t checked, const std::vector<loans::LoanCheck>& flagged) {
    int reindex = 0;
    int fix = 0;
    for (const loans::LoanCheck& loan : flagged) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
    }
    return QString::fromLatin1(
               "Pr\xE9stamos revisados: %1   Con diferencias: %2   Reindexar: %3   "
               "Corregir Tabla: %4")
        .arg(checked)
        .arg(flagged.size())
        .arg(reindex)
        .arg(fix);
}

std::string RepairQuestion(const std::vector<loans::LoanCheck>& rows, bool approval) {
    int reindex = 0;
    int fix = 0;
    for (const loans::LoanCheck& loan : rows) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
    }
    // Latin-1: "repararÃ¡n", "prÃ©stamos", "Â¿".
    if (approval) {
        return "Se registrar\xE1n solicitudes de reparaci\xF3n, que requieren aprobaci\xF3n, "
               "para " +
               std::to_string(rows.size()) + " pr\xE9stamos: " + std::to_string(reindex) +
               " con Reindexar, " + std::to_string(fix) +
               " con Corregir Tabla. \xBF"
               "Desea continuar?";
    }
    return "Se reparar\xE1n " + std::to_string(rows.size()) +
           " pr\xE9stamos: " + std::to_string(reindex) + " con Reindexar, " + std::to_string(fix) +
           " con Corregir Tabla. \xBF"
           "Desea continuar?";
}

std::string RepairSummary(const loans::BulkResult* result, const std::string& failure) {
    if (result == nullptr) return "No se pudo reparar: " + failure;
    std::string text = (result->requests ? loans::FiledCountText(result->requested)
                                         : "Reparados: " + std::to_string(result->repaired)) +
                       "\nOmitidos (ya sin diferencias): " + std::to_string(result->skipped);
    if (result->requests) {
        text += "\nRechazados: " + std::to_string(result->refused);
        for (const loans::LoanRepair& entry : result->failures) {
            if (entry.result != loans::LoanResult::kRefused) continue;
            text += "\n  " + entry.check.member + " pr\xE9stamo " +
                    std::to_string(entry.check.loan) + ": " + entry.message;
        }
    }
    text += "\nFallidos: " + std::to_string(result->failed);
    for (const loans::LoanRepair& entry : result->failures) {
        if (entry.result != loans::LoanResult::kFailed) continue;
        text += "\n  " + entry.check.member + " pr\xE9stamo " + std::to_string(entry.check.loan) +
                ": " + entry.message;
    }
    text += "\nNo alcanzados: " + std::to_string(result->not_reached);
    if (!result->journal_failure.empty()) {
        text += "\nSe detuvo porque no se pudo registrar: " + result->journal_failure;
    }
    if (!result->connection_lost.empty()) {
        // Latin-1: "perdió", "conexión".
        text += "\nSe detuvo porque se perdi\xF3 la conexi\xF3n con la base de datos (" +
                result->connection_lost + "): los " + std::to_string(result->not_reached) +
                " restantes no se intentaron.";
    }
    return text;
}

QString ListedLine(size_t listed, size_t flagged, long double differences) {
    return QString("Listados: %1 de %2   Suma de las diferencias absolutas: %3")
        .arg(listed)
        .arg(flagged)
        .arg(ui::ToQString(loans::ShownAmount(differences)));
}

std::vector<loans::PreviewLine> PreviewLinesOf(const loans::BulkResult* result,
                                               std::vector<loans::PreviewLine> made,
                                               const std::string& failure) {
    std::vector<loans::PreviewLine> lines;
    if (result == nullptr) {
        loans::PreviewLine line;
        line.kind = loans::PreviewLine::Kind::kOutcome;
        line.subject = "Resultado";
        line.text = "No se pudo preparar la vista previa: " + failure;
        lines.push_back(std::move(line));
        return lines;
    }
    return made;
}

loans::CsvStyle DesktopCsvStyle() {
    return formats::DefaultFormatSettings().decimal_separator == ',' ? loans::kDecimalCommaCsv
                                                                     : loans::kMachineCsv;
}

bool ExportList(const std::string& path, const std::vector<loans::LoanCheck>& loans) {
    const bool workbook = loans::IsWorkbookName(path);
    const loans::CsvStyle style = DesktopCsvStyle();
    try {
        if (workbook) {
            loans::WriteWorkbook(path, loans);
        } else {
            loans::WriteWholeFile(path, [&loans, style](std::ostream& out) {
                loans::WriteCsv(out, loans, loans::CsvTarget::kFile, style);
            });
        }
    } catch (const runtime::Exception& failure) {
        ui::ShowMessage(failure.Message());
        return false;
    }
    // The name as the desktop wrote it (its bytes UTF-8), shown in the
    // program's Latin-1.
    std::string said = "Se guard\xF3 la lista (" + std::to_string(loans.size()) +
                       (loans.size() == 1 ? " pr\xE9stamo" : " pr\xE9stamos") + ") en:\n" +
                       ui::ToLatin1(QString::fromLocal8Bit(path.c_str()));
    if (!workbook && style.separator == ';') {
        said +=
            "\nCampos separados por \";\" y decimales con coma, como los lee una hoja de "
            "c\xE1lculo en espa\xF1ol.";
    }
    ui::ShowMessage(said);
    return true;
}

}  // namespace portfolio
