// The generator: members, loans, schedules, documents and ledger rows drawn
// from the choices, mostly agreeing with each other and often not quite.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>

#include "loans/rules/document_kinds.h"
#include "tests/support/random_loans.h"
#include "tests/support/random_loans_tables.h"

namespace random_loans {

uint32_t ByteChoices::Below(uint32_t n) {
    const int bytes = n <= 0x100u ? 1 : n <= 0x10000u ? 2 : 4;
    uint32_t value = 0;
    for (int i = 0; i < bytes && at_ < size_; ++i) value = (value << 8) | data_[at_++];
    return value % n;
}

namespace {

using demo::kNull;
using demo::Row;
using demo::Value;

// Figures near the half cent, where a sum's last bit decides what shows;
// amounts that differ by less than a cent; whole and large amounts.
constexpr double kEdgeAmounts[] = {0.001, 0.003, 0.004,    0.005, 0.006, 0.0049999, 0.015,
                                   0.025, 1.005, 2.675,    0.125, 0.335, 1e-9,      0.1,
                                   0.2,   0.7,   1234.565, 0.045, 0.055, 4000.003};
constexpr double kLedgerDeltas[] = {0.003, -0.003, 0.004, -0.004,    0.005, -0.005,
                                    0.006, -0.006, 0.01,  0.0049999, 1,     -0.0049999};

class Generator {
  public:
    Generator(Choices& choices, const Options& options) : in_(choices), options_(options) {
        portfolio_.member_prefix = options.member_prefix;
        portfolio_.tables = EmptyTables();
    }

    Portfolio Run() {
        const int member_count = std::max(1, options_.loans * 2 / 3);
        for (int i = 0; i < member_count; ++i) AddMember(i);
        int member = 0;
        int32_t next_loan = options_.first_loan;
        for (int i = 0; i < options_.loans; ++i) {
            if (i > 0 && in_.Percent(60)) member = (member + 1) % member_count;
            AddLoan(i, MemberCode(member), next_loan);
        }
        return std::move(portfolio_);
    }

  private:
    // Whether a row of the kind with that condition value is listed.
    static bool Applies(const loans::DocumentKind& kind, const Value& condition) {
        if (ConditionColumn(kind) == nullptr) return true;
        if (demo::IsNull(condition)) return false;
        const std::string& text = demo::AsText(condition);
        if (kind.letter == 'N') return text == "A";
        return text.find(kind.letter) != std::string::npos ||
               text.find(static_cast<char>(kind.letter - 'A' + 'a')) != std::string::npos;
    }

    Table& Rows(const std::string& name) {
        for (Table& table : portfolio_.tables) {
            if (table.name == name) return table;
        }
        throw std::logic_error("no table " + name);
    }
    // Adds the row at a random place among the table's rows of this loan,
    // so duplicates are not always stored next to each other.
    void Put(const std::string& table, Row row, size_t first_of_loan) {
        std::vector<Row>& rows = Rows(table).rows;
        const size_t span = rows.size() - first_of_loan + 1;
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(
                                       first_of_loan + in_.Below(static_cast<uint32_t>(span))),
                    std::move(row));
    }

    std::string MemberCode(int member) const {
        char code[16];
        std::snprintf(code, sizeof code, "%s%04d", options_.member_prefix.c_str(), member + 1);
        return code;
    }

    double Amount() {
        double amount = 0;
        switch (in_.Below(10)) {
            case 0:
            case 1:
            case 2:
                amount = in_.Below(1000000) / 100.0;
                break;
            case 3:  // x.xx5
                amount = (in_.Below(100000) * 10 + 5) / 1000.0;
                break;
            case 4:  // just under the half cent
                amount = in_.Below(100000) / 100.0 + (in_.Percent(50) ? 0.004999 : 0.0049999999);
                break;
            case 5:
                amount = kEdgeAmounts[in_.Below(std::size(kEdgeAmounts))];
                break;
            case 6:
                amount = in_.Percent(25) ? -0.0 : 0.0;
                break;
            case 7:  // millions
                amount = in_.Below(5000000) + kEdgeAmounts[in_.Below(std::size(kEdgeAmounts))];
                break;
            case 8:
                amount = in_.Below(100000) / 3.0;
                break;
            default:
                amount = in_.Below(10000) / 100.0;
                break;
        }
        return in_.Percent(10) ? -amount : amount;
    }
    Value AmountOrNull(uint32_t null_percent) {
        if (in_.Percent(null_percent)) return kNull;
        return Amount();
    }
    demo::DateTime Date() {
        demo::DateTime date{2024, 1 + static_cast<int>(in_.Below(12)),
                            1 + static_cast<int>(in_.Below(28))};
        if (in_.Percent(5)) date.hour = static_cast<int>(in_.Below(24));
        return date;
    }
    Value DateOrNull(uint32_t null_percent) {
        if (in_.Percent(null_percent)) return kNull;
        return Date();
    }

