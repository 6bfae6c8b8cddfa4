#include "loans/reports/repair_preview.h"

#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <string_view>

#include "loans/records/loan_image.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/reconciliation.h"
#include "runtime/number_text.h"

namespace loans {
namespace {

// The column of that name among `columns`, or -1 (a site's CXCTRX may lack
// one of ours).
int ColumnOf(const std::vector<ImageColumn>& columns, std::string_view name) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

const ImageValue* ValueOf(const ImageRow& row, int column) {
    if (column < 0 || static_cast<size_t>(column) >= row.values.size()) return nullptr;
    return &row.values[static_cast<size_t>(column)];
}

std::string RawText(const ImageRow& row, int column) {
    const ImageValue* value = ValueOf(row, column);
    return value != nullptr && *value ? **value : std::string();
}

// An image's number as the window shows it; a null as 0,00, as the window
// adds it; a text that is no number as it stands.
std::string AmountText(const ImageValue* value) {
    if (value == nullptr || !*value) return ShownAmount(0);
    const std::optional<double> amount = runtime::ParseReal(**value);
    return amount ? ShownAmount(*amount) : **value;
}

long double AmountOf(const ImageValue& value) {
    if (!value) return 0;
    return runtime::ParseReal(*value).value_or(0);
}

std::string KindText(const std::string& letter) {
    // The loan's own opening row is no document kind.
    if (letter == "F") return "F Prestamo";
    const size_t kind = KindIndex(letter);
    if (kind == kKindCount) return letter;
    return letter + " " + kDocumentKinds[kind].label;
}

PreviewLine LineOf(const LoanRepair& entry, PreviewLine::Kind kind, std::string subject) {
    PreviewLine line;
    line.kind = kind;
    line.member = entry.check.member;
    line.loan = entry.check.loan;
    line.subject = std::move(subject);
    return line;
}

void AddLedgerRows(const LoanRepair& entry, std::vector<PreviewLine>& lines) {
    const RepairOutcome& outcome = entry.outcome;
    const std::vector<ImageColumn>& columns = outcome.before.movement_columns;
    const int document = ColumnOf(columns, "DOCUMENTO");
    const int kind = ColumnOf(columns, "TIPO_DOC");
    const int date = ColumnOf(columns, "FECHA");
    const int amount = ColumnOf(columns, "VALOR");
    const int interest = ColumnOf(columns, "INTERES");
    const auto add = [&](PreviewLine::Kind line_kind, const char* subject, const ImageRow& row) {
        PreviewLine line = LineOf(entry, line_kind, subject);
        line.document = RawText(row, document);
        line.document_kind = KindText(RawText(row, kind));
        line.date = ShownImageDate(RawText(row, date));
        line.amount = AmountText(ValueOf(row, amount));
        line.interest = AmountText(ValueOf(row, interest));
        lines.push_back(std::move(line));
    };
    for (const ImageRow& row : RowsNotIn(outcome.before.movements, outcome.after.movements)) {
        add(PreviewLine::Kind::kLedgerOut, "Sale de CXC", row);
    }
    for (const ImageRow& row : RowsNotIn(outcome.after.movements, outcome.before.movements)) {
        add(PreviewLine::Kind::kLedgerIn, "Entra en CXC", row);
    }
}

// An instalment whose paid amounts move: before and after, paired by the
// row key of the unit's own transaction.
struct MovedInstalment {
    std::string number;
    const ImageRow* before;
    const ImageRow* after;
};

std::vector<MovedInstalment> MovedInstalments(const RepairOutcome& outcome) {
    std::map<std::string, const ImageRow*> after;
    for (const ImageRow& row : outcome.after.schedule) after[row.key] = &row;
    const int number = ColumnOf(ScheduleColumns(), "REN_CUOTANO");
    std::vector<MovedInstalment> moved;
    for (const ImageRow& row : outcome.before.schedule) {
        const auto found = after.find(row.key);
        if (found == after.end()) continue;
        bool moves = false;
        for (const size_t column : SchedulePaidColumns()) {
            moves = moves ||
                    AmountText(&row.values[column]) != AmountText(&found->second->values[column]);
        }
        if (!moves) continue;
        const std::string shown = RawText(row, number);
        moved.push_back({shown.empty() ? "0" : shown, &row, found->second});
    }
    return moved;
}

// "Cuota 2: la tabla dice pagado 5.000,00, los documentos 0,00"; when
// only the share of capital and interest differs, both parts are named.
std::string InstalmentReason(const MovedInstalment& moved) {
    const size_t capital = SchedulePaidColumns()[0];
    const size_t interest = SchedulePaidColumns()[1];
    const long double table =
        AmountOf(moved.before->values[capital]) + AmountOf(moved.before->values[interest]);
    const long double documents =
        AmountOf(moved.after->values[capital]) + AmountOf(moved.after->values[interest]);
    std::string text = "Cuota " + moved.number + ": la tabla dice pagado ";
    if (ShownAmount(table) != ShownAmount(documents)) {
        return text + ShownAmount(table) + ", los documentos " + ShownAmount(documents);
    }
    const auto parts = [&](const ImageRow& row) {
        return "capital " + AmountText(&row.values[capital]) + " e inter\xE9s " +
               AmountText(&row.values[interest]);
    };
    return text + parts(*moved.before) + ", los documentos " + parts(*moved.after);
}

long double Magnitude(long double value) {
    return value < 0 ? -value : value;
}

}  // namespace

std::string ShownImageDate(const std::string& text) {
    static constexpr std::array<const char*, 12> kMonths = {
        "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const auto digits = [&text](size_t from, size_t count) {
        if (from + count > text.size()) return false;
        for (size_t i = from; i < from + count; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        }
        return true;
    };
    // yyyy-mm-dd
    if (digits(0, 4) && text.size() >= 10 && text[4] == '-' && digits(5, 2) && text[7] == '-' &&
        digits(8, 2)) {
        return text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
    }
    // d-MON-yyyy, as the server writes a date of a dialect-1 database.
    const size_t dash = text.find('-');
    if (dash == 1 || dash == 2) {
        if (!digits(0, dash) || text.size() < dash + 9 || text[dash + 4] != '-' ||
            !digits(dash + 5, 4)) {
            return text;
        }
        const std::string month = text.substr(dash + 1, 3);
        for (size_t m = 0; m < kMonths.size(); ++m) {
            if (month != kMonths[m]) continue;
            const std::string day = dash == 1 ? "0" + text.substr(0, 1) : text.substr(0, 2);
            const std::string number = (m < 9 ? "0" : "") + std::to_string(m + 1);
            return day + "/" + number + "/" + text.substr(dash + 5, 4);
        }
    }
    return text;
}

std::string FlaggedReason(const LoanCheck& loan) {
    std::string reason;
    if (loan.reindex) {
        const long double difference = Difference(loan);
        reason = "CXC tiene " + ShownAmount(Magnitude(difference)) +
                 (difference < 0 ? " menos" : " m\xE1s") + " que los documentos";
    }
    if (loan.fix_schedule) {
        if (!reason.empty()) reason += "; ";
        const int count = loan.differing_instalments;
        reason += std::to_string(count) + (count == 1 ? " cuota" : " cuotas") +
                  " con lo pagado distinto de los documentos";
    }
    return reason;
}

std::vector<PreviewLine> PreviewLines(const LoanRepair& entry) {
    std::vector<PreviewLine> lines;
    const auto outcome_line = [&](std::string text) {
        PreviewLine line = LineOf(entry, PreviewLine::Kind::kOutcome, "Resultado");
        line.text = std::move(text);
        lines.push_back(std::move(line));
    };
    switch (entry.result) {
        case LoanResult::kRepaired:
        case LoanResult::kRequested:
            break;
        case LoanResult::kSkipped:
            outcome_line("Ya no tiene diferencias: no hay nada que reparar");
            return lines;
        case LoanResult::kFailed:
            outcome_line(
                "La reparaci\xF3n fallar\xED"
                "a: " +
                entry.message);
            return lines;
        case LoanResult::kNotReached:
            outcome_line("No se lleg\xF3 a este pr\xE9stamo");
            return lines;
        case LoanResult::kRefused:
            outcome_line("No se registra la solicitud: " + entry.message);
            return lines;
    }
    const RepairOutcome& outcome = entry.outcome;
    const std::vector<MovedInstalment> moved = MovedInstalments(outcome);
    // Why, from what the unit found in its own transaction.
    if (BalancesDisagree(outcome.documents_balance_before, outcome.receivable_balance_before)) {
        PreviewLine line = LineOf(entry, PreviewLine::Kind::kReason, "Motivo");
        line.text =
            "CXC dice " + ShownAmount(outcome.receivable_balance_before) + " y los documentos " +
            ShownAmount(outcome.documents_balance_before) + ": difieren en " +
            ShownAmount(
                Magnitude(outcome.receivable_balance_before - outcome.documents_balance_before));
        lines.push_back(std::move(line));
    }
    for (const MovedInstalment& instalment : moved) {
        PreviewLine line = LineOf(entry, PreviewLine::Kind::kReason, "Motivo");
        line.text = InstalmentReason(instalment);
        lines.push_back(std::move(line));
    }
    AddLedgerRows(entry, lines);
    static const char* const kPaidNames[] = {"pagado capital", "pagado inter\xE9s", "total pagado"};
    for (const MovedInstalment& instalment : moved) {
        PreviewLine line =
            LineOf(entry, PreviewLine::Kind::kInstalment, "Cuota " + instalment.number);
        for (size_t i = 0; i < SchedulePaidColumns().size(); ++i) {
            const size_t column = SchedulePaidColumns()[i];
            const std::string before = AmountText(&instalment.before->values[column]);
            const std::string after = AmountText(&instalment.after->values[column]);
            if (before != after) line.changes.push_back({kPaidNames[i], before, after});
        }
        lines.push_back(std::move(line));
    }
    PreviewLine documents = LineOf(entry, PreviewLine::Kind::kBalance, "Balance documentos");
    documents.changes.push_back({"", ShownAmount(outcome.documents_balance_before),
                                 ShownAmount(outcome.documents_balance_after)});
    lines.push_back(std::move(documents));
    PreviewLine receivable = LineOf(entry, PreviewLine::Kind::kBalance, "Balance CXC");
    receivable.changes.push_back({"", ShownAmount(outcome.receivable_balance_before),
                                  ShownAmount(outcome.receivable_balance_after)});
    lines.push_back(std::move(receivable));
    return lines;
}

}  // namespace loans
