#include "loans/approval/approvals.h"

#include <ibase.h>

#include <ctime>

#include "db/errors.h"
#include "db/ib_database.h"
#include "loans/approval/request_table.h"
#include "loans/records/loan_image.h"
#include "loans/records/short_transaction.h"
#include "loans/rules/repair_statements.h"

namespace loans {
namespace {

// People read their own clock, with the whole year.
std::string LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &parts);
    return text;
}

// The repairs a request names, in their order.
std::vector<RepairKind> KindsOf(const loans::Request& request) {
    std::vector<RepairKind> kinds;
    for (size_t at = 0; at <= request.repair.size();) {
        size_t end = request.repair.find(" + ", at);
        if (end == std::string::npos) end = request.repair.size();
        const std::string name = request.repair.substr(at, end - at);
        if (name == kRebuildRepair) {
            kinds.push_back(RepairKind::kRebuild);
        } else if (name == kCorrectRepair) {
            kinds.push_back(RepairKind::kCorrect);
        } else {
            throw ERequestRefused("La solicitud " + std::to_string(request.id) +
                                  " pide una reparaci\xF3n desconocida (" + request.repair + ")");
        }
        at = end + 3;
    }
    return kinds;
}

bool Changes(const ChangeImage& change) {
    return !change.movements_out.empty() || !change.movements_in.empty() ||
           !change.schedule.empty();
}

std::string Named(const loans::Request& request) {
    return "la " + std::to_string(request.id) + ", de " + request.user + " el " +
           LocalTime(request.time);
}

// A refusal of the server's when a request is resolved, in the analyst's
// words; any other failure as it came.
[[noreturn]] void ResolutionRefused(const db::EIBError& error, const loans::Request& request) {
    const std::string& message = error.Message();
    if (message.find("SOLICITUD_PROPIA") != std::string::npos) {
        throw ERequestRefused("Nadie puede aprobar ni rechazar su propia solicitud: la " +
                              std::to_string(request.id) + " es de " + request.user +
                              ", y el servidor lo rechaza.");
    }
    if (error.EngineErrorCode() == isc_no_priv ||
        message.find("no permission") != std::string::npos) {
        throw ERequestRefused(
            "Solo un supervisor (rol SUPERVISOR_SOCIOS) puede aprobar o rechazar solicitudes; "
            "el servidor no se lo permite a este usuario (" +
            message + ").");
    }
    if (message.find("PK_RESOLUCIONES") != std::string::npos) {
        throw ERequestRefused("La solicitud " + std::to_string(request.id) +
                              " ya est\xE1 resuelta; no se resuelve otra vez.");
    }
    if (message.find("CK_RESOLUCIONES_MOTIVO") != std::string::npos) {
        throw ERequestRefused("Para rechazar una solicitud hay que dar el motivo.");
    }
    throw;
}

std::string ResolvedText(const loans::Request& request) {
    return "La solicitud " + std::to_string(request.id) + " ya est\xE1 resuelta (" +
           FateText(request) + "); no se resuelve otra vez.";
}

}  // namespace

std::string FiledText(const loans::Request& request) {
    return "Solicitud registrada: requiere aprobaci\xF3n.\n\nSolicitud " +
           std::to_string(request.id) + ": " + request.repair + " del pr\xE9stamo " +
           std::to_string(request.loan) + " del socio " + request.member +
           ". Un supervisor la aprueba o la rechaza en Solicitudes pendientes (F4).";
}

std::string FiledCountText(int filed) {
    if (filed == 1) return "1 solicitud registrada: requiere aprobaci\xF3n";
    return std::to_string(filed) + " solicitudes registradas: requieren aprobaci\xF3n";
}

std::string FateText(const loans::Request& request) {
    if (!request.resolution) return "Pendiente de aprobaci\xF3n";
    const Resolution& resolution = *request.resolution;
    std::string text =
        resolution.decision + " por " + resolution.user + " el " + LocalTime(resolution.time);
    if (!resolution.reason.empty()) text += ": " + resolution.reason;
    return text;
}