    void AddMember(int member) {
        const std::string code = MemberCode(member);
        Value name = "SOCIO " + code;
        if (in_.Percent(5)) name = kNull;
        if (in_.Percent(5)) name = "JOS\xC9 P\xC9REZ " + code;  // ISO8859_1, as stored
        static const char* const kStatus[] = {"A", "A", "A", "A", "A", "A", "I", "a", nullptr};
        const char* status = kStatus[in_.Below(std::size(kStatus))];
        Rows("CLIENTES")
            .rows.push_back({code, name, status ? Value(std::string(status)) : Value(kNull),
                             in_.Percent(80) ? Value(int32_t{1}) : Value(kNull)});
    }

    // One loan application: usually a new loan number with its schedule,
    // documents and the member's ledger; sometimes a number the window does
    // not list, another member's number (their documents are shared), or
    // the member's own number stored twice.
    void AddLoan(int index, const std::string& member, int32_t& next_loan) {
        Value number;
        bool fresh = false;
        const uint32_t pick = in_.Below(100);
        if (pick < 3) {
            number = int32_t{0};
        } else if (pick < 5) {
            number = -(index + 1);
        } else if (pick < 6) {
            number = kNull;
        } else if (pick < 10 && !numbers_.empty()) {
            number = numbers_[in_.Below(static_cast<uint32_t>(numbers_.size()))].first;
        } else if (pick < 13 && !numbers_.empty() && numbers_.back().second == member) {
            number = numbers_.back().first;
        } else {
            number = next_loan++;
            fresh = true;
        }
        static const char* const kStatus[] = {"A", "A", "A", "A", "A", "A", "A",
                                              "A", "A", "A", "A", "A", "A", "A",
                                              "L", "L", "L", "C", "X", "a", nullptr};
        const char* status = kStatus[in_.Below(std::size(kStatus))];
        Value socio = member;
        std::string ledger_member = member;
        const uint32_t whose = in_.Below(100);
        if (whose < 3) {
            socio = member + " ";  // the server compares codes without trailing blanks
        } else if (whose < 5) {
            ledger_member = options_.member_prefix + "X" + std::to_string(index);
            socio = ledger_member;  // a member not on file
        } else if (whose < 6) {
            socio = kNull;
        }
        double schedule_total = 0;
        if (fresh) {
            const int32_t loan = std::get<int32_t>(number);
            schedule_total = AddLoanRows(loan);
            numbers_.emplace_back(loan, member);
        }
        Rows("SOLICITUDPRES")
            .rows.push_back(
                {options_.first_loan + 200000 + index, socio,
                 status ? Value(std::string(status)) : Value(kNull), number, DateOrNull(3),
                 in_.Percent(90) ? Value(schedule_total) : AmountOrNull(20),
                 in_.Percent(70) ? Value(static_cast<int32_t>(in_.Below(4))) : Value(kNull)});
        if (std::holds_alternative<int32_t>(number) && !demo::IsNull(socio)) {
            AddLedger(ledger_member, std::get<int32_t>(number));
        }
    }

    // What the generator meant the loan's documents to say, to make the
    // schedule and the ledger agree with them mostly; the ways compared
    // never read it.
    struct Intended {
        double schedule = 0;                                // the schedule's capital
        std::vector<std::pair<char, double>> rows;          // each listed document's capital
        std::map<int32_t, std::pair<double, double>> paid;  // by instalment
    };

    double AddLoanRows(int32_t loan) {
        Intended intended;
        // Some loans have every document on one day: rows that tie on
        // instalment and date, listed in an order of the server's own.
        one_day_.reset();
        if (in_.Percent(15)) one_day_ = Date();
        // Some loans have nothing applied at all, some a schedule alone.
        const uint32_t story = in_.Below(100);
        if (story >= 16) {
            for (const loans::DocumentKind& kind : loans::kDocumentKinds) {
                if (!IsSchedule(kind)) AddDocuments(kind, loan, intended);
            }
        }
        if (story >= 8) AddSchedule(loan, intended);
        intended_[loan] = std::move(intended);
        return intended_[loan].schedule;
    }

