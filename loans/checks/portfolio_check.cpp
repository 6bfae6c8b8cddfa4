#include "loans/checks/portfolio_check.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "db/call_watch.h"
#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_sql.h"
#include "db/ib_transaction.h"
#include "loans/checks/check_statements.h"
#include "loans/checks/portfolio_rows.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/statements.h"

namespace loans {
namespace {

// The server compares codes ignoring trailing blanks; so do we.
std::string CodeKey(const std::string& code) {
    return code.substr(0, code.find_last_not_of(' ') + 1);
}

// Members on file by code (CodeKey), with their names.
using MemberNames = std::unordered_map<std::string, std::string>;

void Prepare(db::TIBQuery& query, db::TIBDatabase& database, db::TIBTransaction& transaction,
             const std::string& text) {
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    query.SQL().Clear();
    query.SQL().Add(text);
    query.Prepare();
}

// Raised inside a thread's rounds when the check stops for another reason:
// a cancel, or another thread's failure, which is reported instead.
struct Stopped {};
using StopTest = std::function<bool()>;

void OpenRange(db::TIBQuery& query, int32_t from, int32_t to) {
    query.Close();
    query.ParamNamed("desde").SetInteger(from);
    query.ParamNamed("hasta").SetInteger(to);
    query.Open();
}

// What a row of InstalmentsStatement says of its instalment.
enum class Instalment { kShownAlike, kShownDifferently, kUndecided };
Instalment JudgeInstalment(db::TIBQuery& instalments) {
    // Columns: loan, instalment, lowest and highest paid capital, lowest and
    // highest paid interest, the capital and interest to be written, the
    // documents added and their capital's and interest's magnitudes.
    const double capital = instalments.Field(6).GetFloat();
    const double interest = instalments.Field(7).GetFloat();
    // One document or none: the server's sum is the correction's.
    const int64_t added = instalments.Field(8).GetInteger();
    if (added > 1 &&
        (!ShowsAlikeWithin(capital, SumSpread(added, instalments.Field(9).GetFloat())) ||
         !ShowsAlikeWithin(interest, SumSpread(added, instalments.Field(10).GetFloat())))) {
        return Instalment::kUndecided;
    }
    const bool alike = ShownAlike(instalments.Field(2).GetFloat(), capital) &&
                       ShownAlike(instalments.Field(3).GetFloat(), capital) &&
                       ShownAlike(instalments.Field(4).GetFloat(), interest) &&
                       ShownAlike(instalments.Field(5).GetFloat(), interest);
    return alike ? Instalment::kShownAlike : Instalment::kShownDifferently;
}

// A round's figures worked out by the server: each kind's sum per loan
// (as the window would read it, a double, added up below in extended
// precision) with how far it may be from the window's, and the instalments
// whose paid amounts are not equal to what the correction would write,
// judged here on the texts shown. A loan whose rows may repeat, or whose
// instalments the server's sums cannot judge, is left undecided.
std::unordered_map<int32_t, LoanFigures> SummedByServer(db::TIBQuery& kind_sums,
                                                        db::TIBQuery& instalments, int32_t from,
                                                        int32_t to, const StopTest& stopped) {
    const auto open = [&](db::TIBQuery& query) {
        if (stopped()) throw Stopped();
        OpenRange(query, from, to);
    };
    const auto at_end = [&](db::TIBQuery& query) {
        if (stopped()) throw Stopped();
        return query.AtEnd();
    };
    std::unordered_map<int32_t, LoanFigures> figures;
    open(kind_sums);
    while (!at_end(kind_sums)) {
        const auto kind = static_cast<std::size_t>(kind_sums.Field(0).GetInteger() - 1);
        LoanFigures& loan = figures[kind_sums.Field(1).GetInteger()];
        const int64_t count = kind_sums.Field(2).GetInteger();
        if (kind >= kKindCount) {
            // Not one of ours: nothing the statement sends.
        } else if (count != kind_sums.Field(3).GetInteger()) {
            loan.instalments_undecided = true;
        } else if (!kind_sums.Field(4).IsNullValue()) {
            loan.sums.Set(kind, kind_sums.Field(4).GetFloat());
            loan.balance_spread += SumSpread(count, kind_sums.Field(5).GetFloat());
        }
        kind_sums.Next();
    }
    kind_sums.Close();
    for (auto& [number, loan] : figures) {
        // The six sums added up again, each from another start.
        long double magnitude = 0;
        for (std::size_t kind = 0; kind < kKindCount; ++kind)
            magnitude += std::fabs(loan.sums[kind]);
        if (loan.balance_spread > 0) loan.balance_spread += magnitude * 1e-17L;
    }
    open(instalments);
    while (!at_end(instalments)) {
        LoanFigures& loan = figures[instalments.Field(0).GetInteger()];
        if (!loan.instalments_undecided) {
            switch (JudgeInstalment(instalments)) {
                case Instalment::kShownAlike:
                    break;
                case Instalment::kShownDifferently:
                    ++loan.differing_instalments;
                    break;
                case Instalment::kUndecided:
                    loan.instalments_undecided = true;
                    break;
            }
        }
        instalments.Next();
    }
    instalments.Close();
    return figures;
}

// A round's figures worked out here from its rows as the server sends them.
// Looks whether to stop every so many rows, so a cancel never waits for the
// rest of a round.
std::unordered_map<int32_t, LoanFigures> WorkedHere(std::vector<std::unique_ptr<db::TIBSQL>>& kinds,
                                                    RoundRows& kept, int32_t from, int32_t to,
                                                    const StopTest& stopped) {
    for (std::size_t kind = 0; kind < kinds.size(); ++kind) {
        db::TIBSQL& rows = *kinds[kind];
        if (stopped()) throw Stopped();
        db::TIBXSQLDA& markers = rows.Params();
        for (int i = 0; i < markers.Count(); ++i) {
            markers[i].SetAsLong(markers[i].Name() == "DESDE" ? from : to);
        }
        rows.ExecQuery();
        for (size_t fetched = 0; rows.Next(); ++fetched) {
            if (fetched % 4096 == 0 && stopped()) throw Stopped();
            kept.Add(kind, rows.Current());
        }
        rows.Close();
    }
    return kept.TakeFigures();
}

// Fills the checks of the loans numbered from..to whose member is on file
// from their figures; a loan whose figures are not surely the window's and
// the correction's is worked out again by `rework`.
void ListRange(db::TIBQuery& loans, const MemberNames& members,
               std::unordered_map<int32_t, LoanFigures>& figures, int32_t from, int32_t to,
               const StopTest& stopped, const std::function<LoanFigures(int32_t)>& rework,
               std::vector<LoanCheck>& out) {
    // A loan listed twice for one member is one loan of the window's list.
    std::map<std::pair<std::string, int32_t>, bool> seen;
    if (stopped()) throw Stopped();
    OpenRange(loans, from, to);
    for (;;) {
        if (stopped()) throw Stopped();
        if (loans.AtEnd()) break;
        LoanCheck check;
        check.member = loans.Field(0).GetString();
        check.loan = loans.Field(1).GetInteger();
        // As a join on the code would: a loan without a member on file is
        // not listed, and a null code matches no member.
        const auto member =
            loans.Field(0).IsNullValue() ? members.end() : members.find(CodeKey(check.member));
        if (member != members.end() &&
            seen.emplace(std::make_pair(CodeKey(check.member), check.loan), true).second) {
            check.name = member->second;
            check.receivable_balance = loans.Field(2).GetFloat();
            LoanFigures& loan = figures[check.loan];
            if (!Decided(loan, check.receivable_balance)) {
                if (stopped()) throw Stopped();
                loan = rework(check.loan);
            }
            check.documents_balance = loan.sums.DocumentsBalance();
            check.differing_instalments = loan.differing_instalments;
            check.reindex = BalancesDisagree(check.documents_balance, check.receivable_balance);
            check.fix_schedule = check.differing_instalments > 0;
            out.push_back(std::move(check));
        }
        loans.Next();
    }
    loans.Close();
}

}  // namespace

std::vector<LoanCheck> CheckResult::Flagged() const {
    std::vector<LoanCheck> flagged;
    for (const LoanCheck& loan : loans) {
        if (loan.Flagged()) flagged.push_back(loan);
    }
    return flagged;
}

namespace {

// One connection's share of the rounds, in a read-only read-committed
// transaction of its own: committed data as each statement finds it, never
// a lock wait, and nothing the check could write by mistake.
class RoundRunner {
  public:
    RoundRunner(db::TIBDatabase& database, const MemberNames& members)
        : database_(database), members_(members) {
        transaction_.SetDefaultDatabase(&database);
        transaction_.Params().Assign({"read", "read_committed", "rec_version", "nowait"});
    }
    ~RoundRunner() {
        try {
            if (transaction_.Active()) transaction_.Rollback();
        } catch (...) {
            // Already failing or stopped; the connection goes with it.
        }
    }
    db::TIBTransaction& Transaction() { return transaction_; }
    // Whether the rounds' sums are worked out here (see SumsWorked).
    void WorkHere(bool here) { here_ = here; }
    void Run(int32_t from, int32_t to, const StopTest& stopped) {
        if (!loans_.Prepared()) {
            Prepare(loans_, database_, transaction_, kListedLoansStatement);
            if (here_) {
                for (const std::string& text : RoundRowsStatements()) {
                    rows_.push_back(std::make_unique<db::TIBSQL>(&rows_owner_));
                    db::TIBSQL& rows = *rows_.back();
                    rows.Base().SetDatabase(&database_);
                    rows.Base().SetTransaction(&transaction_);
                    rows.SetText(text);
                    rows.GoToFirstRecordOnExecute = false;
                    rows.Prepare();
                }
            } else {
                Prepare(kind_sums_, database_, transaction_, KindSumsStatement());
                Prepare(instalments_, database_, transaction_, InstalmentsStatement());
            }
            listed_.SetDatabase(&database_);
            listed_.SetTransaction(&transaction_);
        }
        std::unordered_map<int32_t, LoanFigures> figures =
            here_ ? WorkedHere(rows_, kept_, from, to, stopped)
                  : SummedByServer(kind_sums_, instalments_, from, to, stopped);
        ListRange(
            loans_, members_, figures, from, to, stopped,
            [this](int32_t loan) { return WorkListedLoan(listed_, loan); }, checked_);
    }
    void Finish() {
        if (transaction_.Active()) transaction_.Commit();
    }
    std::vector<LoanCheck>& Checked() { return checked_; }

