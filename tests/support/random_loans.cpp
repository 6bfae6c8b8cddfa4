#include "tests/support/random_loans.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
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
#include "loans/rules/document_kinds.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/statements.h"

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

// What a value looks like in an insert statement.
std::string Literal(const Value& value) {
    if (demo::IsNull(value)) return "null";
    if (const auto* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    if (const auto* number = std::get_if<int64_t>(&value)) return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value)) {
        // The shortest text that reads back as the same double.
        char text[40];
        const auto end = std::to_chars(text, text + sizeof text, *real);
        return std::string(text, end.ptr);
    }
    if (const auto* date = std::get_if<demo::DateTime>(&value)) {
        char text[40];
        std::snprintf(text, sizeof text, "'%04d-%02d-%02d %02d:%02d:%02d'", date->year, date->month,
                      date->day, date->hour, date->minute, date->second);
        return text;
    }
    std::string quoted = "'";
    for (const char c : std::get<std::string>(value)) {
        quoted += c;
        if (c == '\'') quoted += c;
    }
    return quoted + "'";
}

std::string Trimmed(const std::string& code) {
    return code.substr(0, code.find_last_not_of(' ') + 1);
}

// A column of a kind's statement without the sign the statement gives it.
std::string Bare(const char* column) {
    return column[0] == '-' ? column + 1 : column;
}

// Figures near the half cent, where a sum's last bit decides what shows;
// amounts that differ by less than a cent; whole and large amounts.
constexpr double kEdgeAmounts[] = {0.001, 0.003, 0.004,    0.005, 0.006, 0.0049999, 0.015,
                                   0.025, 1.005, 2.675,    0.125, 0.335, 1e-9,      0.1,
                                   0.2,   0.7,   1234.565, 0.045, 0.055, 4000.003};
constexpr double kLedgerDeltas[] = {0.003, -0.003, 0.004, -0.004,    0.005, -0.005,
                                    0.006, -0.006, 0.01,  0.0049999, 1,     -0.0049999};

bool IsSchedule(const loans::DocumentKind& kind) {
    return loans::IsScheduleRow(std::string_view(&kind.letter, 1));
}

// The column a kind's extra condition reads, which the generator fills.
const char* ConditionColumn(const loans::DocumentKind& kind) {
    if (kind.letter == 'C' || kind.letter == 'D') return "TIPO_DOC";
    if (kind.letter == 'N') return "ESTATUS";
    return nullptr;
}

// The tables the generator writes, with no rows yet: members and loans
// first, then the schedule, each kind's documents (both kinds of note share
// their table) and the ledger.
std::vector<Table> EmptyTables() {
    std::vector<Table> tables = {
        {"CLIENTES", {"CLT_CODIGO", "CLT_NOMBRESYAPELLIDOS", "CLT_ESTATUS", "EMPRESA"}, "", {}},
        {"SOLICITUDPRES",
         {"REGISTRO_NO", "SOCIO", "ESTATUS", "NO_DOCUMENTO", "FECHA", "VALOR", "TIPO"},
         "NO_DOCUMENTO",
         {}},
        {"RENGLONES",
         {"REN_PRESTAMONO", "REN_FECHAVENCE", "REN_CUOTANO", "REN_CUOTACAPITAL", "REN_CUOTAINTERES",
          "REN_PAGADOCAPITAL", "REN_PAGADOINTERES", "REN_TOTALPAGADO"},
         "REN_PRESTAMONO",
         {}},
    };
    for (const loans::DocumentKind& kind : loans::kDocumentKinds) {
        if (IsSchedule(kind)) continue;
        const bool known = std::any_of(tables.begin(), tables.end(), [&](const Table& table) {
            return table.name == kind.source;
        });
        if (known) continue;
        std::vector<std::string> columns = {kind.loan_column,   kind.document_column,
                                            kind.date_column,   kind.instalment_column,
                                            Bare(kind.capital), Bare(kind.interest)};
        if (const char* extra = ConditionColumn(kind)) columns.push_back(extra);
        tables.push_back({kind.source, std::move(columns), kind.loan_column, {}});
    }
    tables.push_back(
        {"CXCTRX",
         {"CLIENTE", "APLICA", "TIPO_DOC", "DOCUMENTO", "FECHA", "VALOR", "CUOTA", "INTERES"},
         "APLICA",
         {}});
    return tables;
}

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

std::string Portfolio::RowsOf(const std::string& member, int32_t loan) const {
    std::string out;
    for (const Table& table : tables) {
        std::string columns;
        for (const std::string& column : table.columns) {
            columns += (columns.empty() ? "" : ",") + column;
        }
        const size_t loan_at = static_cast<size_t>(
            std::find(table.columns.begin(), table.columns.end(), table.loan_column) -
            table.columns.begin());
        for (const Row& row : table.rows) {
            const bool ours = table.loan_column.empty()
                                  ? Trimmed(demo::AsText(row[0])) == member
                                  : std::holds_alternative<int32_t>(row[loan_at]) &&
                                        std::get<int32_t>(row[loan_at]) == loan;
            if (!ours) continue;
            std::string values;
            for (const Value& value : row) values += (values.empty() ? "" : ",") + Literal(value);
            out += "  insert into " + table.name + " (" + columns + ") values (" + values + ");\n";
        }
    }
    return out;
}

Writer::Writer(const std::string& database) : attachment_(database) {}

Writer::~Writer() = default;

void Writer::Insert(const Portfolio& portfolio) {
    demo::Transaction transaction(attachment_);
    for (const Table& table : portfolio.tables) {
        if (table.rows.empty()) continue;
        std::string columns;
        std::string markers;
        for (const std::string& column : table.columns) {
            columns += (columns.empty() ? "" : ",") + column;
            markers += markers.empty() ? "?" : ",?";
        }
        demo::Statement insert(transaction, "insert into " + table.name + " (" + columns +
                                                ") values (" + markers + ")");
        for (const Row& row : table.rows) insert.Execute(row);
    }
    transaction.Commit();
}

void Writer::Empty() {
    demo::Transaction transaction(attachment_);
    for (const Table& table : EmptyTables()) {
        demo::ExecuteImmediate(transaction, "delete from " + table.name);
    }
    transaction.Commit();
}

namespace {

// One loan's figures as one way worked them out.
struct Figures {
    std::string documents;
    std::string receivable;
    // As the window's mismatch message names it.
    std::string difference;
    int differing = 0;
    bool reindex = false;
    bool fix_schedule = false;
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