    Value Instalment() {
        const uint32_t pick = in_.Below(100);
        if (pick < 5) return kNull;
        if (pick < 10) return int32_t{0};
        if (pick < 14) return static_cast<int32_t>(7 + in_.Below(3));  // none in the schedule
        return static_cast<int32_t>(1 + in_.Below(6));
    }

    Value ConditionValue(const loans::DocumentKind& kind) {
        static const char* const kCredit[] = {"C",  "C", "C",  "C", "C",
                                              "NC", "c", "CD", "X", nullptr};
        static const char* const kDebit[] = {"D", "D", "D", "D", "D", "ND", "d", "DC", nullptr};
        static const char* const kPayroll[] = {"A", "A", "A", "A", "A", "A", "I", "a", nullptr};
        const char* value = nullptr;
        if (kind.letter == 'C') value = kCredit[in_.Below(std::size(kCredit))];
        if (kind.letter == 'D') value = kDebit[in_.Below(std::size(kDebit))];
        if (kind.letter == 'N') value = kPayroll[in_.Below(std::size(kPayroll))];
        return value ? Value(std::string(value)) : Value(kNull);
    }

    // A copy differing in one column, which the union keeps apart.
    Row NearCopy(Row row) {
        switch (in_.Below(8)) {
            case 0:
                row[4] = demo::AsDouble(row[4]) + 0.01;
                break;
            case 1:
                row[4] = demo::AsDouble(row[4]) + 0.001;
                break;
            case 2:
                row[5] = demo::IsNull(row[5]) ? Value(0.0) : Value(kNull);
                break;
            case 3:
                row[2] = demo::IsNull(row[2])
                             ? Value(Date())
                             : Value(demo::AddDays(std::get<demo::DateTime>(row[2]), 1));
                break;
            case 4:
                if (auto* date = std::get_if<demo::DateTime>(&row[2])) {
                    date->second = (date->second + 1) % 60;
                } else {
                    row[2] = Date();
                }
                break;
            case 5:
                row[1] = demo::IsNull(row[1]) ? Value(int32_t{1}) : Value(kNull);
                break;
            case 6:
                row[3] = demo::IsNull(row[3]) ? Value(int32_t{1}) : Value(kNull);
                break;
            default:
                // Zero of the other sign: equal as numbers, apart as bits.
                row[4] = std::signbit(demo::AsDouble(row[4])) ? 0.0 : -0.0;
                break;
        }
        return row;
    }

    void Intend(const loans::DocumentKind& kind, const Row& row, Intended& intended) {
        if (row.size() > 6 && !Applies(kind, row[6])) return;
        const double sign = kind.capital[0] == '-' ? -1 : 1;
        const double capital = sign * demo::AsDouble(row[4]);
        const double interest = sign * demo::AsDouble(row[5]);
        intended.rows.emplace_back(kind.letter, capital);
        if (demo::IsNull(row[3])) return;
        auto& paid = intended.paid[static_cast<int32_t>(demo::AsInt(row[3]))];
        paid.first -= capital;
        paid.second -= interest;
    }

    void AddDocuments(const loans::DocumentKind& kind, int32_t loan, Intended& intended) {
        static const int kCounts[] = {0, 0, 0, 0, 0, 1, 1, 1, 2, 3};
        int count = kCounts[in_.Below(std::size(kCounts))];
        if (count == 3) count += static_cast<int>(in_.Below(3));
        const size_t first = Rows(kind.source).rows.size();
        std::vector<Row> made;
        for (int i = 0; i < count; ++i) {
            // Few document numbers: rows of one loan often share one.
            Row row = {
                loan,
                in_.Percent(4) ? Value(kNull) : Value(static_cast<int32_t>(1 + in_.Below(6))),
                one_day_ ? Value(*one_day_) : DateOrNull(4),
                Instalment(),
                AmountOrNull(4),
                AmountOrNull(6)};
            if (ConditionColumn(kind) != nullptr) row.push_back(ConditionValue(kind));
            Intend(kind, row, intended);
            made.push_back(row);
        }
        if (!made.empty() && in_.Percent(20)) {
            // Captured twice or three times: listed once.
            const Row copy = made[in_.Below(static_cast<uint32_t>(made.size()))];
            made.push_back(copy);
            if (in_.Percent(30)) made.push_back(copy);
        }
        if (!made.empty() && in_.Percent(20)) {
            Row near = NearCopy(made[in_.Below(static_cast<uint32_t>(made.size()))]);
            Intend(kind, near, intended);
            made.push_back(std::move(near));
        }
        for (Row& row : made) Put(kind.source, std::move(row), first);
    }

