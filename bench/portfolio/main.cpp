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
#include <string>
#include <thread>
#include <vector>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/connection_profile.h"
#include "loans/portfolio_report.h"
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
        } else {
            out += sql[i++];
        }
    }
    return out;
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
        demo::Statement round_rows(transaction, Positional(statements.rows, 0, 0, unused));
        demo::Statement documents(transaction, Positional(statements.documents, 0, 0, unused));
        demo::Statement instalments(transaction, Positional(statements.instalments, 0, 0, unused));
        for (size_t round = next++; round < rounds.size(); round = next++) {
            const auto [from, to] = rounds[round];
            if (sums_here) {
                rows += round_rows.Select(values(statements.rows, from, to)).size();
            } else {
                rows += documents.Select(values(statements.documents, from, to)).size();
                rows += instalments.Select(values(statements.instalments, from, to)).size();
            }
            rows += loans.Select(values(statements.loans, from, to)).size();
        }
    };
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
    return rows;
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
        }
        const std::string prefix = "portfolio_" + label + "_";
        Print(prefix + "seconds", best_check, "s", 2);
        Print(prefix + "loans_per_second", static_cast<double>(loans) / best_check, "loans/s", 0);
        Print(prefix + "engine_ratio", best_check / best_raw, "x", 2);
        Print(prefix + "loans", static_cast<double>(loans), "loans", 0);
        Print(prefix + "flagged", static_cast<double>(flagged), "loans", 0);
        Print(prefix + "engine_seconds", best_raw, "s", 2);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-portfolio: %s\n", error.what());
        return 1;
    }
    return 0;
}
