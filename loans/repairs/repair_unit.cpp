#include "loans/repairs/repair_unit.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <optional>
#include <random>

#include "db/errors.h"
#include "db/ib_database.h"
#include "loans/checks/portfolio_rows.h"
#include "loans/repairs/repair_plan.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/repair_statements.h"
#include "loans/rules/statements.h"

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

std::string RepairNames(const std::vector<RepairKind>& kinds) {
    std::string names;
    for (const RepairKind kind : kinds) {
        if (!names.empty()) names += " + ";
        names += RepairName(kind);
    }
    return names;
}

std::string NewRepairId() {
    // Sortable by time; the random part keeps two records of one second
    // (a bulk run, two analysts) apart.
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char time_text[24];
    std::strftime(time_text, sizeof time_text, "%Y%m%dT%H%M%SZ", &parts);
    // Seeded once per thread: a random device opened for every loan of a
    // bulk run costs more than the rest of the identifier.
    thread_local std::mt19937 random{std::random_device{}()};
    char id[48];
    std::snprintf(id, sizeof id, "%s-%08x%08x", time_text, static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return id;
}

int DifferingInstalments(db::TIBQuery& reader, int32_t loan) {
    return DifferingInstalments(reader, loan, ReadAppliedDocuments(reader, loan));
}

int DifferingInstalments(db::TIBQuery& reader, int32_t loan,
                         const std::vector<AppliedDocument>& documents) {
    // The correction's own additions, in the order of the list it writes
    // from, against the schedule as this transaction sees it.
    return WorkListedLoan(documents, ReadScheduledInstalments(reader, loan)).differing_instalments;
}

EConcurrentRepair::EConcurrentRepair(int32_t loan)
    // Latin-1, as every program text: "está", "préstamo".
    : runtime::Exception("Otro usuario est\xE1 modificando el pr\xE9stamo " + std::to_string(loan) +
                         "; intente de nuevo.") {}

ECommitUnknown::ECommitUnknown(int32_t loan, const std::string& cause)
    : runtime::Exception(
          "Se perdi\xF3 la conexi\xF3n mientras se confirmaba el cambio del pr\xE9stamo " +
          std::to_string(loan) + " (" + cause + ")") {}

template <typename Work>
void RepairUnit::InTransaction(int32_t loan, bool commit, RepairOutcome& outcome,
                               const Work& work) {
    // As a dataset would: a connection closed after a lost link opens again.
    if (!database_.Connected()) database_.Open();
    transaction_.StartTransaction();
    bool committing = false;
    try {
        work();
        // The last statement goes back to the connection's cache: left in
        // the query, the transaction's end would drop it, and the next
        // unit prepare it again.
        query_.Close();
        query_.SQL().Clear();
        if (commit) {
            committing = true;
            transaction_.Commit();
        } else {
            transaction_.Rollback();
        }
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        // None of its writes may outlive the failure; a failing rollback
        // must not hide the first failure, which is the one reported.
        try {
            if (transaction_.Active()) transaction_.Rollback();
        } catch (...) {
        }
        // Sent, but its answer lost: the server may have committed.
        if (committing && db::IsConnectionLost(failure)) {
            std::string cause;
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception& error) {
                cause = error.what();
            }
            ECommitUnknown unknown(loan, cause);
            unknown.outcome = std::move(outcome);
            throw unknown;
        }
        // Another analyst repairing the same loan: said in the analyst's words.
        if (db::IsConcurrentChange(std::current_exception())) throw EConcurrentRepair(loan);
        throw;
    }
}

RepairOutcome RepairUnit::Run(RepairKind kind, const std::string& member, int32_t loan) {
    return Run(std::vector<RepairKind>{kind}, member, loan, RepairOptions{});
}

