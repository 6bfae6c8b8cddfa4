#include "bench/bulk/raw_bulk.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

#include "db/sql_preprocessor.h"
#include "loans/checks/portfolio_rows.h"
#include "loans/records/loan_image.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/repair_statements.h"
#include "loans/rules/repairs.h"
#include "loans/rules/statements.h"

namespace bench {
namespace {

using demo::Row;
using demo::Value;

std::string Positional(const std::string& text) {
    return db::PreprocessSql(text).text;
}

// The image reads' select lists, as the program builds them: dates as the
// server's text, the row key last.
std::string ImageStatement(const std::vector<loans::ImageColumn>& columns, const char* rest) {
    std::string list;
    for (const loans::ImageColumn& column : columns) {
        if (!list.empty()) list += ",";
        list += column.kind == loans::ColumnKind::kDate
                    ? std::string("cast(") + column.name + " as varchar(32))"
                    : std::string(column.name);
    }
    return "select " + list + ",rdb$db_key" + rest;
}

// The query's lines as the data layer sends them, each ended by CR LF.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

Value ZeroIfNull(const Value& value) {
    return demo::IsNull(value) ? Value(0.0) : value;
}

std::string ValueText(const Value& value) {
    if (demo::IsNull(value)) return "null";
    if (const auto* text = std::get_if<std::string>(&value)) return "\"" + *text + "\"";
    if (const auto* real = std::get_if<double>(&value)) {
        char out[40];
        std::snprintf(out, sizeof out, "\"%.17g\"", *real);
        return out;
    }
    return "\"" + std::to_string(demo::AsInt(value)) + "\"";
}

// A row's values without its trailing row key, as the journal keeps them.
std::string RowText(const Row& row) {
    std::string text;
    for (size_t i = 0; i + 1 < row.size(); ++i) text += (i > 0 ? "," : "") + ValueText(row[i]);
    return "[" + text + "]";
}

const std::string& Key(const Row& row) {
    return demo::AsText(row.back());
}

// A journal line of the program's shape and about its size: the record's
// figures, the movements the rebuild replaced and each schedule row the
// correction changed with the paid amounts it left.
std::string JournalLine(const loans::LoanCheck& check, bool rebuilt,
                        const std::vector<Row>& before_movements,
                        const std::vector<Row>& before_schedule,
                        const std::vector<Row>& after_schedule, double receivable_before,
                        double receivable_after) {
    char figures[200];
    std::snprintf(figures, sizeof figures,
                  "\"documents_balance_before\":%.2Lf,\"receivable_balance_before\":%.2f,"
                  "\"receivable_balance_after\":%.2f",
                  check.documents_balance, receivable_before, receivable_after);
    std::string line = "{\"member\":\"" + check.member +
                       "\",\"loan\":" + std::to_string(check.loan) + "," + figures +
                       ",\"undo\":{\"movements\":[";
    if (rebuilt) {
        for (size_t i = 0; i < before_movements.size(); ++i) {
            line += (i > 0 ? "," : "") + RowText(before_movements[i]);
        }
    }
    line += "],\"schedule\":[";
    std::map<std::string, const Row*> after;
    for (const Row& row : after_schedule) after[Key(row)] = &row;
    bool first = true;
    for (const Row& row : before_schedule) {
        const auto found = after.find(Key(row));
        if (found == after.end() || *found->second == row) continue;
        line += std::string(first ? "" : ",") + "{\"before\":" + RowText(row) + ",\"paid_after\":[";
        for (size_t i = 0; i < loans::SchedulePaidColumns().size(); ++i) {
            line +=
                (i > 0 ? "," : "") + ValueText((*found->second)[loans::SchedulePaidColumns()[i]]);
        }
        line += "]}";
        first = false;
    }
    return line + "]}}\n";
}

// The rows as stored, every column in its own type, as the program reads
// them for a fingerprint.
std::string StoredStatement(const std::vector<loans::ImageColumn>& columns, const char* rest) {
    std::string list;
    for (const loans::ImageColumn& column : columns)
        list += (list.empty() ? "" : ",") + column.name;
    return "select " + list + rest;
}

// Where a column of "select * from solicitudpres" comes.
size_t LoanColumn(demo::Transaction& transaction, const char* name) {
    const Value position = demo::SelectValue(
        transaction,
        "select rdb$field_position from rdb$relation_fields where rdb$relation_name = "
        "'SOLICITUDPRES' and rdb$field_name = ?",
        {std::string(name)});
    if (demo::IsNull(position)) throw std::runtime_error(std::string("no column ") + name);
    return static_cast<size_t>(demo::AsInt(position));
}

}  // namespace

RawBulkRepair::RawBulkRepair(const std::string& database_name, const std::string& journal_path)
    : attachment_(database_name),
      transaction_(attachment_, /*wait=*/false),
      loan_(transaction_, Positional(loans::kLoanOfMemberStatement)),
      documents_(transaction_, Positional(loans::AppliedDocumentsStatement())),
      balance_(transaction_,
               Positional(Lines({loans::kBalanceFirstLine, loans::kBalanceLoanLine}))),
      schedule_paid_(transaction_, Positional(loans::Statements().listed_schedule)),
      stored_columns_(transaction_, Positional(loans::kStoredColumnsStatement)),
      movements_(transaction_,
                 Positional(ImageStatement(loans::MovementColumns(),
                                           " from cxctrx where cliente = :c and aplica = :a"))),
      schedule_(transaction_,
                Positional(ImageStatement(loans::ScheduleColumns(),
                                          " from renglones where ren_prestamono = :p"))),
      delete_(transaction_, Positional(loans::kDeleteLoanMovementsStatement)),
      opening_(transaction_, Positional(loans::kInsertOpeningMovementStatement)),
      document_(transaction_, Positional(loans::kInsertDocumentMovementStatement)),
      paid_before_(transaction_, Positional(loans::kSchedulePaidStatement)),
      reset_(transaction_, Positional(loans::kResetSchedulePaymentsStatement)),
      add_paid_(transaction_, Positional(loans::kAddInstalmentPaymentStatement)),
      move_total_(transaction_, Positional(loans::kMoveTotalPaidStatement)),
      movements_stored_(transaction_, Positional(StoredStatement(
                                          loans::MovementColumns(),
                                          " from cxctrx where cliente = :c and aplica = :a"))),
      schedule_stored_(transaction_,
                       Positional(StoredStatement(loans::ScheduleColumns(),
                                                  " from renglones where ren_prestamono = :p"))) {
    for (const char* name : {"NO_DOCUMENTO", "FECHA", "VALOR", "REGISTRO_NO", "TIPO"}) {
        columns_.push_back(LoanColumn(transaction_, name));
    }
    if (demo::AsInt(demo::SelectValue(
            transaction_,
            "select count(*) from rdb$relations where rdb$relation_name = 'REPARACIONES'")) > 0) {
        record_ = std::make_unique<demo::Statement>(
            transaction_,
            "insert into reparaciones (id, equipo, socio, prestamo, accion, deshace, "
            "balance_documentos_antes, balance_cxc_antes, balance_documentos_despues, "
            "balance_cxc_despues, filas_borradas, filas_insertadas, filas_actualizadas, "
            "diario_fecha, diario_usuario) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        record_image_ = std::make_unique<demo::Statement>(
            transaction_,
            "insert into reparaciones_imagenes (reparacion, parte, texto) values (?, ?, ?)");
    }
    transaction_.Commit();
    if (record_) return;  // the records go into the database
    journal_ = ::open(journal_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (journal_ < 0) throw std::runtime_error(journal_path + ": " + std::strerror(errno));
}

RawBulkRepair::~RawBulkRepair() {
    if (journal_ >= 0) ::close(journal_);
}

RawResult RawBulkRepair::Repair(const loans::LoanCheck& check) {
    RawResult result = RawResult::kSkipped;
    std::string line;
    transaction_.Start();
    try {
        RepairInTransaction(check, result, line);
        transaction_.Commit();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "raw: loan %d: %.200s\n", check.loan, failure.what());
        try {
            transaction_.Rollback();
        } catch (...) {
        }
        return RawResult::kFailed;
    }
    if (result == RawResult::kRepaired && !record_) Append(line);
    return result;
}

void RawBulkRepair::RepairInTransaction(const loans::LoanCheck& check, RawResult& result,
                                        std::string& line) {
    const Value member(check.member);
    const Value number(check.loan);
    const std::vector<Row> loan_rows = loan_.Select({member, number});
    if (loan_rows.empty()) throw std::runtime_error("no such loan");
    const Row& loan = loan_rows.front();
    const Value& date = loan[columns_[1]];
    const Value& amount = loan[columns_[2]];
    const Value& registro = loan[columns_[3]];
    const int64_t loan_type = demo::AsInt(loan[columns_[4]]);
    const Value tipo(static_cast<int32_t>(loans::MovementType(static_cast<int32_t>(loan_type))));

    const std::vector<Row> documents = documents_.Select(std::vector<Value>(6, number));
    loans::KindSums sums;
    for (const Row& d : documents) sums.Add(demo::AsText(d[0]), demo::AsDouble(d[4]));
    auto receivable = [&] { return demo::AsDouble(balance_.Select({member, number}).front()[0]); };
    const double receivable_before = receivable();

    // The recheck, by the check's rules, in this transaction.
    const bool rebuild =
        check.reindex && loans::BalancesDisagree(sums.DocumentsBalance(), receivable_before);
    bool correct = false;
    if (check.fix_schedule) {
        // The correction's own additions against the schedule as it stands.
        std::vector<loans::AppliedDocument> listed;
        for (const Row& d : documents) {
            loans::AppliedDocument document;
            document.kind = demo::AsText(d[0]);
            document.instalment = demo::IsNull(d[3]) ? 0 : static_cast<int32_t>(demo::AsInt(d[3]));
            document.capital_null = demo::IsNull(d[4]);
            document.interest_null = demo::IsNull(d[5]);
            document.capital = document.capital_null ? 0 : demo::AsDouble(d[4]);
            document.interest = document.interest_null ? 0 : demo::AsDouble(d[5]);
            listed.push_back(std::move(document));
        }
        std::vector<loans::ScheduledInstalment> schedule;
        for (const Row& r : schedule_paid_.Select({number})) {
            loans::ScheduledInstalment row;
            row.number_null = demo::IsNull(r[0]);
            row.number = row.number_null ? 0 : static_cast<int32_t>(demo::AsInt(r[0]));
            row.paid_capital = demo::IsNull(r[1]) ? 0 : demo::AsDouble(r[1]);
            row.paid_interest = demo::IsNull(r[2]) ? 0 : demo::AsDouble(r[2]);
            schedule.push_back(row);
        }
        correct = loans::WorkListedLoan(listed, schedule).differing_instalments > 0;
    }
    if (!rebuild && !correct) return;

    // The ledger's columns as the database declares them (the program
    // reads them once per repair, so that an undo loses none). What the
    // unit writes is imaged; what it leaves, fingerprinted from its stored
    // values, the ledger once when only the schedule is written.
    stored_columns_.Select({std::string("CXCTRX")});
    std::vector<Row> before_movements;
    std::vector<Row> before_schedule;
    if (rebuild) before_movements = movements_.Select({member, number});
    if (correct) before_schedule = schedule_.Select({number});
    if (!rebuild) movements_stored_.Select({member, number});
    if (rebuild) {
        delete_.Execute({member, number});
        opening_.Execute({member, std::string("F"), number, date, number, ZeroIfNull(amount), date,
                          ZeroIfNull(registro), tipo});
        for (const Row& d : documents) {
            if (loans::IsScheduleRow(demo::AsText(d[0]))) continue;
            document_.Execute({member, d[0], ZeroIfNull(d[1]), d[2], number, ZeroIfNull(d[4]), date,
                               ZeroIfNull(d[3]), ZeroIfNull(registro), ZeroIfNull(d[5]), tipo});
        }
    }
    if (correct) {
        const std::vector<Row> paid = paid_before_.Select({number});
        reset_.Execute({number});
        for (const Row& d : documents) {
            if (loans::IsScheduleRow(demo::AsText(d[0]))) continue;
            add_paid_.Execute({demo::IsNull(d[4]) ? 0.0 : -demo::AsDouble(d[4]),
                               demo::IsNull(d[5]) ? 0.0 : -demo::AsDouble(d[5]), number,
                               ZeroIfNull(d[3])});
        }
        for (const Row& row : paid) {
            move_total_.Execute({row[3], ZeroIfNull(row[1]), ZeroIfNull(row[2]), row[0]});
        }
    }
    std::vector<Row> after_schedule;
    if (correct) after_schedule = schedule_.Select({number});
    if (rebuild) movements_stored_.Select({member, number});
    schedule_stored_.Select({number});
    const double receivable_after = receivable();
    line = JournalLine(check, rebuild, before_movements, before_schedule, after_schedule,
                       receivable_before, receivable_after);
    if (record_) {
        // The program's record: its row, then the image in parts.
        static unsigned records = 0;
        char id[48];
        std::snprintf(id, sizeof id, "20240101T000000Z-raw%012u", ++records);
        const double documents_balance = static_cast<double>(sums.DocumentsBalance());
        record_->Execute({std::string(id), std::string("bench"), member, number,
                          std::string(rebuild && correct ? "Reindexar + Corregir Tabla"
                                      : rebuild          ? "Reindexar"
                                                         : "Corregir Tabla"),
                          demo::kNull, documents_balance, receivable_before, documents_balance,
                          receivable_after, 0, 0, 0, demo::kNull, demo::kNull});
        constexpr size_t kPart = 16000;
        for (size_t at = 0, part = 1; at < line.size(); at += kPart, ++part) {
            record_image_->Execute(
                {std::string(id), static_cast<int32_t>(part), line.substr(at, kPart)});
        }
    }
    result = RawResult::kRepaired;
}

void RawBulkRepair::Append(const std::string& line) {
    // As the program's journal: one write, on disk before the next loan.
    if (::write(journal_, line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
        ::fsync(journal_) != 0) {
        throw std::runtime_error(std::string("journal: ") + std::strerror(errno));
    }
}

std::string LoanRows(const std::string& database_name, const std::vector<loans::LoanCheck>& loans) {
    demo::Attachment attachment(database_name);
    demo::Transaction transaction(attachment);
    demo::Statement movements(
        transaction, Positional(ImageStatement(loans::MovementColumns(),
                                               " from cxctrx where cliente = :c and aplica = :a")));
    demo::Statement schedule(
        transaction, Positional(ImageStatement(loans::ScheduleColumns(),
                                               " from renglones where ren_prestamono = :p")));
    std::string text;
    for (const loans::LoanCheck& loan : loans) {
        // Neither table has a key: the rows' order is the server's.
        std::vector<std::string> rows;
        for (const Row& row : movements.Select({loan.member, loan.loan}))
            rows.push_back(RowText(row));
        for (const Row& row : schedule.Select({loan.loan})) rows.push_back("s" + RowText(row));
        std::sort(rows.begin(), rows.end());
        for (const std::string& row : rows) text += row + "\n";
    }
    return text;
}

}  // namespace bench
