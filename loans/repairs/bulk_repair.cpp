#include "loans/repairs/bulk_repair.h"

#include <map>

#include "db/ib_database.h"
#include "loans/repairs/recorded_unit.h"
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

BulkResult RepairMany(db::TIBDatabase& database, const std::vector<LoanCheck>& flagged,
                      const BulkOptions& options) {
    BulkResult result;
    RepairUnit unit(database);
    RepairOptions unit_options;
    unit_options.recheck = true;
    unit_options.simulate = options.simulate;
    unit_options.plan = options.simulate && options.plan;
    // A simulation records nothing.
    RecordStore* records = options.simulate ? nullptr : options.records;
    // A journal's record cannot be looked up after a lost commit.
    unit_options.fingerprint_before = records != nullptr && !records->InDatabase();
    size_t done = 0;
    bool stopped = false;
    for (const LoanCheck& check : flagged) {
        LoanRepair entry;
        entry.check = check;
        entry.asked = RepairsFor(check);
        // Between loans only: each loan's transaction ends whole first.
        stopped = stopped || (options.stop && options.stop()) || !result.journal_failure.empty() ||
                  !result.connection_lost.empty();
        if (stopped) {
            result.unreached.push_back(std::move(entry));
            continue;
        }
        ConfirmedUnit confirmed;
        confirmed.database = options.database_name;
        confirmed.member = entry.check.member;
        confirmed.loan = entry.check.loan;
        confirmed.repair = RepairNames(entry.asked);
        confirmed.documents_balance_before = entry.check.documents_balance;
        confirmed.receivable_balance_before = entry.check.receivable_balance;
        RecordedUnit recorded = RunRecorded(records, confirmed, [&](const BeforeCommit& record) {
            RepairOptions with_record = unit_options;
            with_record.before_commit = record;
            return unit.Run(entry.asked, entry.check.member, entry.check.loan, with_record);
        });
        switch (recorded.result) {
            case RecordedUnit::Result::kDone:
                entry.result = LoanResult::kRepaired;
                ++result.repaired;
                break;
            case RecordedUnit::Result::kNothing:
                entry.result = LoanResult::kSkipped;
                ++result.skipped;
                break;
            case RecordedUnit::Result::kFailed:
                entry.result = LoanResult::kFailed;
                entry.message = recorded.message;
                ++result.failed;
                break;
        }
        entry.outcome = std::move(recorded.outcome);
        result.journal_failure = recorded.record_failure;
        // Every loan after it would fail the same way, each a record of its
        // own: the run stops, and says what was not attempted.
        if (recorded.connection_lost) result.connection_lost = recorded.message;
        ++done;
        if (options.done) options.done(entry, done, flagged.size());
        if (entry.result == LoanResult::kFailed) {
            entry.outcome = RepairOutcome{};
            result.failures.push_back(std::move(entry));
        }
    }
    result.not_reached = static_cast<int>(result.unreached.size());
    return result;
}

}  // namespace loans
