// coop-bench-portfolio DATABASE [LABEL]: times the portfolio check against
// the same statements, same rounds, run through the bare client API with
// every row fetched, and prints "portfolio_<label>_... value unit" lines.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/connection_profile.h"
#include "loans/rules/document_kinds.h"
#include "tools/raw_client/raw_client.h"

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The named markers as positional ones, with the values in marker order.
std::string Positional(const std::string& sql, int32_t from, int32_t to,
                       std::vector<demo::Value>& params) {
    std::string out;
    for (size_t i = 0; i < sql.size();) {
        if (sql.compare(i, 6, ":desde") == 0) {
            out += '?';
            params.emplace_back(from);
            i += 6;
        } else if (sql.compare(i, 6, ":hasta") == 0) {
            out += '?';
            params.emplace_back(to);
            i += 6;
        } else if (sql.compare(i, 2, ":p") == 0 &&
                   (i + 2 == sql.size() || sql[i + 2] == ' ' || sql[i + 2] == ')')) {
            // One loan's statements: the loan is `from`.
            out += '?';
            params.emplace_back(from);
            i += 2;
        } else {
            out += sql[i++];
        }
    }
    return out;
}

// Runs `work` on as many threads as the check has connections; the first
// failure is raised once all have ended.
void OnEachConnection(const std::function<void()>& work) {
    std::vector<std::thread> threads;
    std::vector<std::exception_ptr> failures(
        static_cast<size_t>(loans::CheckOptions{}.connections));
    for (size_t i = 1; i < failures.size(); ++i) {
        threads.emplace_back([&, i] {
            try {
                work();
            } catch (...) {
                failures[i] = std::current_exception();
            }
        });
    }
    try {
        work();
    } catch (...) {
        failures[0] = std::current_exception();
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

// The check's statements alone, through the bare client API: prepared once
// per connection, run per round, every row fetched; the rounds shared by
// as many connections as the check uses.
size_t RawCheck(const std::string& database, bool sums_here) {
    const loans::CheckStatements statements = loans::Statements();
    std::vector<std::pair<int32_t, int32_t>> rounds;
    {
        demo::Attachment attachment(database);
        demo::Transaction transaction(attachment);
        std::vector<int32_t> numbers;
        for (const demo::Row& row : demo::SelectRows(transaction, statements.numbers)) {
            numbers.push_back(static_cast<int32_t>(demo::AsInt(row[0])));
        }
        rounds = loans::Rounds(numbers);
        // The members' names once, as the check reads them.
        demo::SelectRows(transaction, statements.names);
    }
    auto values = [](const std::string& sql, int32_t from, int32_t to) {
        std::vector<demo::Value> params;
        Positional(sql, from, to, params);
        return params;
    };
    std::atomic<size_t> next{0};
    std::atomic<size_t> rows{0};
    auto work = [&] {
        demo::Attachment attachment(database);
        demo::Transaction transaction(attachment);
        std::vector<demo::Value> unused;
        demo::Statement loans(transaction, Positional(statements.loans, 0, 0, unused));
        std::vector<std::unique_ptr<demo::Statement>> kind_rows;
        for (const std::string& text : statements.rows) {
            kind_rows.push_back(
                std::make_unique<demo::Statement>(transaction, Positional(text, 0, 0, unused)));
        }
        demo::Statement kind_sums(transaction, Positional(statements.kind_sums, 0, 0, unused));
        demo::Statement instalments(transaction, Positional(statements.instalments, 0, 0, unused));
        demo::Statement listed_documents(transaction,
                                         Positional(statements.listed_documents, 0, 0, unused));
        demo::Statement listed_schedule(transaction,
                                        Positional(statements.listed_schedule, 0, 0, unused));
        for (size_t round = next++; round < rounds.size(); round = next++) {
            const auto [from, to] = rounds[round];
            if (sums_here) {
                for (size_t kind = 0; kind < kind_rows.size(); ++kind) {
                    rows += kind_rows[kind]->Select(values(statements.rows[kind], from, to)).size();
                }
            } else {
                // As the check does: a loan whose rows may repeat is worked
                // out again from the window's statement and its schedule
                // (so is, rarely, a loan whose sums come near a half cent).
                std::vector<int32_t> repeating;
                for (const demo::Row& row :
                     kind_sums.Select(values(statements.kind_sums, from, to))) {
                    ++rows;
                    if (demo::AsInt(row[2]) == demo::AsInt(row[3])) continue;
                    repeating.push_back(static_cast<int32_t>(demo::AsInt(row[1])));
                }
                rows += instalments.Select(values(statements.instalments, from, to)).size();
                std::sort(repeating.begin(), repeating.end());
                repeating.erase(std::unique(repeating.begin(), repeating.end()), repeating.end());
                for (const int32_t loan : repeating) {
                    rows +=
                        listed_documents.Select(std::vector<demo::Value>(loans::kKindCount, loan))
                            .size();
                    rows += listed_schedule.Select({loan}).size();
                }
            }
            rows += loans.Select(values(statements.loans, from, to)).size();
        }
    };
    OnEachConnection(work);
    return rows;
}

// The reading floor: every table the check reads, scanned in its stored
// order with one sum each, on as many connections as the check uses.
void ReadingFloor(const std::string& database) {
    std::vector<std::string> scans;
    for (const loans::DocumentKind& kind : loans::kDocumentKinds) {
        const std::string scan =
            std::string("select count(*),sum(") + kind.capital + ") from " + kind.source;
        if (std::find(scans.begin(), scans.end(), scan) == scans.end()) scans.push_back(scan);
    }
    scans.push_back("select count(*),sum(valor) from CXCTRX");
    scans.push_back("select count(*),max(no_documento) from SOLICITUDPRES");
    scans.push_back("select count(*) from CLIENTES");
    std::atomic<size_t> next{0};
    OnEachConnection([&] {
        demo::Attachment attachment(database);
        demo::Transaction transaction(attachment);
        for (size_t scan = next++; scan < scans.size(); scan = next++) {
            demo::SelectRows(transaction, scans[scan]);
        }
    });
}

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: coop-bench-portfolio DATABASE [LABEL]\n");
        return 2;
    }
    const std::string database = argv[1];
    const std::string label = argc > 2 ? argv[2] : "embedded";
    try {
        // Alternating, so both meet the same caches; each run is long
        // enough for one to be a fair figure (COOP_BENCH_ROUNDS for more).
        const char* rounds_text = std::getenv("COOP_BENCH_ROUNDS");
        const int rounds = rounds_text != nullptr ? std::max(1, std::atoi(rounds_text)) : 1;
        double best_check = 1e9;
        double best_raw = 1e9;
        double best_floor = 1e9;
        size_t loans = 0;
        size_t flagged = 0;
        for (int round = 0; round < rounds; ++round) {
            best_check =
                std::min(best_check, Seconds([&] {
                             db::TIBDatabase connection("IBDatabase1");
                             db::TIBTransaction unused("IBTransaction1");
                             loans::ConfigureProgramConnection(connection, unused, database);
                             const loans::CheckResult result = loans::RunCheck(connection);
                             loans = result.loans.size();
                             flagged = result.Flagged().size();
                         }));
            best_raw = std::min(best_raw, Seconds([&] { RawCheck(database, label != "server"); }));
            best_floor = std::min(best_floor, Seconds([&] { ReadingFloor(database); }));
        }
        const std::string prefix = "portfolio_" + label + "_";
        Print(prefix + "seconds", best_check, "s", 2);
        Print(prefix + "loans_per_second", static_cast<double>(loans) / best_check, "loans/s", 0);
        Print(prefix + "engine_ratio", best_check / best_raw, "x", 2);
        Print(prefix + "loans", static_cast<double>(loans), "loans", 0);
        Print(prefix + "flagged", static_cast<double>(flagged), "loans", 0);
        Print(prefix + "engine_seconds", best_raw, "s", 2);
        Print(prefix + "floor_seconds", best_floor, "s", 2);
        Print(prefix + "floor_ratio", best_check / best_floor, "x", 2);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-portfolio: %s\n", error.what());
        return 1;
    }
    return 0;
}
