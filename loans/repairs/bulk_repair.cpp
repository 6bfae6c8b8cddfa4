#include "loans/repairs/bulk_repair.h"

#include <cstdlib>
#include <ctime>
#include <exception>
#include <map>

#include "db/ib_database.h"
#include "loans/rules/reconciliation.h"
#include "runtime/exception.h"
#include "runtime/number_text.h"

namespace loans {

std::vector<RepairKind> RepairsFor(const LoanCheck& check) {
    // The rebuild first, as an analyst would press the buttons; the
    // correction reads the documents, which the rebuild does not write.
    std::vector<RepairKind> kinds;
    if (check.reindex) kinds.push_back(RepairKind::kRebuild);
    if (check.fix_schedule) kinds.push_back(RepairKind::kCorrect);
    return kinds;
}

std::string RepairNames(const std::vector<RepairKind>& kinds) {
    std::string names;
    for (const RepairKind kind : kinds) {
        if (!names.empty()) names += " + ";
        names += RepairName(kind);
    }
    return names;
}

namespace {

std::string PaidAmount(const ImageValue& value) {
    if (!value) return "null";
    const std::optional<double> amount = runtime::ParseReal(*value);
    return amount ? CsvAmount(*amount) : *value;
}

}  // namespace

std::vector<std::string> ChangeLines(const RepairOutcome& outcome) {
    std::vector<std::string> lines;
    const auto& movements = outcome.before.movement_columns;
    for (const ImageRow& row : RowsNotIn(outcome.before.movements, outcome.after.movements)) {
        lines.push_back("- CXCTRX " + RowText(movements, row));
    }
    for (const ImageRow& row : RowsNotIn(outcome.after.movements, outcome.before.movements)) {
        lines.push_back("+ CXCTRX " + RowText(movements, row));
    }
    // Schedule rows pair by their row keys, valid in the unit's transaction.
    std::map<std::string, const ImageRow*> after;
    for (const ImageRow& row : outcome.after.schedule) after[row.key] = &row;
    static const char* const kPaidNames[] = {"pagado capital", "pagado interes", "total pagado"};
    for (const ImageRow& row : outcome.before.schedule) {
        const auto found = after.find(row.key);
        if (found == after.end()) continue;
        std::string changes;
        for (size_t i = 0; i < SchedulePaidColumns().size(); ++i) {
            const size_t column = SchedulePaidColumns()[i];
            const std::string old_text = PaidAmount(row.values[column]);
            const std::string new_text = PaidAmount(found->second->values[column]);
            if (old_text == new_text) continue;
            changes += std::string(changes.empty() ? "" : ", ") + kPaidNames[i] + " " + old_text +
                       " -> " + new_text;
        }
        if (!changes.empty()) {
            lines.push_back("cuota " + (row.values[3] ? *row.values[3] : "null") + ": " + changes);
        }
    }
    lines.push_back("balance documentos " + CsvAmount(outcome.documents_balance_before) + " -> " +
                    CsvAmount(outcome.documents_balance_after) + ", balance cxc " +
                    CsvAmount(outcome.receivable_balance_before) + " -> " +
                    CsvAmount(outcome.receivable_balance_after));
    return lines;
}

RepairRecord RecordOf(const RepairOutcome& outcome, const std::string& repair,
                      const std::string& database) {
    RepairRecord record;
    record.id = outcome.id;
    record.time = std::time(nullptr);
    record.user = CurrentUser();
    record.database = database;
    record.member = outcome.loan.member;
    record.loan = outcome.loan.loan;
    record.repair = repair;
    record.documents_balance_before = outcome.documents_balance_before;
    record.receivable_balance_before = outcome.receivable_balance_before;
    record.documents_balance_after = outcome.documents_balance_after;
    record.receivable_balance_after = outcome.receivable_balance_after;
    record.rows_deleted = outcome.counts.deleted;
    record.rows_inserted = outcome.counts.inserted;
    record.rows_updated = outcome.counts.updated;
    record.undo = outcome.undo;
    return record;
}

BulkResult RepairMany(db::TIBDatabase& database, const std::vector<LoanCheck>& flagged,
                      const BulkOptions& options) {
    BulkResult result;
    for (const LoanCheck& check : flagged) {
        LoanRepair entry;
        entry.check = check;
        entry.asked = RepairsFor(check);
        result.loans.push_back(std::move(entry));
    }
    RepairUnit unit(database);
    RepairOptions unit_options;
    unit_options.recheck = true;
    unit_options.simulate = options.simulate;
    size_t done = 0;
    for (LoanRepair& entry : result.loans) {
        // Between loans only: each loan's transaction ends whole first.
        if ((options.stop && options.stop()) || !result.journal_failure.empty()) break;
        try {
            entry.outcome =
                unit.Run(entry.asked, entry.check.member, entry.check.loan, unit_options);
            entry.result =
                entry.outcome.repairs.empty() ? LoanResult::kSkipped : LoanResult::kRepaired;
        } catch (const std::exception& failure) {
            entry.result = LoanResult::kFailed;
            entry.message = failure.what();
        }
        if (options.journal != nullptr && !options.simulate &&
            entry.result != LoanResult::kSkipped) {
            RepairRecord record;
            if (entry.result == LoanResult::kRepaired) {
                record = RecordOf(entry.outcome, RepairNames(entry.outcome.repairs),
                                  options.database_name);
            } else {
                // Confirmed and rolled back: journaled as the window does.
                record.id = NewRepairId();
                record.time = std::time(nullptr);
                record.user = CurrentUser();
                record.database = options.database_name;
                record.member = entry.check.member;
                record.loan = entry.check.loan;
                record.repair = RepairNames(entry.asked);
                record.rolled_back = true;
                record.message = entry.message;
                record.documents_balance_before = entry.check.documents_balance;
                record.receivable_balance_before = entry.check.receivable_balance;
                record.documents_balance_after = entry.check.documents_balance;
                record.receivable_balance_after = entry.check.receivable_balance;
            }
            try {
                options.journal->Append(record);
            } catch (const std::exception& failure) {
                result.journal_failure = failure.what();
            }
        }
        ++done;
        if (options.done) options.done(entry, done, result.loans.size());
    }
    for (const LoanRepair& entry : result.loans) {
        switch (entry.result) {
            case LoanResult::kRepaired:
                ++result.repaired;
                break;
            case LoanResult::kSkipped:
                ++result.skipped;
                break;
            case LoanResult::kFailed:
                ++result.failed;
                break;
            case LoanResult::kNotReached:
                ++result.not_reached;
                break;
        }
    }
    return result;
}

}  // namespace loans