    // What an instalment's paid amount holds against what its documents
    // paid: mostly the same, or a little or a lot apart, or nothing.
    Value Paid(double intended) {
        const uint32_t pick = in_.Below(20);
        if (pick < 13) return intended;
        if (pick < 16) return intended + kLedgerDeltas[in_.Below(std::size(kLedgerDeltas))];
        if (pick < 18) return kNull;
        return Amount();
    }

    void AddSchedule(int32_t loan, Intended& intended) {
        const int count = static_cast<int>(in_.Below(7));
        std::vector<Value> numbers;
        for (int i = 1; i <= count; ++i) numbers.emplace_back(int32_t{i});
        if (count > 0 && in_.Percent(8))
            numbers[in_.Below(static_cast<uint32_t>(count))] = int32_t{0};
        if (in_.Percent(5)) numbers.emplace_back(kNull);
        const size_t first = Rows("RENGLONES").rows.size();
        std::vector<Row> made;
        for (const Value& number : numbers) {
            std::pair<double, double> paid{0, 0};
            if (!demo::IsNull(number)) paid = intended.paid[std::get<int32_t>(number)];
            Value capital = AmountOrNull(3);
            intended.schedule += demo::AsDouble(capital);
            const Value paid_capital = Paid(paid.first);
            const Value paid_interest = Paid(paid.second);
            made.push_back(
                {loan, DateOrNull(3), number, capital, AmountOrNull(3), paid_capital, paid_interest,
                 in_.Percent(80)
                     ? Value(demo::AsDouble(paid_capital) + demo::AsDouble(paid_interest))
                     : Value(kNull)});
        }
        if (!made.empty() && in_.Percent(8)) {
            // An instalment stored twice: alike, or paying other amounts.
            Row copy = made[in_.Below(static_cast<uint32_t>(made.size()))];
            if (in_.Percent(40)) copy[5] = demo::AsDouble(copy[5]) + (in_.Percent(50) ? 1 : 0.005);
            made.push_back(std::move(copy));
        }
        for (Row& row : made) Put("RENGLONES", std::move(row), first);
    }

    // The member's movements applied to the loan: mostly the documents one
    // by one, or their total in one row; sometimes a little or a lot apart,
    // with a movement of no amount, another member's, or none at all.
    void AddLedger(const std::string& member, int32_t loan) {
        const auto found = intended_.find(loan);
        const Intended nothing;
        const Intended& intended = found != intended_.end() ? found->second : nothing;
        Table& ledger = Rows("CXCTRX");
        const auto movement = [&](const std::string& who, const char* kind, Value amount) {
            ledger.rows.push_back({who, loan, std::string(kind),
                                   static_cast<int32_t>(in_.Below(100)), DateOrNull(2), amount,
                                   static_cast<int32_t>(in_.Below(7)), AmountOrNull(10)});
        };
        const auto mirror = [&] {
            movement(member, "F", intended.schedule);
            for (const auto& [letter, capital] : intended.rows) {
                movement(member, std::string(1, letter).c_str(), capital);
            }
        };
        const uint32_t pick = in_.Below(20);
        if (pick < 10) {
            mirror();
        } else if (pick < 13) {
            double total = intended.schedule;
            for (const auto& row : intended.rows) total += row.second;
            movement(member, "F", total);
        } else if (pick < 16) {
            mirror();
            movement(member, "AJ", kLedgerDeltas[in_.Below(std::size(kLedgerDeltas))]);
        } else if (pick < 17) {
            // No movements at all.
        } else if (pick < 18) {
            mirror();
            movement(member, "R", kNull);
        } else if (pick < 19) {
            mirror();
            movement(options_.member_prefix + "9999", "R", Amount());
        } else {
            movement(member, "F", Amount());
        }
        if (in_.Percent(5)) {
            // The member's movement applied to no loan.
            ledger.rows.push_back({member, in_.Percent(50) ? Value(int32_t{0}) : Value(kNull),
                                   std::string("CA"), int32_t{1}, Date(), Amount(), int32_t{0},
                                   0.0});
        }
    }

    Choices& in_;
    const Options options_;
    Portfolio portfolio_;
    std::vector<std::pair<int32_t, std::string>> numbers_;  // fresh loans and their members
    std::map<int32_t, Intended> intended_;
    std::optional<demo::DateTime> one_day_;  // the current loan's documents' day, if one
};

}  // namespace

Portfolio Generate(Choices& choices, const Options& options) {
    return Generator(choices, options).Run();
}

}  // namespace random_loans