RepairOutcome OutcomeOf(const loans::Request& request) {
    RepairOutcome outcome;
    outcome.loan.member = request.member;
    outcome.loan.loan = request.loan;
    outcome.documents_balance_before = request.documents_balance_before;
    outcome.receivable_balance_before = request.receivable_balance_before;
    outcome.documents_balance_after = request.documents_balance_after;
    outcome.receivable_balance_after = request.receivable_balance_after;
    outcome.counts = {request.rows_deleted, request.rows_inserted, request.rows_updated};
    outcome.before = ChangedBefore(request.change);
    outcome.after = ChangedAfter(request.change);
    outcome.fingerprint = request.fingerprint;
    return outcome;
}

LoanRepair EntryOf(const loans::Request& request) {
    LoanRepair entry;
    entry.check.member = request.member;
    entry.check.loan = request.loan;
    entry.result = LoanResult::kRequested;
    entry.request = request.id;
    entry.outcome = OutcomeOf(request);
    return entry;
}

std::vector<PreviewLine> RequestPreview(const loans::Request& request) {
    return PreviewLines(EntryOf(request));
}

template <typename Work>
auto Approvals::Reading(const Work& work) {
    return InShortTransaction(database_, transaction_, query_, work);
}

Approvals::Approvals(db::TIBDatabase& database) : database_(database) {
    transaction_.SetDefaultDatabase(&database);
    query_.SetDatabase(&database);
    query_.SetTransaction(&transaction_);
    // Reads what others committed, holds nothing back.
    transaction_.Params().Assign({"read", "read_committed", "rec_version", "nowait"});
    Reading([this] {
        kept_ = RequestTablesExist(query_);
        required_ = kept_ && ApprovalRequired(query_);
        return 0;
    });
}

Approvals::~Approvals() {
    try {
        if (transaction_.Active()) transaction_.Rollback();
    } catch (...) {
        // The connection is gone; so is the transaction.
    }
}

void Approvals::File(db::TIBQuery& writer, const RepairOutcome& outcome, const std::string& repair,
                     const std::string& undoes, Filed& filed) {
    loans::Request request;
    request.member = outcome.loan.member;
    request.loan = outcome.loan.loan;
    request.repair = repair;
    request.undoes = undoes;
    request.fingerprint = outcome.fingerprint;
    request.documents_balance_before = outcome.documents_balance_before;
    request.receivable_balance_before = outcome.receivable_balance_before;
    request.documents_balance_after = outcome.documents_balance_after;
    request.receivable_balance_after = outcome.receivable_balance_after;
    request.rows_deleted = outcome.counts.deleted;
    request.rows_inserted = outcome.counts.inserted;
    request.rows_updated = outcome.counts.updated;
    request.change = MakeChangeImage(outcome.before, outcome.after);
    // Nobody need approve what changes nothing.
    if (!Changes(request.change)) {
        filed.result = Filed::Result::kNothing;
        return;
    }
    if (const std::optional<loans::Request> open =
            OpenRequestFor(writer, request.member, request.loan, repair)) {
        throw ERequestRefused("Ya hay una solicitud abierta de " + repair +
                              " para el pr\xE9stamo " + std::to_string(request.loan) + ": " +
                              Named(*open) + ". No se registra otra.");
    }
    try {
        request.id = InsertRequest(writer, request);
    } catch (const db::EIBError& error) {
        // Filed meanwhile by someone this transaction cannot see yet.
        if (error.Message().find("UQ_SOLICITUDES_ABIERTA") == std::string::npos) throw;
        throw ERequestRefused("Ya hay una solicitud abierta de " + repair +
                              " para el pr\xE9stamo " + std::to_string(request.loan) +
                              ", registrada hace un momento por otro usuario. No se registra "
                              "otra.");
    }
    filed.result = Filed::Result::kFiled;
    filed.request = std::move(request);
}

template <typename Work>
Filed Approvals::Filing(const Work& work) {
    Filed filed;
    filed.result = Filed::Result::kNothing;
    try {
        filed.outcome = work(filed);
    } catch (ECommitUnknown& unknown) {
        filed.outcome = std::move(unknown.outcome);
        Settle(filed, unknown.Message());
    } catch (const ERequestRefused& refused) {
        filed.result = Filed::Result::kRefused;
        filed.message = refused.Message();
        filed.failure = std::current_exception();
    } catch (const std::exception& failure) {
        filed.result = Filed::Result::kFailed;
        filed.message = failure.what();
        filed.failure = std::current_exception();
        filed.connection_lost = db::IsConnectionLost(filed.failure);
    }
    if (filed.result == Filed::Result::kFiled) filed.request.time = std::time(nullptr);
    return filed;
}

