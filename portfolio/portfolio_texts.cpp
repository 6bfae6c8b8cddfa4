#include "portfolio/portfolio_texts.h"

#include "loans/reports/portfolio_report.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/report_file.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"

namespace portfolio {

QString TotalsLine(size_t checked, const std::vector<loans::LoanCheck>& flagged) {
    int reindex = 0;
    int fix = 0;
    for (const loans::LoanCheck& loan : flagged) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
    }
    return QString(
               "Prestamos revisados: %1   Con diferencias: %2   Reindexar: %3   "
               "Corregir Tabla: %4")
        .arg(checked)
        .arg(flagged.size())
        .arg(reindex)
        .arg(fix);
}

std::string RepairQuestion(const std::vector<loans::LoanCheck>& rows) {
    int reindex = 0;
    int fix = 0;
    for (const loans::LoanCheck& loan : rows) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
    }
    // Latin-1: "repararÃ¡n", "prÃ©stamos", "Â¿".
    return "Se reparar\xE1n " + std::to_string(rows.size()) +
           " pr\xE9stamos: " + std::to_string(reindex) + " con Reindexar, " + std::to_string(fix) +
           " con Corregir Tabla. \xBF"
           "Desea continuar?";
}

std::string RepairSummary(const loans::BulkResult* result, const std::string& failure) {
    if (result == nullptr) return "No se pudo reparar: " + failure;
    std::string text = "Reparados: " + std::to_string(result->repaired) +
                       "\nOmitidos (ya sin diferencias): " + std::to_string(result->skipped) +
                       "\nFallidos: " + std::to_string(result->failed);
    for (const loans::LoanRepair& entry : result->loans) {
        if (entry.result != loans::LoanResult::kFailed) continue;
        text += "\n  " + entry.check.member + " prestamo " + std::to_string(entry.check.loan) +
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

std::string PreviewText(const loans::BulkResult* result, const std::string& failure) {
    if (result == nullptr || result->loans.empty()) {
        return "No se pudo preparar la vista previa: " + failure;
    }
    const loans::LoanRepair& entry = result->loans.front();
    std::string text = "Vista previa: socio " + entry.check.member + ", prestamo " +
                       std::to_string(entry.check.loan) + ", " + loans::RepairNames(entry.asked) +
                       " (no se ha escrito nada)\n";
    switch (entry.result) {
        case loans::LoanResult::kRepaired:
            for (const std::string& line : loans::ChangeLines(entry.outcome)) text += line + "\n";
            break;
        case loans::LoanResult::kSkipped:
            text += "Ya no tiene diferencias: no hay nada que reparar\n";
            break;
        case loans::LoanResult::kFailed:
            text += "La reparacion fallaria: " + entry.message + "\n";
            break;
        case loans::LoanResult::kNotReached:
            break;
    }
    return text;
}

bool ExportList(const std::string& path, const std::vector<loans::LoanCheck>& flagged) {
    try {
        if (loans::IsWorkbookName(path)) {
            loans::WriteWorkbook(path, flagged);
        } else {
            loans::WriteWholeFile(path,
                                  [&flagged](std::ostream& out) { loans::WriteCsv(out, flagged); });
        }
    } catch (const runtime::Exception& failure) {
        ui::ShowMessage(failure.Message());
        return false;
    }
    return true;
}

}  // namespace portfolio
