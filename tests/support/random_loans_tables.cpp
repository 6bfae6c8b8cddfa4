// The generated tables: their columns, the rows of one loan as insert
// statements a failure prints, and the writer that stores them.
#include "tests/support/random_loans_tables.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

#include "loans/rules/document_kinds.h"
#include "tests/support/random_loans.h"

namespace random_loans {

namespace {

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

// A column of a kind's statement without the sign the statement gives it.
std::string Bare(const char* column) {
    return column[0] == '-' ? column + 1 : column;
}

}  // namespace

std::string Trimmed(const std::string& code) {
    return code.substr(0, code.find_last_not_of(' ') + 1);
}

bool IsSchedule(const loans::DocumentKind& kind) {
    return loans::IsScheduleRow(std::string_view(&kind.letter, 1));
}

const char* ConditionColumn(const loans::DocumentKind& kind) {
    if (kind.letter == 'C' || kind.letter == 'D') return "TIPO_DOC";
    if (kind.letter == 'N') return "ESTATUS";
    return nullptr;
}

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

}  // namespace random_loans