RepairOutcome RepairUnit::Run(const std::vector<RepairKind>& kinds, const std::string& member,
                              int32_t loan, const RepairOptions& options) {
    RepairOutcome outcome;
    outcome.id = NewRepairId();
    InTransaction(loan, !options.simulate, outcome, [&] {
        outcome.loan = ReadLoanRow(query_, member, loan);
        const std::vector<AppliedDocument> documents = ReadAppliedDocuments(query_, loan);
        KindSums sums;
        for (const AppliedDocument& document : documents) sums.Add(document.kind, document.capital);
        outcome.documents_balance_before = sums.DocumentsBalance();
        outcome.receivable_balance_before = ReceivableBalance(query_, member, loan);
        outcome.documents_balance_after = outcome.documents_balance_before;
        outcome.receivable_balance_after = outcome.receivable_balance_before;
        for (const RepairKind kind : kinds) {
            // The loan as this transaction sees it, by the check's rules.
            const bool needed =
                !options.recheck ||
                (kind == RepairKind::kRebuild ? BalancesDisagree(outcome.documents_balance_before,
                                                                 outcome.receivable_balance_before)
                                              : DifferingInstalments(query_, loan, documents) > 0);
            if (needed) outcome.repairs.push_back(kind);
        }
        if (outcome.repairs.empty()) return;
        const auto makes = [&](RepairKind kind) {
            return std::find(outcome.repairs.begin(), outcome.repairs.end(), kind) !=
                   outcome.repairs.end();
        };
        const bool rebuilds = makes(RepairKind::kRebuild);
        const bool corrects = makes(RepairKind::kCorrect);
        // Every column the site's ledger has, so that an undo loses none.
        const std::vector<ImageColumn> columns = StoredColumns(query_, "CXCTRX");
        // A request and its approval fingerprint the whole loan as the
        // request saw it (LoanFingerprint, documents too), and a plan works
        // on the whole image. Otherwise imaged whole is only what the unit
        // writes and an undo puts back: the ledger a correction leaves alone
        // is only fingerprinted, once, being the same before and after; so
        // is the schedule a rebuild leaves alone.
        const bool whole = options.plan || options.before_write;
        if (whole) {
            outcome.before = ReadLoanImage(query_, columns, member, loan);
            outcome.fingerprint = LoanFingerprint(outcome.before, documents);
        } else {
            outcome.before.movement_columns = columns;
            if (rebuilds) outcome.before.movements = ReadMovements(query_, columns, member, loan);
            if (corrects) outcome.before.schedule = ReadSchedule(query_, loan);
        }
        outcome.after.movement_columns = columns;
        std::optional<uint64_t> movements_kept;
        if (!rebuilds) movements_kept = MovementsDigest(query_, columns, member, loan);
        if (options.fingerprint_before) {
            outcome.before_fingerprint = DigestFingerprint(
                movements_kept ? *movements_kept : MovementsDigest(query_, columns, member, loan),
                ScheduleDigest(query_, loan));
        }
        if (options.before_write) options.before_write(query_, outcome);
        LoanImage planned;
        if (options.plan) planned = outcome.before;
        for (const RepairKind kind : outcome.repairs) {
            const bool rebuild = kind == RepairKind::kRebuild;
            const RepairCounts counts =
                options.plan ? (rebuild ? PlanRebuild(planned, outcome.loan, documents)
                                        : PlanCorrection(planned, documents))
                             : (rebuild ? RebuildMovements(query_, outcome.loan, documents)
                                        : CorrectSchedule(query_, loan, documents));
            outcome.counts.deleted += counts.deleted;
            outcome.counts.inserted += counts.inserted;
            outcome.counts.updated += counts.updated;
        }
        // Nothing written when planned: the rows the repair would leave are
        // fingerprinted by the approval that writes them.
        std::string after;
        if (options.plan) {
            outcome.after = std::move(planned);
            outcome.receivable_balance_after = PlannedReceivableBalance(outcome.after);
        } else {
            // The ledger rows written are read back only to be shown.
            if (rebuilds && options.simulate) {
                outcome.after.movements = ReadMovements(query_, columns, member, loan);
            }
            if (corrects) outcome.after.schedule = ReadSchedule(query_, loan);
            after = DigestFingerprint(
                movements_kept ? *movements_kept : MovementsDigest(query_, columns, member, loan),
                ScheduleDigest(query_, loan));
            outcome.receivable_balance_after = ReceivableBalance(query_, member, loan);
        }
        // A preview (and a request) shows the rows before; a repair needs
        // them only in its record.
        LoanImage before;
        if (options.simulate || options.plan) {
            before = outcome.before;
        } else {
            before = std::move(outcome.before);
        }
        outcome.undo = MakeUndoImage(std::move(before), outcome.after, rebuilds, std::move(after));
        if (!options.simulate && options.before_commit) options.before_commit(query_, outcome);
    });
    return outcome;
}