  private:
    db::TIBDatabase& database_;
    const MemberNames& members_;
    db::TIBTransaction transaction_{"PortfolioTransaction"};
    db::TIBQuery loans_{"PortfolioLoans"};
    db::TIBQuery kind_sums_{"PortfolioKindSums"};
    db::TIBQuery instalments_{"PortfolioInstalments"};
    // A loan worked out again from the window's own statement.
    db::TIBQuery listed_{"PortfolioListed"};
    db::TComponent rows_owner_{"PortfolioRows"};
    std::vector<std::unique_ptr<db::TIBSQL>> rows_;  // one per kind
    RoundRows kept_;
    bool here_ = false;
    std::vector<LoanCheck> checked_;
};

void CopyConnectionSettings(const db::TIBDatabase& from, db::TIBDatabase& to) {
    to.SetDatabaseName(from.DatabaseName());
    std::vector<std::string> lines;
    for (int i = 0; i < from.Params().Count(); ++i) lines.push_back(from.Params()[i]);
    to.Params().Assign(std::move(lines));
    to.SetLoginPrompt(from.LoginPrompt());
    to.OnLogin = from.OnLogin;
    to.SetSQLDialect(from.SQLDialect());
}

// Holds a thread in the check's canceller, when it has one.
class CancelScope {
  public:
    explicit CancelScope(db::CallCanceller* canceller) {
        if (canceller != nullptr) scope_.emplace(*canceller);
    }

