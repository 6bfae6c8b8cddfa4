#pragma once

// Random loans for holding the reconciliation's ways of working to each
// other: members, loans, schedules, documents of every kind and ledger rows
// drawn from a source of choices (a seeded engine in the tests, a fuzzer's
// bytes in the harness), written into a cooperative database, and every
// listed loan's figures worked out by the window's statement, by the
// portfolio check both ways and by the repair, compared loan by loan.
// No GoogleTest here: the fuzzing harness links it too.

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/raw_client/raw_client.h"

namespace random_loans {

// Where the generator's choices come from.
class Choices {
  public:
    virtual ~Choices() = default;
    // A number from 0 to n - 1 (n above 0).
    virtual uint32_t Below(uint32_t n) = 0;
    bool Percent(uint32_t p) { return Below(100) < p; }
};

class SeededChoices final : public Choices {
  public:
    explicit SeededChoices(uint64_t seed) : engine_(seed) {}
    uint32_t Below(uint32_t n) override { return static_cast<uint32_t>(engine_() % n); }

  private:
    std::mt19937_64 engine_;
};

// A fuzzer's input read front to back; every choice is 0 once it runs out,
// so any input makes a portfolio.
class ByteChoices final : public Choices {
  public:
    ByteChoices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint32_t Below(uint32_t n) override;

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// One table's generated rows, in its insert columns' order.
struct Table {
    std::string name;
    std::vector<std::string> columns;
    // The column naming the loan the row belongs to (CLIENTES: none).
    std::string loan_column;
    std::vector<demo::Row> rows;
};

struct Options {
    int loans = 300;
    // Numbers and codes apart from the demo cooperative's.
    int32_t first_loan = 700000;
    std::string member_prefix = "Z";
};

struct Portfolio {
    std::vector<Table> tables;  // in the order they are written
    std::string member_prefix;
    // Every generated row that belongs to the loan or its member, as insert
    // statements one can run on a demo copy.
    std::string RowsOf(const std::string& member, int32_t loan) const;
};

Portfolio Generate(Choices& choices, const Options& options = {});

// The tables the generator writes, through the raw client as their owner.
class Writer {
  public:
    explicit Writer(const std::string& database);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    // Every row in one committed transaction.
    void Insert(const Portfolio& portfolio);
    // Deletes every row of those tables (a database holding nothing else).
    void Empty();

  private:
    demo::Attachment attachment_;
};

struct CompareOptions {
    // Rounds of the check worked out by the server: small ones give rounds
    // with and without a repeated document row.
    int server_round_loans = 8;
    int connections = 2;
    // Each listed loan's schedule correction run and rolled back.
    bool simulate_correction = true;
};

struct Comparison {
    // One line per figure on which the ways disagree, with the loan's rows.
    std::vector<std::string> disagreements;
    // What the portfolio held, to tell a vacuous run.
    int listed = 0;
    int reindex = 0;
    int fix_schedule = 0;
    int without_documents = 0;
};

// The figures of every listed loan of the portfolio's members, worked out
// on a connection made as the program makes it.
class Ways {
  public:
    explicit Ways(const std::string& database);
    ~Ways();
    Ways(const Ways&) = delete;
    Ways& operator=(const Ways&) = delete;
    Comparison Compare(const Portfolio& portfolio, const CompareOptions& options = {});

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace random_loans
