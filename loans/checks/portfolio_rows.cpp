#include "loans/checks/portfolio_rows.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "db/xsqlda.h"
#include "loans/rules/document_kinds.h"
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

[[noreturn]] void Unsupported(const db::TIBXSQLVAR& var) {
    throw runtime::Exception("La revision de cartera no sabe leer la columna " + var.Name() +
                             " (tipo " + std::to_string(var.SqlType()) + ")");
}

template <typename T>
T Read(const db::TIBXSQLVAR& var) {
    T value;
    std::memcpy(&value, var.Var().sqldata, sizeof value);
    return value;
}

// A number column's value.
double Number(const db::TIBXSQLVAR& var) {
    const auto scaled = [&](auto value) {
        double result = static_cast<double>(value);
        for (int s = var.Var().sqlscale; s < 0; ++s) result /= 10;
        return result;
    };
    switch (var.SqlType()) {
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return Read<double>(var);
        case SQL_FLOAT:
            return Read<float>(var);
        case SQL_SHORT:
            return scaled(Read<int16_t>(var));
        case SQL_LONG:
            return scaled(Read<int32_t>(var));
        case SQL_INT64:
            return scaled(Read<int64_t>(var));
        default:
            Unsupported(var);
    }
}

// Equal numbers, however signed, compare equal.
uint64_t NumberKey(double value) {
    if (value == 0) value = 0;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Bit `bit` of `nulls` set when the column is null; the value otherwise.
double NumberOrZero(const db::TIBXSQLVAR& var, int bit, uint8_t& nulls) {
    if (var.IsNull()) {
        nulls |= static_cast<uint8_t>(1u << bit);
        return 0;
    }
    return Number(var);
}

}  // namespace

void RoundRows::Add(std::size_t kind, const db::TIBXSQLDA& row) {
    Row kept;
    const auto key = [&](const db::TIBXSQLVAR& var, int bit) -> uint64_t {
        if (var.IsNull()) {
            kept.nulls |= static_cast<uint8_t>(1u << bit);
            return 0;
        }
        switch (var.SqlType()) {
            case SQL_SHORT:
                return static_cast<uint64_t>(Read<int16_t>(var));
            case SQL_LONG:
                return static_cast<uint64_t>(Read<int32_t>(var));
            case SQL_INT64:
                return static_cast<uint64_t>(Read<int64_t>(var));
            case SQL_TYPE_DATE:
                return static_cast<uint32_t>(Read<ISC_DATE>(var));
            case SQL_TYPE_TIME:
                return Read<ISC_TIME>(var);
            case SQL_TIMESTAMP: {
                const auto stamp = Read<ISC_TIMESTAMP>(var);
                return (static_cast<uint64_t>(static_cast<uint32_t>(stamp.timestamp_date)) << 32) |
                       stamp.timestamp_time;
            }
            case SQL_DOUBLE:
            case SQL_D_FLOAT:
            case SQL_FLOAT:
                return NumberKey(Number(var));
            case SQL_TEXT:
            case SQL_VARYING: {
                const XSQLVAR& raw = var.Var();
                const char* text = raw.sqldata;
                size_t length = static_cast<size_t>(raw.sqllen);
                if (var.SqlType() == SQL_VARYING) {
                    length = Read<uint16_t>(var);
                    text += sizeof(uint16_t);
                }
                while (length > 0 && text[length - 1] == ' ') --length;
                return texts_.try_emplace(std::string(text, length), texts_.size()).first->second;
            }
            default:
                Unsupported(var);
        }
    };
    kept.kind = static_cast<uint8_t>(kind);
    kept.loan = static_cast<int32_t>(Number(row[kLoan]));
    kept.document = key(row[kDocument], 0);
    kept.date = key(row[kDate], 1);
    kept.instalment = key(row[kInstalment], 2);
    kept.capital = NumberOrZero(row[kCapital], 3, kept.nulls);
    kept.interest = NumberOrZero(row[kInterest], 4, kept.nulls);
    if (row.Count() > kPaidInterest) {
        // Not part of the document: the schedule's paid figures.
        uint8_t unused = 0;
        kept.paid_capital = NumberOrZero(row[kPaidCapital], 0, unused);
        kept.paid_interest = NumberOrZero(row[kPaidInterest], 0, unused);
    }
    rows_.push_back(kept);
}

namespace {

using Row = RoundRows::Row;

auto DocumentOf(const Row& row) {
    return std::make_tuple(row.loan, row.kind, row.nulls, row.document, row.date, row.instalment,
                           NumberKey(row.capital), NumberKey(row.interest));
}

bool InstalmentKnown(const Row& row) {
    return (row.nulls & (1u << 2)) == 0;
}

// Paid figures of the schedule rows with one instalment number (a number
// may be repeated), and what the correction would write there.
struct Instalment {
    double min_capital = 0, max_capital = 0, min_interest = 0, max_interest = 0;
    double capital = 0, interest = 0;
    bool scheduled = false;
};

// One loan's rows, sorted as DocumentOf sorts them.
LoanFigures WorkLoan(const Row* first, const Row* last) {
    LoanFigures figures;
    // Keyed by the instalment as the union tells it: null apart.
    std::map<std::pair<bool, uint64_t>, Instalment> instalments;
    for (const Row* row = first; row != last; ++row) {
        const bool schedule = IsScheduleRow(std::string_view(&kDocumentKinds[row->kind].letter, 1));
        if (schedule) {
            Instalment& at = instalments[{InstalmentKnown(*row), row->instalment}];
            if (!at.scheduled) {
                at.min_capital = at.max_capital = row->paid_capital;
                at.min_interest = at.max_interest = row->paid_interest;
                at.scheduled = true;
            } else {
                at.min_capital = std::min(at.min_capital, row->paid_capital);
                at.max_capital = std::max(at.max_capital, row->paid_capital);
                at.min_interest = std::min(at.min_interest, row->paid_interest);
                at.max_interest = std::max(at.max_interest, row->paid_interest);
            }
        }
        // The union lists a row once however often it is stored.
        if (row != first && DocumentOf(row[-1]) == DocumentOf(*row)) continue;
        figures.sums.Set(row->kind, figures.sums[row->kind] + row->capital);
        if (!schedule && InstalmentKnown(*row)) {
            // The correction adds up what the documents paid, as the server
            // adds doubles.
            Instalment& at = instalments[{true, row->instalment}];
            at.capital += -row->capital;
            at.interest += -row->interest;
        }
    }
    for (const auto& [number, at] : instalments) {
        if (!at.scheduled) continue;
        if (!ShownAlike(at.min_capital, at.capital) || !ShownAlike(at.max_capital, at.capital) ||
            !ShownAlike(at.min_interest, at.interest) ||
            !ShownAlike(at.max_interest, at.interest)) {
            ++figures.differing_instalments;
        }
    }
    return figures;
}

}  // namespace

std::unordered_map<int32_t, LoanFigures> RoundRows::TakeFigures() {
    std::sort(rows_.begin(), rows_.end(),
              [](const Row& a, const Row& b) { return DocumentOf(a) < DocumentOf(b); });
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

}  // namespace loans
