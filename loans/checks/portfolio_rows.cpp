#include "loans/checks/portfolio_rows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "db/column_value.h"
#include "db/ib_query.h"
#include "db/xsqlda.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/statements.h"
#include "runtime/exception.h"

namespace loans {

std::vector<std::string> RoundRowsStatements() {
    std::vector<std::string> statements;
    for (const DocumentKind& kind : kDocumentKinds) {
        const bool schedule = IsScheduleRow(std::string_view(&kind.letter, 1));
        std::string sql = std::string("select ") + kind.loan_column + "," + kind.document_column +
                          "," + kind.date_column + "," + kind.instalment_column + "," +
                          kind.capital + "," + kind.interest;
        if (schedule) sql += ",ren_pagadocapital,ren_pagadointeres";
        sql += std::string(" from ") + kind.source + " where " + kind.loan_column +
               " between :desde and :hasta";
        if (*kind.condition != '\0') sql += std::string(" and ") + kind.condition;
        statements.push_back(std::move(sql));
    }
    return statements;
}

namespace {

// The statements' columns, in order; the paid ones in the schedule's only.
enum Column {
    kLoan,
    kDocument,
    kDate,
    kInstalment,
    kCapital,
    kInterest,
    kPaidCapital,
    kPaidInterest
};

// Bits of Row::nulls: a null in the column, and a key the server orders
// otherwise than these keys do (a text, a number beyond a double's exact
// integers) in a column the window's list is ordered by.
constexpr uint8_t kNullDocument = 1u << 0;
constexpr uint8_t kNullDate = 1u << 1;
constexpr uint8_t kNullInstalment = 1u << 2;
constexpr uint8_t kNullCapital = 1u << 3;
constexpr uint8_t kNullInterest = 1u << 4;
constexpr uint8_t kUnordered = 1u << 5;

[[noreturn]] void Unsupported(const db::TIBXSQLVAR& var) {
    throw runtime::Exception("La revision de cartera no sabe leer la columna " + var.Name() +
                             " (tipo " + std::to_string(var.SqlType()) + ")");
}

// A number column's value.
double Number(const db::TIBXSQLVAR& var) {
    const db::ColumnValue value = db::ReadColumn(var);
    if (value.type != db::ColumnValue::Type::kReal &&
        value.type != db::ColumnValue::Type::kInteger) {
        Unsupported(var);
    }
    return value.Number();
}

constexpr uint64_t kTopBit = uint64_t{1} << 63;

// Keys that sort as the numbers do, equal numbers however signed equal.
uint64_t NumberKey(double value) {
    if (value == 0) value = 0;
    const auto bits = std::bit_cast<uint64_t>(value);
    return (bits & kTopBit) != 0 ? ~bits : bits | kTopBit;
}

// Keys that sort as the signed values do.
uint64_t SignedKey(int64_t value) {
    return static_cast<uint64_t>(value) ^ kTopBit;
}

// Bit `bit` of `nulls` set when the column is null; the value otherwise.
double NumberOrZero(const db::TIBXSQLVAR& var, uint8_t bit, uint8_t& nulls) {
    if (var.IsNull()) {
        nulls |= bit;
        return 0;
    }
    return Number(var);
}

}  // namespace

void RoundRows::Add(std::size_t kind, const db::TIBXSQLDA& row) {
    Row kept;
    // `ordered`: the window's list is ordered by the column.
    const auto key = [&](const db::TIBXSQLVAR& var, uint8_t bit, bool ordered) -> uint64_t {
        const db::ColumnValue value = db::ReadColumn(var);
        switch (value.type) {
            case db::ColumnValue::Type::kNull:
                kept.nulls |= bit;
                return 0;
            case db::ColumnValue::Type::kInteger: {
                // Exact as a double, an integer sorts with the doubles of
                // another kind's column as the union sorts them.
                constexpr int64_t kExact = int64_t{1} << 53;
                if (value.scale == 0 && value.integer > -kExact && value.integer < kExact) {
                    return NumberKey(static_cast<double>(value.integer));
                }
                if (ordered) kept.nulls |= kUnordered;
                return SignedKey(value.integer);
            }
            // A date sorts with another kind's date and time as its midnight.
            case db::ColumnValue::Type::kDate:
                return SignedKey(int64_t{value.date} * (int64_t{1} << 32));
            case db::ColumnValue::Type::kTime:
                return SignedKey(value.time);
            case db::ColumnValue::Type::kTimestamp:
                return SignedKey(int64_t{value.date} * (int64_t{1} << 32) + value.time);
            case db::ColumnValue::Type::kReal:
                return NumberKey(value.real);
            case db::ColumnValue::Type::kText:
                if (ordered) kept.nulls |= kUnordered;
                return texts_.try_emplace(std::string(value.text), texts_.size()).first->second;
            case db::ColumnValue::Type::kOther:
                break;
        }
        Unsupported(var);
    };
    kept.kind = static_cast<uint8_t>(kind);
    kept.loan = static_cast<int32_t>(Number(row[kLoan]));
    kept.document = key(row[kDocument], kNullDocument, false);
    kept.date = key(row[kDate], kNullDate, true);
    kept.instalment = key(row[kInstalment], kNullInstalment, true);
    kept.capital = NumberOrZero(row[kCapital], kNullCapital, kept.nulls);
    kept.interest = NumberOrZero(row[kInterest], kNullInterest, kept.nulls);
    if (row.Count() > kPaidInterest) {
        // Not part of the document: the schedule's paid figures.
        uint8_t unused = 0;
        kept.paid_capital = NumberOrZero(row[kPaidCapital], 1, unused);
        kept.paid_interest = NumberOrZero(row[kPaidInterest], 1, unused);
    }
    rows_.push_back(kept);
}

long double SumSpread(int64_t count, long double magnitude) {
    if (count < 2) return 0;
    // 1e-15 is over four times 2^-52: room for both sums' roundings.
    return static_cast<long double>(count + 2) * magnitude * 1e-15L;
}

bool ShowsAlikeWithin(long double value, long double spread) {
    const long double cents = std::fabs(value) * 100;
    // Far beyond any amount; the general form shows those.
    if (!(cents < 1e15L)) return false;
    // The distance, in hundredths, to the nearest half hundredth, against
    // the spread and what the 18 significant digits the text is rounded
    // on (and this arithmetic) may move the value.
    const long double off = std::fabs(cents - std::floor(cents) - 0.5L);
    return off > spread * 100 + cents * 0x1p-55L + 0x1p-60L;
}

bool Decided(const LoanFigures& figures, double receivable_balance) {
    if (figures.instalments_undecided) return false;
    if (figures.balance_spread == 0) return true;
    const long double balance = figures.sums.DocumentsBalance();
    return ShowsAlikeWithin(balance, figures.balance_spread) &&
           ShowsAlikeWithin(static_cast<long double>(receivable_balance) - balance,
                            figures.balance_spread);
}

namespace {

using Row = RoundRows::Row;

// The window's list is ordered by instalment then date, nulls first. Rows
// that tie on both come in an order the server's sort leaves to itself;
// here they follow the union's columns, which also puts exact duplicates
// side by side.
bool InListOrder(const Row& a, const Row& b) {
    if (a.loan != b.loan) return a.loan < b.loan;
    const bool a_instalment = (a.nulls & kNullInstalment) == 0;
    const bool b_instalment = (b.nulls & kNullInstalment) == 0;
    if (a_instalment != b_instalment) return b_instalment;
    if (a.instalment != b.instalment) return a.instalment < b.instalment;
    const bool a_date = (a.nulls & kNullDate) == 0;
    const bool b_date = (b.nulls & kNullDate) == 0;
    if (a_date != b_date) return b_date;
    if (a.date != b.date) return a.date < b.date;
    if (a.kind != b.kind) return a.kind < b.kind;
    if (a.nulls != b.nulls) return a.nulls < b.nulls;
    if (a.document != b.document) return a.document < b.document;
    const uint64_t a_capital = NumberKey(a.capital);
    const uint64_t b_capital = NumberKey(b.capital);
    if (a_capital != b_capital) return a_capital < b_capital;
    return NumberKey(a.interest) < NumberKey(b.interest);
}

// Rows the union lists once.
bool SameDocument(const Row& a, const Row& b) {
    return a.loan == b.loan && a.kind == b.kind && a.nulls == b.nulls && a.document == b.document &&
           a.date == b.date && a.instalment == b.instalment &&
           NumberKey(a.capital) == NumberKey(b.capital) &&
           NumberKey(a.interest) == NumberKey(b.interest);
}

// Rows at one place of the window's order: equal instalment and date.
bool Tied(const Row& a, const Row& b) {
    constexpr uint8_t kOrdering = kNullInstalment | kNullDate;
    return (a.nulls & kOrdering) == (b.nulls & kOrdering) && a.instalment == b.instalment &&
           a.date == b.date;
}

bool IsSchedule(std::size_t kind) {
    return IsScheduleRow(std::string_view(&kDocumentKinds[kind].letter, 1));
}

// Paid figures of the schedule rows with one instalment number (a number
// may be repeated), and what the correction writes there: the reset's 0,
// then each document's amounts added in the window's order, in double
// precision, as the server adds them.
struct PaidInstalment {
    double min_capital = 0, max_capital = 0, min_interest = 0, max_interest = 0;
    bool scheduled = false;
    double capital = 0, interest = 0;
    // For the rows worked out from a round: the documents added, their
    // amounts' magnitudes, and whether two of them tied in the order.
    int64_t added = 0;
    double capital_magnitude = 0, interest_magnitude = 0;
    bool tied = false;

