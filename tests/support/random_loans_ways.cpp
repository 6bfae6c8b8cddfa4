// Every listed loan's figures worked out by the window's statement, by the
// portfolio check both ways and by the schedule correction run and rolled
// back, and the figures compared loan by loan.
#include <map>
#include <set>
#include <utility>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "runtime/number_text.h"
// Every rule of loans/ these comparisons hold to each other, in one place.
#include "loans/checks/portfolio_check.h"
#include "loans/records/loan_image.h"
#include "loans/repairs/repair_unit.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/connection_profile.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/statements.h"
#include "tests/support/random_loans.h"
#include "tests/support/random_loans_tables.h"

namespace random_loans {

namespace {

using demo::Row;

// One loan's figures as one way worked them out.
struct Figures {
    std::string documents;
    std::string receivable;
    // As the window's mismatch message names it.
    std::string difference;
    int differing = 0;
    bool reindex = false;
    bool fix_schedule = false;
    // Each repair worked out without writing (a request's preview) against
    // the same repair written and rolled back: "same", or the rows and
    // figures on which they differ.
    std::string worked_out = "same";
};

// A loan as the window knows it: the member's code as looked up, the loan.
using Key = std::pair<std::string, int32_t>;

// Instalments (by number, null apart) with a row whose paid capital or
// interest shows differently after the correction than before it.
int ChangedInstalments(const std::vector<loans::ImageRow>& before,
                       const std::vector<loans::ImageRow>& after) {
    const std::vector<loans::ImageColumn>& columns = loans::ScheduleColumns();
    size_t instalment = 0;
    while (columns[instalment].name != "REN_CUOTANO") ++instalment;
    const std::vector<size_t>& paid = loans::SchedulePaidColumns();
    std::map<std::string, const loans::ImageRow*> later;
    for (const loans::ImageRow& row : after) later[row.key] = &row;
    const auto amount = [](const loans::ImageValue& value) {
        return value ? runtime::ParseReal(*value).value_or(0) : 0.0;
    };
    std::set<loans::ImageValue> changed;
    for (const loans::ImageRow& row : before) {
        const loans::ImageRow& now = *later.at(row.key);
        for (const size_t column : {paid[0], paid[1]}) {
            if (!loans::ShownAlike(amount(row.values[column]), amount(now.values[column]))) {
                changed.insert(row.values[instalment]);
            }
        }
    }
    return static_cast<int>(changed.size());
}

// Where a repair worked out without writing leaves the loan otherwise than
// the same repair written: "same", or each row only one of them has and
// the receivable balances when they differ.
std::string WorkedOutAgainstWritten(const loans::RepairOutcome& worked_out,
                                    const loans::RepairOutcome& written) {
    std::string text;
    const auto rows = [&](const char* which, const std::vector<loans::ImageColumn>& columns,
                          const std::vector<loans::ImageRow>& from,
                          const std::vector<loans::ImageRow>& to) {
        for (const loans::ImageRow& row : loans::RowsNotIn(from, to)) {
            text += std::string(which) + " " + loans::RowText(columns, row) + ";";
        }
    };
    // A table the written unit did not image (a correction's ledger, a
    // rebuild's schedule) it left alone: so must the worked-out one.
    const bool movements = !written.before.movements.empty() || !written.after.movements.empty();
    const bool schedule = !written.before.schedule.empty() || !written.after.schedule.empty();
    const auto& movements_to = movements ? written.after.movements : worked_out.before.movements;
    const auto& schedule_to = schedule ? written.after.schedule : worked_out.before.schedule;
    rows("only worked out:", worked_out.after.movement_columns, worked_out.after.movements,
         movements_to);
    rows("only written:", worked_out.after.movement_columns, movements_to,
         worked_out.after.movements);
    rows("only worked out:", loans::ScheduleColumns(), worked_out.after.schedule, schedule_to);
    rows("only written:", loans::ScheduleColumns(), schedule_to, worked_out.after.schedule);
    if (loans::ShownAmount(worked_out.receivable_balance_after) !=
        loans::ShownAmount(written.receivable_balance_after)) {
        text += " receivable after " + loans::ShownAmount(worked_out.receivable_balance_after) +
                " against " + loans::ShownAmount(written.receivable_balance_after) + ";";
    }
    if (worked_out.counts.deleted != written.counts.deleted ||
        worked_out.counts.inserted != written.counts.inserted ||
        worked_out.counts.updated != written.counts.updated) {
        text += " row counts differ;";
    }
    return text.empty() ? "same" : text;
}

std::string Flags(const Figures& figures) {
    std::string flags = figures.reindex ? "Reindexar" : "";
    if (figures.fix_schedule) flags += flags.empty() ? "Corregir Tabla" : " + Corregir Tabla";
    return flags.empty() ? "-" : flags;
}

}  // namespace

struct Ways::Connection {
    db::TIBDatabase database{"IBDatabase1"};
    db::TIBTransaction transaction{"IBTransaction1"};
    // The window's queries, named as its own.
    db::TIBQuery members{"qsocios"};
    db::TIBQuery loans{"qpres"};
    db::TIBQuery documents{"qcxc"};
    db::TIBQuery reader{"IBQuery1"};

