#include "loans/repair_unit.h"

#include "db/ib_database.h"
#include "loans/reconciliation.h"
#include "loans/repair_statements.h"
#include "loans/statements.h"

namespace loans {

const char* RepairName(RepairKind kind) {
    return kind == RepairKind::kRebuild ? kRebuildRepair : kCorrectRepair;
}

double ReceivableBalance(db::TIBQuery& reader, const std::string& member, int32_t loan) {
    SetStatement(reader, kBalanceFirstLine);
    if (loan > 0) {
        reader.SQL().Add(kBalanceLoanLine);
        reader.ParamNamed("a").SetInteger(loan);
    }
    reader.ParamNamed("c").SetString(member);
    reader.Open();
    if (reader.Field(0).IsNullValue()) return 0;
    return reader.Field(0).GetFloat();
}

RepairUnit::RepairUnit(db::TIBDatabase& database) : database_(database) {
    transaction_.SetDefaultDatabase(&database);
    // A snapshot: what the repair reads stays what it read until it writes.
    // Meeting another user's pending change fails at once instead of
    // freezing the caller; the repair is then rolled back whole.
    transaction_.Params().Assign({"write", "concurrency", "nowait"});
    query_.SetDatabase(&database);
    query_.SetTransaction(&transaction_);
}

RepairUnit::~RepairUnit() {
    try {
        if (transaction_.Active()) transaction_.Rollback();
    } catch (...) {
        // The connection is gone; so is the transaction.
    }
}

RepairOutcome RepairUnit::Run(RepairKind kind, const std::string& member, int32_t loan) {
    RepairOutcome outcome;
    // As a dataset would: a connection closed after a lost link opens again.
    if (!database_.Connected()) database_.Open();
    transaction_.StartTransaction();
    try {
        outcome.loan = ReadLoanRow(query_, member, loan);
        const std::vector<AppliedDocument> documents = ReadAppliedDocuments(query_, loan);
        KindSums sums;
        for (const AppliedDocument& document : documents) sums.Add(document.kind, document.capital);
        outcome.documents_balance_before = sums.DocumentsBalance();
        outcome.receivable_balance_before = ReceivableBalance(query_, member, loan);
        outcome.counts = kind == RepairKind::kRebuild
                             ? RebuildMovements(query_, outcome.loan, documents)
                             : CorrectSchedule(query_, loan, documents);
        transaction_.Commit();
    } catch (...) {
        // None of its writes may outlive the failure; a failing rollback
        // must not hide the first failure, which is the one reported.
        try {
            if (transaction_.Active()) transaction_.Rollback();
        } catch (...) {
        }
        throw;
    }
    return outcome;
}

}  // namespace loans