void Approvals::Settle(Filed& filed, const std::string& cause) {
    // Nothing was to be written: nothing was lost.
    if (filed.result != Filed::Result::kFiled) return;
    const std::string loan = std::to_string(filed.request.loan);
    std::optional<bool> found;
    try {
        // The old connection died with the link: ask on a new one.
        if (database_.Connected()) {
            try {
                database_.Close();
            } catch (...) {
            }
        }
        found = Find(filed.request.id).has_value();
    } catch (const std::exception&) {
    }
    // Latin-1: "perdió", "conexión", "comprobó", "quedó", "registró".
    if (found && *found) {
        filed.settled = "Se perdi\xF3 la conexi\xF3n al registrar la solicitud " +
                        std::to_string(filed.request.id) +
                        "; al volver a conectar se comprob\xF3 que qued\xF3 registrada.";
        return;
    }
    filed.result = Filed::Result::kFailed;
    if (found) {
        filed.message = "Se perdi\xF3 la conexi\xF3n al registrar la solicitud del pr\xE9stamo " +
                        loan + "; al volver a conectar se comprob\xF3 que no se registr\xF3.";
    } else {
        filed.message = "Se perdi\xF3 la conexi\xF3n al registrar la solicitud del pr\xE9stamo " +
                        loan + " y no se pudo comprobar si qued\xF3 registrada (" + cause +
                        "); v\xE9"
                        "alo en Solicitudes pendientes (F4) cuando vuelva la conexi\xF3n.";
        filed.connection_lost = true;
    }
    filed.failure = std::make_exception_ptr(runtime::Exception(filed.message));
}

Filed Approvals::Request(RepairUnit& unit, const std::vector<RepairKind>& kinds,
                         const std::string& member, int32_t loan, bool recheck) {
    return Filing([&](Filed& filed) {
        RepairOptions options;
        options.recheck = recheck;
        options.plan = true;
        options.before_commit = [&](db::TIBQuery& writer, const RepairOutcome& outcome) {
            File(writer, outcome, RepairNames(outcome.repairs), "", filed);
        };
        return unit.Run(kinds, member, loan, options);
    });
}

Filed Approvals::RequestUndo(RepairUnit& unit, RecordStore& records, const std::string& id) {
    const RepairRecord record = UndoableRecord(records, id);
    return Filing([&](Filed& filed) {
        RepairOptions options;
        options.plan = true;
        options.before_commit = [&](db::TIBQuery& writer, const RepairOutcome& outcome) {
            File(writer, outcome, kUndoRepair, id, filed);
        };
        return unit.Undo(record.undo, record.member, record.loan, options);
    });
}

std::vector<loans::Request> Approvals::Pending() {
    if (!kept_) return {};
    return Reading([&] { return PendingRequests(query_); });
}

std::vector<loans::Request> Approvals::OpenOf(const std::string& member, int32_t loan) {
    if (!kept_) return {};
    return Reading([&] { return OpenRequestsOf(query_, member, loan); });
}

std::vector<loans::Request> Approvals::Of(const std::string& member, int32_t loan) {
    if (!kept_) return {};
    return Reading([&] { return RequestsOf(query_, member, loan); });
}

std::optional<loans::Request> Approvals::Find(int32_t id) {
    if (!kept_) return std::nullopt;
    return Reading([&] { return FindRequest(query_, id); });
}