    explicit Connection(const std::string& name) {
        loans::ConfigureProgramConnection(database, transaction, name);
        for (db::TIBQuery* query : {&members, &loans, &documents, &reader}) {
            query->SetDatabase(&database);
            query->SetTransaction(&transaction);
            query->SetBufferChunks(1000);
        }
        database.Open();
    }
};

Ways::Ways(const std::string& database) : connection_(std::make_unique<Connection>(database)) {}

Ways::~Ways() = default;

Comparison Ways::Compare(const Portfolio& portfolio, const CompareOptions& options) {
    Connection& c = *connection_;
    Comparison comparison;
    // Per way, its figures of each loan it lists.
    std::map<Key, Figures> window;
    std::map<Key, Figures> by_server;
    std::map<Key, Figures> here;
    std::map<Key, Figures> corrected;  // the correction run and rolled back
    std::map<Key, int> second_look;    // the repair's own count, for flagged loans

    // The window: each member looked up by code, each listed loan's
    // documents added up from the window's union as its totals add them.
    loans::SetStatement(c.documents, loans::AppliedDocumentsStatement());
    std::unique_ptr<loans::RepairUnit> repair;
    if (options.simulate_correction) repair = std::make_unique<loans::RepairUnit>(c.database);
    for (const Table& table : portfolio.tables) {
        if (table.name != "CLIENTES") continue;
        for (const Row& member : table.rows) {
            const std::string code = demo::AsText(member[0]);
            loans::SetStatement(c.members, loans::kMemberByCodeStatement);
            c.members.ParamNamed("c").SetString(code);
            c.members.Open();
            const bool found = c.members.FetchedRowCount() > 0;
            c.members.Close();
            if (!found) continue;
            loans::SetStatement(c.loans, loans::kLoansOfMemberStatement);
            c.loans.ParamNamed("c").SetString(code);
            c.loans.Open();
            std::vector<int32_t> numbers;
            for (c.loans.First(); !c.loans.AtEnd(); c.loans.Next()) {
                const int32_t loan = c.loans.FieldNamed("NO_DOCUMENTO").GetInteger();
                if (loan > 0) numbers.push_back(loan);
            }
            c.loans.Close();
            for (const int32_t loan : numbers) {
                const Key key{code, loan};
                if (window.count(key) != 0) continue;  // the member's loan stored twice
                c.documents.ParamNamed("p").SetInteger(loan);
                c.documents.Open();
                c.documents.First();
                loans::KindSums sums;
                db::TField& tipo = c.documents.FieldNamed("TIPO");
                db::TField& capital = c.documents.FieldNamed("REN_CUOTACAPITAL");
                std::string kind;
                int rows = 0;
                for (; !c.documents.AtEnd(); c.documents.Next(), ++rows) {
                    tipo.ReadString(kind);
                    sums.Add(kind, capital.GetFloat());
                }
                c.documents.Close();
                if (rows == 0) ++comparison.without_documents;
                const loans::Totals totals = loans::ComposeTotals(sums);
                const double receivable = loans::ReceivableBalance(c.reader, code, loan);
                Figures& shown = window[key];
                shown.documents = loans::ShownAmount(totals.documents_balance);
                shown.receivable = loans::ShownAmount(receivable);
                shown.difference = loans::ShownAmount(static_cast<long double>(receivable) -
                                                      totals.documents_balance);
                shown.reindex =
                    !loans::MismatchMessage(totals.documents_balance, receivable).empty();
                if (repair) {
                    loans::RepairOptions simulate;
                    simulate.simulate = true;
                    const loans::RepairOutcome outcome =
                        repair->Run({loans::RepairKind::kCorrect}, code, loan, simulate);
                    Figures& would = corrected[key];
                    would.documents = loans::ShownAmount(outcome.documents_balance_before);
                    would.receivable = loans::ShownAmount(outcome.receivable_balance_before);
                    would.difference = loans::ShownAmount(
                        static_cast<long double>(outcome.receivable_balance_before) -
                        outcome.documents_balance_before);
                    would.reindex = loans::BalancesDisagree(outcome.documents_balance_before,
                                                            outcome.receivable_balance_before);
                    would.differing =
                        ChangedInstalments(outcome.before.schedule, outcome.after.schedule);
                    would.fix_schedule = would.differing > 0;
                    // Both repairs worked out without writing, as a request
                    // shows them, against the same written and rolled back.
                    loans::RepairOptions plan = simulate;
                    plan.plan = true;
                    would.worked_out = WorkedOutAgainstWritten(
                        repair->Run({loans::RepairKind::kCorrect}, code, loan, plan), outcome);
                    if (would.worked_out == "same") {
                        would.worked_out = WorkedOutAgainstWritten(
                            repair->Run({loans::RepairKind::kRebuild}, code, loan, plan),
                            repair->Run({loans::RepairKind::kRebuild}, code, loan, simulate));
                    }
                }
            }
        }
    }

    // The portfolio check, its sums worked out by the server in small
    // rounds, then here in one.
    loans::CheckOptions check;
    check.connections = options.connections;
    check.sums = loans::SumsWorked::kByServer;
    check.loans_per_round = options.server_round_loans;
    const loans::CheckResult server_result = loans::RunCheck(c.database, {}, check);
    check.sums = loans::SumsWorked::kHere;
    check.loans_per_round = loans::CheckOptions{}.loans_per_round;
    const loans::CheckResult here_result = loans::RunCheck(c.database, {}, check);
    for (const auto& [result, into] :
         {std::pair{&server_result, &by_server}, std::pair{&here_result, &here}}) {
        for (const loans::LoanCheck& loan : result->loans) {
            const std::string code = Trimmed(loan.member);
            if (code.rfind(portfolio.member_prefix, 0) != 0) continue;  // the demo's own
            Figures& figures = (*into)[{code, loan.loan}];
            figures.documents = loans::ShownAmount(loan.documents_balance);
            figures.receivable = loans::ShownAmount(loan.receivable_balance);
            figures.difference = loans::ShownAmount(loans::Difference(loan));
            figures.differing = loan.differing_instalments;
            figures.reindex = loan.reindex;
            figures.fix_schedule = loan.fix_schedule;
            if (loan.Flagged() && second_look.count({code, loan.loan}) == 0) {
                second_look[{code, loan.loan}] = loans::DifferingInstalments(c.reader, loan.loan);
            }
        }
    }

    std::set<Key> keys;
    for (const auto* way : {&window, &by_server, &here}) {
        for (const auto& entry : *way) keys.insert(entry.first);
    }
    for (const Key& key : keys) {
        const auto get = [&](const std::map<Key, Figures>& way) -> const Figures* {
            const auto found = way.find(key);
            return found == way.end() ? nullptr : &found->second;
        };
        const Figures* const shown = get(window);
        const Figures* const server = get(by_server);
        const Figures* const worked = get(here);
        const Figures* const repaired = get(corrected);
        std::vector<std::string> lines;
        // Each aspect as every way that has it sees it.
        const auto agree = [&](const char* what,
                               const std::vector<std::pair<const char*, std::string>>& seen) {
            for (const auto& [way, value] : seen) {
                if (value == seen.front().second) continue;
                std::string line = std::string(what) + ":";
                for (const auto& [name, text] : seen)
                    line += std::string(" ") + name + " " + text + ";";
                lines.push_back(line);
                return;
            }
        };
        agree("listed", {{"window", shown ? "yes" : "no"},
                         {"by server", server ? "yes" : "no"},
                         {"here", worked ? "yes" : "no"}});
        if (shown && server && worked) {
            ++comparison.listed;
            if (worked->reindex) ++comparison.reindex;
            if (worked->fix_schedule) ++comparison.fix_schedule;
            std::vector<std::pair<const char*, std::string>> documents = {
                {"window", shown->documents},
                {"by server", server->documents},
                {"here", worked->documents}};
            std::vector<std::pair<const char*, std::string>> receivable = {
                {"window", shown->receivable},
                {"by server", server->receivable},
                {"here", worked->receivable}};
            std::vector<std::pair<const char*, std::string>> difference = {
                {"window", shown->difference},
                {"by server", server->difference},
                {"here", worked->difference}};
            std::vector<std::pair<const char*, std::string>> differing = {
                {"by server", std::to_string(server->differing)},
                {"here", std::to_string(worked->differing)}};
            std::vector<std::pair<const char*, std::string>> flags = {
                {"window", shown->reindex ? "Reindexar" : "-"},
                {"by server", server->reindex ? "Reindexar" : "-"},
                {"here", worked->reindex ? "Reindexar" : "-"}};
            std::vector<std::pair<const char*, std::string>> both = {{"by server", Flags(*server)},
                                                                     {"here", Flags(*worked)}};
            if (repaired) {
                documents.emplace_back("correction", repaired->documents);
                receivable.emplace_back("correction", repaired->receivable);
                difference.emplace_back("correction", repaired->difference);
                differing.emplace_back("correction", std::to_string(repaired->differing));
                flags.emplace_back("correction", repaired->reindex ? "Reindexar" : "-");
                both.emplace_back("correction", Flags(*repaired));
            }
            if (const auto look = second_look.find(key); look != second_look.end()) {
                differing.emplace_back("second look", std::to_string(look->second));
            }
            agree("documents balance", documents);
            agree("receivable balance", receivable);
            agree("difference", difference);
            agree("differing instalments", differing);
            agree("rebuild flag", flags);
            agree("repairs", both);
            if (repaired) {
                agree("repair worked out without writing",
                      {{"written", "same"}, {"worked out", repaired->worked_out}});
            }
        }
        if (lines.empty()) continue;
        std::string report = key.first + "/" + std::to_string(key.second) + "\n";
        for (const std::string& line : lines) report += "  " + line + "\n";
        report += portfolio.RowsOf(key.first, key.second);
        comparison.disagreements.push_back(std::move(report));
    }
    return comparison;
}

}  // namespace random_loans