RepairOutcome RepairUnit::Undo(const UndoImage& image, const std::string& member, int32_t loan,
                               const RepairOptions& options) {
    RepairOutcome outcome;
    outcome.id = NewRepairId();
    InTransaction(loan, !options.simulate, outcome, [&] {
        outcome.loan = ReadLoanRow(query_, member, loan);
        outcome.receivable_balance_before = ReceivableBalance(query_, member, loan);
        const std::vector<ImageColumn> columns = StoredColumns(query_, "CXCTRX");
        if (image.movements_replaced) {
            std::vector<std::string> names;
            for (const ImageColumn& column : columns) names.push_back(column.name);
            if (names != image.movement_columns) {
                throw EUndoRefused(
                    "Las columnas de CXCTRX cambiaron despu\xE9s de la reparaci\xF3n; "
                    "no se deshace");
            }
        }
        outcome.before = ReadLoanImage(query_, columns, member, loan);
        // The undo's own record fingerprints as new records do; the rows
        // are compared with the undone record as it fingerprinted them
        // (older records, by their images).
        outcome.before_fingerprint = DigestFingerprint(
            MovementsDigest(query_, columns, member, loan), ScheduleDigest(query_, loan));
        const std::string found = IsDigestFingerprint(image.after_fingerprint)
                                      ? outcome.before_fingerprint
                                      : ImageFingerprint(outcome.before);
        if (found != image.after_fingerprint) {
            throw EUndoRefused("Los movimientos o la tabla del pr\xE9stamo " +
                               std::to_string(loan) +
                               " cambiaron despu\xE9s de la reparaci\xF3n; no se deshace");
        }
        // The undo writes from its image, whatever the documents say now.
        outcome.fingerprint = LoanFingerprint(outcome.before, {});
        // Each changed schedule row is found by every column as the repair
        // left it; each row found answers for one change only.
        const std::vector<size_t>& paid = SchedulePaidColumns();
        std::vector<bool> used(outcome.before.schedule.size(), false);
        std::vector<std::pair<size_t, const ImageRow*>> updates;
        for (const ScheduleChange& change : image.schedule) {
            std::vector<ImageValue> left = change.before.values;
            for (size_t i = 0; i < paid.size(); ++i) left.at(paid[i]) = change.paid_after.at(i);
            size_t row = 0;
            while (row < used.size() &&
                   (used[row] || outcome.before.schedule[row].values != left)) {
                ++row;
            }
            if (row == used.size()) {
                throw EUndoRefused(
                    "Una cuota del pr\xE9stamo " + std::to_string(loan) +
                    " ya no est\xE1 como la dej\xF3 la reparaci\xF3n; no se deshace");
            }
            used[row] = true;
            updates.emplace_back(row, &change.before);
        }
        if (options.before_write) options.before_write(query_, outcome);
        if (options.plan) {
            outcome.after = outcome.before;
            if (image.movements_replaced) {
                outcome.counts.deleted = static_cast<int64_t>(outcome.after.movements.size());
                outcome.after.movements = image.movements;
                outcome.counts.inserted = static_cast<int64_t>(image.movements.size());
            }
            for (const auto& [row, values] : updates) {
                for (const size_t column : paid) {
                    outcome.after.schedule[row].values.at(column) = values->values.at(column);
                }
                ++outcome.counts.updated;
            }
            outcome.receivable_balance_after = PlannedReceivableBalance(outcome.after);
        } else {
            if (image.movements_replaced) {
                SetStatement(query_, kDeleteLoanMovementsStatement);
                query_.ParamNamed("c").SetString(member);
                query_.ParamNamed("a").SetInteger(loan);
                query_.Execute();
                outcome.counts.deleted = query_.Statement().RowsAffected();
                InsertMovements(query_, columns, image.movements);
                outcome.counts.inserted = static_cast<int64_t>(image.movements.size());
            }
            SetStatement(query_,
                         "update renglones set ren_pagadocapital = :c, ren_pagadointeres = :i, "
                         "ren_totalpagado = :t where rdb$db_key = :k");
            for (const auto& [row, values] : updates) {
                BindImageValue(query_, "c", ColumnKind::kReal, values->values.at(paid[0]));
                BindImageValue(query_, "i", ColumnKind::kReal, values->values.at(paid[1]));
                BindImageValue(query_, "t", ColumnKind::kReal, values->values.at(paid[2]));
                query_.ParamNamed("k").SetString(outcome.before.schedule[row].key);
                query_.Execute();
                ++outcome.counts.updated;
            }
            outcome.after = ReadLoanImage(query_, columns, member, loan);
            outcome.receivable_balance_after = ReceivableBalance(query_, member, loan);
        }
        const std::string after =
            options.plan ? std::string()
                         : DigestFingerprint(MovementsDigest(query_, columns, member, loan),
                                             ScheduleDigest(query_, loan));
        outcome.undo =
            MakeUndoImage(outcome.before, outcome.after, image.movements_replaced, after);
        const std::vector<AppliedDocument> documents = ReadAppliedDocuments(query_, loan);
        KindSums sums;
        for (const AppliedDocument& document : documents) sums.Add(document.kind, document.capital);
        outcome.documents_balance_before = sums.DocumentsBalance();
        outcome.documents_balance_after = outcome.documents_balance_before;
        if (!options.simulate && options.before_commit) options.before_commit(query_, outcome);
    });
    return outcome;
}

}  // namespace loans