  private:
    std::optional<db::CallCanceller::Scope> scope_;
};

// Joins whatever threads were started, on every way out.
struct Joiner {
    std::vector<std::thread>& threads;
    ~Joiner() {
        for (std::thread& thread : threads) {
            if (thread.joinable()) thread.join();
        }
    }
};

}  // namespace

CheckResult RunCheck(db::TIBDatabase& database, const Progress& progress,
                     const CheckOptions& options) {
    db::CallCanceller* const canceller = options.canceller;
    const auto cancelled = [canceller] { return canceller != nullptr && canceller->Cancelled(); };
    auto report = [&](double done) {
        if (cancelled() || (progress && !progress(done))) throw ECheckCancelled();
    };
    report(0);
    if (!database.Connected()) database.Open();

    std::vector<int32_t> numbers;
    // Read once, before the rounds; only read by them after.
    MemberNames members;
    bool here = false;
    RoundRunner runner(database, members);
    try {
        db::TIBQuery list("PortfolioLoanNumbers");
        const CancelScope scope(canceller);  // ends before the statement is freed
        Prepare(list, database, runner.Transaction(), kLoanNumbersStatement);
        list.Open();
        for (; !list.AtEnd() && !cancelled(); list.Next()) {
            numbers.push_back(list.Field(0).GetInteger());
        }
        list.Close();
        Prepare(list, database, runner.Transaction(), kMemberNamesStatement);
        list.Open();
        for (; !list.AtEnd() && !cancelled(); list.Next()) {
            if (list.Field(0).IsNullValue()) continue;  // no loan's code matches it
            members.emplace(CodeKey(list.Field(0).GetString()), list.Field(1).GetString());
        }
        list.Close();
        here = options.sums == SumsWorked::kHere;
        if (options.sums == SumsWorked::kByRoute) {
            Prepare(list, database, runner.Transaction(), kNetworkProtocolStatement);
            list.Open();
            here = list.Field(0).IsNullValue();
            list.Close();
        }
    } catch (...) {
        if (cancelled()) throw ECheckCancelled();
        throw;
    }
    if (cancelled()) throw ECheckCancelled();
    runner.WorkHere(here);
    const std::vector<std::pair<int32_t, int32_t>> rounds =
        Rounds(numbers, options.loans_per_round);

    // Rounds are handed out one at a time to this thread and to helpers
    // with connections of their own; progress is reported from here only.
    std::atomic<size_t> next{0};
    std::atomic<size_t> finished{0};
    std::atomic<bool> stop{false};  // a thread failed
    const StopTest stopped = [&] { return stop.load() || cancelled(); };
    auto take_rounds = [&](RoundRunner& worker, bool reports) {
        for (size_t round = next++; round < rounds.size() && !stopped(); round = next++) {
            worker.Run(rounds[round].first, rounds[round].second, stopped);
            ++finished;
            if (reports) report(static_cast<double>(finished) / static_cast<double>(rounds.size()));
        }
    };
    // The server works on rounds side by side while each connection waits
    // for its results.
    const int helpers = static_cast<int>(std::min<size_t>(
                            static_cast<size_t>(std::max(1, options.connections)), rounds.size())) -
                        1;
    std::vector<std::unique_ptr<db::TIBDatabase>> connections;
    std::vector<std::unique_ptr<RoundRunner>> workers;
    std::vector<std::exception_ptr> failures(static_cast<size_t>(std::max(0, helpers)));
    std::vector<std::thread> threads;
    const Joiner joiner{threads};
    for (int i = 0; i < helpers; ++i) {
        connections.push_back(std::make_unique<db::TIBDatabase>("PortfolioDatabase"));
        CopyConnectionSettings(database, *connections.back());
        workers.push_back(std::make_unique<RoundRunner>(*connections.back(), members));
        workers.back()->WorkHere(here);
    }
    for (int i = 0; i < helpers; ++i) {
        try {
            threads.emplace_back([&, i] {
                const size_t at = static_cast<size_t>(i);
                try {
                    {
                        // The commit below must not be cancelled.
                        const CancelScope scope(canceller);
                        connections[at]->Open();
                        take_rounds(*workers[at], false);
                    }
                    workers[at]->Finish();
                } catch (const Stopped&) {
                    // Whoever stopped the check says why.
                } catch (...) {
                    failures[at] = std::current_exception();
                    stop = true;
                }
            });
        } catch (const std::system_error&) {
            // No more threads to be had (a process or system limit): the
            // rounds are shared among the threads already running.
            break;
        }
    }
    std::exception_ptr failure;
    try {
        {
            const CancelScope scope(canceller);
            take_rounds(runner, true);
        }
        runner.Finish();
    } catch (const Stopped&) {
    } catch (...) {
        failure = std::current_exception();
        stop = true;
    }
    for (std::thread& thread : threads) thread.join();
    CheckResult result;
    result.loans = std::move(runner.Checked());
    result.loans.reserve(numbers.size());
    for (const auto& worker : workers) {
        std::vector<LoanCheck>& more = worker->Checked();
        result.loans.insert(result.loans.end(), std::make_move_iterator(more.begin()),
                            std::make_move_iterator(more.end()));
    }
    // A helper's statements and transaction go before its connection.
    workers.clear();
    connections.clear();
    // A cancelled statement fails with the engine's message; the user
    // asked for it.
    if (cancelled()) throw ECheckCancelled();
    if (failure) std::rethrow_exception(failure);
    for (const std::exception_ptr& helper_failure : failures) {
        if (helper_failure) std::rethrow_exception(helper_failure);
    }
    std::sort(result.loans.begin(), result.loans.end(), [](const LoanCheck& a, const LoanCheck& b) {
        if (a.member != b.member) return a.member < b.member;
        return a.loan < b.loan;
    });
    report(1);
    return result;
}

}  // namespace loans