    void Schedule(double paid_capital, double paid_interest) {
        if (!scheduled) {
            min_capital = max_capital = paid_capital;
            min_interest = max_interest = paid_interest;
            scheduled = true;
            return;
        }
        min_capital = std::min(min_capital, paid_capital);
        max_capital = std::max(max_capital, paid_capital);
        min_interest = std::min(min_interest, paid_interest);
        max_interest = std::max(max_interest, paid_interest);
    }
    // Signed as listed: the correction adds them negated.
    void AddDocument(double listed_capital, double listed_interest) {
        capital += -listed_capital;
        interest += -listed_interest;
        ++added;
        capital_magnitude += std::fabs(listed_capital);
        interest_magnitude += std::fabs(listed_interest);
    }
    bool ShowsDifferently() const {
        return !ShownAlike(min_capital, capital) || !ShownAlike(max_capital, capital) ||
               !ShownAlike(min_interest, interest) || !ShownAlike(max_interest, interest);
    }
    // Whether another order of the tied documents could change what shows.
    bool Undecided() const {
        return tied && (!ShowsAlikeWithin(capital, SumSpread(added, capital_magnitude)) ||
                        !ShowsAlikeWithin(interest, SumSpread(added, interest_magnitude)));
    }
};

// One loan's rows, sorted InListOrder.
LoanFigures WorkLoan(const Row* first, const Row* last) {
    LoanFigures figures;
    // Keyed by the instalment as the union tells it: null apart.
    std::map<std::pair<bool, uint64_t>, PaidInstalment> instalments;
    // Per kind: rows added, their magnitudes, and whether two tied.
    std::array<int64_t, kKindCount> added{};
    std::array<long double, kKindCount> magnitude{};
    std::array<bool, kKindCount> kind_tied{};
    // Within the current run of tied rows: amounts per kind, and documents.
    std::array<int, kKindCount> run_amounts{};
    int run_documents = 0;
    const Row* run = first;
    // The correction binds an instalment as an integer: a null one as 0.
    const uint64_t null_instalment = NumberKey(0);
    bool unordered = false;
    for (const Row* row = first; row != last; ++row) {
        unordered = unordered || (row->nulls & kUnordered) != 0;
        const bool schedule = IsSchedule(row->kind);
        if (schedule) {
            const bool known = (row->nulls & kNullInstalment) == 0;
            instalments[{known, row->instalment}].Schedule(row->paid_capital, row->paid_interest);
        }
        // The union lists a row once however often it is stored.
        if (row != first && SameDocument(row[-1], *row)) continue;
        if (!Tied(*run, *row)) {
            run = row;
            run_amounts.fill(0);
            run_documents = 0;
        }
        figures.sums.Set(row->kind, figures.sums[row->kind] + row->capital);
        ++added[row->kind];
        magnitude[row->kind] += std::fabs(row->capital);
        if (row->capital != 0 && ++run_amounts[row->kind] > 1) kind_tied[row->kind] = true;
        if (!schedule) {
            const bool known = (row->nulls & kNullInstalment) == 0;
            PaidInstalment& at = instalments[{true, known ? row->instalment : null_instalment}];
            at.AddDocument(row->capital, row->interest);
            if ((row->capital != 0 || row->interest != 0) && ++run_documents > 1) at.tied = true;
        }
    }
    for (const auto& [number, at] : instalments) {
        if (!at.scheduled) continue;
        if (at.ShowsDifferently()) ++figures.differing_instalments;
        if (at.Undecided()) figures.instalments_undecided = true;
    }
    long double spread = 0;
    long double balance_magnitude = 0;
    for (std::size_t kind = 0; kind < kKindCount; ++kind) {
        if (kind_tied[kind]) spread += SumSpread(added[kind], magnitude[kind]);
        balance_magnitude += std::fabs(figures.sums[kind]);
    }
    // The six sums added up again, each from another start.
    if (spread > 0) spread += balance_magnitude * 1e-17L;
    figures.balance_spread = spread;
    if (unordered) {
        figures.instalments_undecided = true;
        figures.balance_spread = std::numeric_limits<long double>::infinity();
    }
    return figures;
}

}  // namespace

std::unordered_map<int32_t, LoanFigures> RoundRows::TakeFigures() {
    std::sort(rows_.begin(), rows_.end(), InListOrder);
    std::unordered_map<int32_t, LoanFigures> figures;
    for (size_t first = 0; first < rows_.size();) {
        size_t last = first + 1;
        while (last < rows_.size() && rows_[last].loan == rows_[first].loan) ++last;
        figures.emplace(rows_[first].loan, WorkLoan(&rows_[first], rows_.data() + last));
        first = last;
    }
    rows_.clear();
    texts_.clear();
    return figures;
}

LoanFigures WorkListedLoan(const std::vector<AppliedDocument>& documents,
                           const std::vector<ScheduledInstalment>& schedule) {
    LoanFigures figures;
    std::map<std::pair<bool, int32_t>, PaidInstalment> instalments;
    for (const ScheduledInstalment& row : schedule) {
        instalments[{!row.number_null, row.number_null ? 0 : row.number}].Schedule(
            row.paid_capital, row.paid_interest);
    }
    for (const AppliedDocument& document : documents) {
        figures.sums.Add(document.kind, document.capital);
        if (IsScheduleRow(document.kind)) continue;
        // As the correction binds them: the instalment as an integer, a
        // missing amount as 0; an instalment the schedule lacks is written
        // nowhere.
        const auto at = instalments.find({true, document.instalment});
        if (at == instalments.end()) continue;
        at->second.AddDocument(document.capital_null ? -0.0 : document.capital,
                               document.interest_null ? -0.0 : document.interest);
    }
    for (const auto& [number, at] : instalments) {
        if (at.ShowsDifferently()) ++figures.differing_instalments;
    }
    return figures;
}

std::vector<ScheduledInstalment> ReadScheduledInstalments(db::TIBQuery& reader, int32_t loan) {
    SetStatement(reader, kSchedulePaidAmountsStatement);
    reader.ParamNamed("p").SetInteger(loan);
    reader.Open();
    std::vector<ScheduledInstalment> rows;
    for (; !reader.AtEnd(); reader.Next()) {
        ScheduledInstalment row;
        row.number_null = reader.Field(0).IsNullValue();
        row.number = row.number_null ? 0 : reader.Field(0).GetInteger();
        // A null paid amount is reset to 0 like any other.
        row.paid_capital = reader.Field(1).IsNullValue() ? 0 : reader.Field(1).GetFloat();
        row.paid_interest = reader.Field(2).IsNullValue() ? 0 : reader.Field(2).GetFloat();
        rows.push_back(row);
    }
    reader.Close();
    return rows;
}

LoanFigures WorkListedLoan(db::TIBQuery& reader, int32_t loan) {
    const std::vector<AppliedDocument> documents = ReadAppliedDocuments(reader, loan);
    return WorkListedLoan(documents, ReadScheduledInstalments(reader, loan));
}

}  // namespace loans