RecordedUnit Approvals::Approve(RepairUnit& unit, RecordStore& records, int32_t id,
                                ConfirmedUnit confirmed) {
    const std::optional<loans::Request> found = Find(id);
    if (!found) throw ERequestRefused("No hay ninguna solicitud " + std::to_string(id));
    const loans::Request& request = *found;
    if (request.resolution) throw ERequestRefused(ResolvedText(request));
    // Inside the unit, once it has read the loan and before it writes: the
    // rows it read are those the request saw, and the resolution goes in
    // first (the server refuses it to the request's own user and to anyone
    // but a supervisor), naming the record the unit then writes.
    const BeforeWrite approve = [&](db::TIBQuery& writer, const RepairOutcome& outcome) {
        if (outcome.fingerprint != request.fingerprint) {
            throw ERequestRefused("Los movimientos, la tabla o los documentos del pr\xE9stamo " +
                                  std::to_string(request.loan) + " cambiaron desde la solicitud " +
                                  std::to_string(request.id) +
                                  ": no se aprueba ni se escribe nada. Rech\xE1"
                                  "cela y pida una nueva.");
        }
        try {
            InsertResolution(writer, request.id, kApproved, "", outcome.id);
        } catch (const db::EIBError& error) {
            ResolutionRefused(error, request);
        }
    };
    confirmed.member = request.member;
    confirmed.loan = request.loan;
    confirmed.repair = request.repair;
    confirmed.undoes = request.undoes;
    confirmed.documents_balance_before = request.documents_balance_before;
    confirmed.receivable_balance_before = request.receivable_balance_before;
    if (request.repair == kUndoRepair) {
        return UndoRecord(unit, records, request.undoes, confirmed, approve);
    }
    const std::vector<RepairKind> kinds = KindsOf(request);
    return RunRecorded(&records, confirmed, [&](const BeforeCommit& record) {
        RepairOptions options;
        options.before_write = approve;
        options.before_commit = record;
        // A journal's record cannot be looked up after a lost commit.
        options.fingerprint_before = !records.InDatabase();
        return unit.Run(kinds, request.member, request.loan, options);
    });
}

void Approvals::Reject(int32_t id, const std::string& reason) {
    if (reason.find_first_not_of(" \t\r\n") == std::string::npos) {
        throw ERequestRefused("Para rechazar una solicitud hay que dar el motivo.");
    }
    const std::optional<loans::Request> found = Find(id);
    if (!found) throw ERequestRefused("No hay ninguna solicitud " + std::to_string(id));
    if (found->resolution) throw ERequestRefused(ResolvedText(*found));
    db::TIBTransaction writing("RejectTransaction");
    writing.SetDefaultDatabase(&database_);
    writing.Params().Assign({"write", "concurrency", "nowait"});
    db::TIBQuery writer("RejectQuery");
    writer.SetDatabase(&database_);
    writer.SetTransaction(&writing);
    if (!database_.Connected()) database_.Open();
    writing.StartTransaction();
    try {
        try {
            InsertResolution(writer, id, kRejected, reason, "");
        } catch (const db::EIBError& error) {
            ResolutionRefused(error, *found);
        }
        writer.Close();
        writing.Commit();
    } catch (...) {
        try {
            if (writing.Active()) writing.Rollback();
        } catch (...) {
        }
        throw;
    }
}

BulkResult RequestMany(db::TIBDatabase& database, Approvals& approvals,
                       const std::vector<LoanCheck>& flagged, const BulkOptions& options) {
    BulkResult result;
    result.requests = true;
    RepairUnit unit(database);
    size_t done = 0;
    bool stopped = false;
    for (const LoanCheck& check : flagged) {
        LoanRepair entry;
        entry.check = check;
        entry.asked = RepairsFor(check);
        // Between loans only: each loan's request is filed whole first.
        stopped = stopped || (options.stop && options.stop()) || !result.connection_lost.empty();
        if (stopped) {
            result.unreached.push_back(std::move(entry));
            continue;
        }
        Filed filed = approvals.Request(unit, entry.asked, entry.check.member, entry.check.loan,
                                        /*recheck=*/true);
        switch (filed.result) {
            case Filed::Result::kFiled:
                entry.result = LoanResult::kRequested;
                entry.request = filed.request.id;
                ++result.requested;
                break;
            case Filed::Result::kNothing:
                entry.result = LoanResult::kSkipped;
                ++result.skipped;
                break;
            case Filed::Result::kRefused:
                entry.result = LoanResult::kRefused;
                entry.message = filed.message;
                ++result.refused;
                break;
            case Filed::Result::kFailed:
                entry.result = LoanResult::kFailed;
                entry.message = filed.message;
                ++result.failed;
                break;
        }
        entry.outcome = std::move(filed.outcome);
        // Every loan after it would fail the same way.
        if (filed.connection_lost) result.connection_lost = filed.message;
        ++done;
        // Told as it ends and kept no longer, like a run of repairs: only the
        // loans refused or failed stay, without their outcomes.
        if (options.done) options.done(entry, done, flagged.size());
        if (entry.result == LoanResult::kFailed || entry.result == LoanResult::kRefused) {
            entry.outcome = RepairOutcome{};
            result.failures.push_back(std::move(entry));
        }
    }
    result.not_reached = static_cast<int>(result.unreached.size());
    return result;
}

}  // namespace loans
