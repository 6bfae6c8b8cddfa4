#pragma once

// Repairs under four eyes, where the database asks for it
// (sql/aprobacion.sql): a repair, an undo or a bulk run files a request,
// writing nothing to the books; a supervisor other than the one who asked
// approves it, which makes the repair as one unit with its resolution and
// its record, or rejects it with a reason. The one place that decides what
// filing and resolving mean, for the window, the portfolio dialog and the
// command line alike. No Qt.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/approval/request.h"
#include "loans/records/record_store.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/repairs/repair_unit.h"
#include "loans/reports/repair_preview.h"
#include "runtime/exception.h"

namespace db {
class TIBDatabase;
}

namespace loans {

// Raised when a request is not filed, or not resolved, because the rules
// say no (a second open request, the request's own user, a user who may
// not resolve, a loan changed since, a request resolved already), as
// opposed to a failure: nothing was written.
class ERequestRefused : public runtime::Exception {
  public:
    using runtime::Exception::Exception;
};

// What filing one loan's request came to.
struct Filed {
    enum class Result {
        kFiled,    // `request` holds it, numbered
        kNothing,  // the repair would change nothing: no request
        kRefused,  // ERequestRefused: `message` says why
        kFailed,   // `message` and `failure` say why
    };
    Result result = Result::kFailed;
    Request request;
    RepairOutcome outcome;  // what the repair would do, worked out
    std::string message;
    std::exception_ptr failure;
    // The link was lost and it could not be told whether the request was
    // filed: a run of many stops.
    bool connection_lost = false;
    // The link was lost while the commit was on its way, and a new
    // connection found the request filed (kFiled): says so.
    std::string settled;
};

// What the analyst is told once a request is filed: that it needs
// approval, and its number.
std::string FiledText(const Request& request);
// The same for a bulk run's requests, with how many.
std::string FiledCountText(int filed);
// What became of a request, in words: pending approval, approved by whom
// and when, or rejected by whom and when, with the reason.
std::string FateText(const Request& request);

// The request's change as the unit that worked it out would show it: the
// rows it touches before and after, its balances and counts; and as one
// loan of a run, for PreviewLines and ChangeLines.
RepairOutcome OutcomeOf(const Request& request);
LoanRepair EntryOf(const Request& request);
// What the supervisor sees before approving: PreviewLines of the change.
std::vector<PreviewLine> RequestPreview(const Request& request);

class Approvals {
  public:
    // Looks, in a short read-only transaction of its own (opening the
    // connection when it is closed), whether the database keeps requests
    // and whether repairs need approval.
    explicit Approvals(db::TIBDatabase& database);
    ~Approvals();
    Approvals(const Approvals&) = delete;
    Approvals& operator=(const Approvals&) = delete;

    // Repairs and undos file requests instead of writing the books.
    bool Required() const { return required_; }
    // The database keeps requests (approval is or was on).
    bool Kept() const { return kept_; }

    // Files a request for the repairs of the member's loan: the unit works
    // out what they would write, writing nothing to the books, and files
    // that with the loan's fingerprint in a transaction of its own. With
    // `recheck`, only the repairs the loan still needs (kNothing when
    // none). Refused when the loan has an open request for that repair.
    Filed Request(RepairUnit& unit, const std::vector<RepairKind>& kinds, const std::string& member,
                  int32_t loan, bool recheck = false);
    // The same for undoing the record `id` ("Deshacer"). Raises, before
    // anything, as UndoRecord does when the record cannot be undone.
    Filed RequestUndo(RepairUnit& unit, RecordStore& records, const std::string& id);

    // Read in a short read-only transaction of their own; empty when the
    // database keeps no requests.
    std::vector<loans::Request> Pending();
    std::vector<loans::Request> OpenOf(const std::string& member, int32_t loan);
    std::vector<loans::Request> Of(const std::string& member, int32_t loan);
    // With its preview; nothing when there is none.
    std::optional<loans::Request> Find(int32_t id);

    // Approves the request: in one unit, checks that the loan's rows are
    // as they were when it was asked for, writes the resolution, makes the
    // repair (or undo) and writes its record, and commits; or nothing. A
    // refusal comes back as a failed unit whose failure is ERequestRefused.
    // Raises ERequestRefused, before anything, when there is no such
    // request or it was resolved already.
    RecordedUnit Approve(RepairUnit& unit, RecordStore& records, int32_t id,
                         ConfirmedUnit confirmed);
    // Rejects the request with its reason (required), in a transaction of
    // its own. Raises ERequestRefused when the server or the rules refuse.
    void Reject(int32_t id, const std::string& reason);

  private:
    template <typename Work>
    auto Reading(const Work& work);
    // Runs the filing of one request; a refusal or failure is kept, not
    // raised, and a commit whose answer was lost is asked again.
    template <typename Work>
    Filed Filing(const Work& work);
    // Whether the request whose commit's answer was lost was filed, asked
    // on a new connection by the number it was given.
    void Settle(Filed& filed, const std::string& cause);
    // Files the outcome of a worked-out unit as a request.
    void File(db::TIBQuery& writer, const RepairOutcome& outcome, const std::string& repair,
              const std::string& undoes, Filed& filed);

    db::TIBDatabase& database_;
    bool kept_ = false;
    bool required_ = false;
    db::TIBTransaction transaction_{"RequestTransaction"};
    db::TIBQuery query_{"RequestQuery"};
};

// Files a request for each flagged loan, each in a unit of its own, with
// the repairs it still needs: kRequested (its number in `request`),
// kSkipped when it needs none now or would change nothing, kRefused when it
// has an open request for them already, kFailed. Stops like RepairMany.
BulkResult RequestMany(db::TIBDatabase& database, Approvals& approvals,
                       const std::vector<LoanCheck>& flagged, const BulkOptions& options);

}  // namespace loans
