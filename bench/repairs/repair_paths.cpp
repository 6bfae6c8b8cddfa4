#include "bench/repairs/repair_paths.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

#include "db/sql_preprocessor.h"
#include "formats/date_time.h"
#include "loans/rules/connection_profile.h"
#include "loans/rules/repair_statements.h"
#include "loans/rules/statements.h"

namespace bench {
namespace {

using namespace loans;  // the statements

std::string Positional(const std::string& text) {
    return db::PreprocessSql(text).text;
}

demo::Value ZeroIfNull(const demo::Value& value) {
    return demo::IsNull(value) ? demo::Value(0.0) : value;
}

double DateOf(const demo::Value& value) {
    return demo::IsNull(value) ? 0.0 : formats::EncodeDateTime(std::get<demo::DateTime>(value));
}

// A statement prepared once for every execution, or afresh for each.
class Writer {
  public:
    Writer(demo::Transaction& transaction, const char* text, bool prepare_once)
        : transaction_(transaction), sql_(Positional(text)) {
        if (prepare_once) kept_ = std::make_unique<demo::Statement>(transaction_, sql_);
    }
    void Execute(const std::vector<demo::Value>& params) {
        if (kept_) {
            kept_->Execute(params);
        } else {
            demo::Statement(transaction_, sql_).Execute(params);
        }
    }

  private:
    demo::Transaction& transaction_;
    std::string sql_;
    std::unique_ptr<demo::Statement> kept_;
};

}  // namespace

RepairLoan ReadRepairLoan(const std::string& database_name, const std::string& member,
                          int32_t number) {
    demo::Attachment attachment(database_name);
    demo::Transaction transaction(attachment);
    RepairLoan loan;
    loan.member = member;
    loan.loan = number;
    const demo::Row head =
        demo::SelectRows(transaction,
                         "select fecha, valor, registro_no, tipo from solicitudpres where "
                         "no_documento = ?",
                         {number})
            .front();
    loan.date = head[0];
    loan.amount = head[1];
    loan.registro = head[2];
    // A movement's type: the loan's own from 1 up, 2 for any other.
    const int64_t tipo = demo::AsInt(head[3]);
    loan.tipo = static_cast<int32_t>(tipo >= 1 ? tipo : 2);
    std::vector<demo::Value> params(6, demo::Value(number));
    for (demo::Row& row :
         demo::SelectRows(transaction, Positional(AppliedDocumentsStatement()), params)) {
        if (demo::AsText(row[0]) != "P") loan.documents.push_back(std::move(row));
    }
    return loan;
}

RecordSize LastRecordSize(const std::string& database_name, const std::string& repair) {
    demo::Attachment attachment(database_name);
    demo::Transaction transaction(attachment);
    RecordSize size;
    if (demo::AsInt(demo::SelectValue(
            transaction,
            "select count(*) from rdb$relations where rdb$relation_name = 'REPARACIONES'")) == 0) {
        return size;
    }
    const demo::Value bytes = demo::SelectValue(
        transaction,
        "select sum(octet_length(texto)) from reparaciones_imagenes where reparacion = (select "
        "first 1 id from reparaciones where accion = ? order by fecha desc, id desc)",
        {repair});
    size.kept = true;
    size.image_bytes = demo::IsNull(bytes) ? 0 : static_cast<size_t>(demo::AsInt(bytes));
    return size;
}

RawRepairs::RawRepairs(const std::string& database_name, bool prepare_once)
    : prepare_once_(prepare_once),
      attachment_(database_name),
      run_(static_cast<unsigned>(std::random_device{}())) {}

void RawRepairs::Record(demo::Transaction& transaction, const RepairLoan& loan, const char* repair,
                        const RecordSize& record) {
    if (!record.kept) return;
    // An id of the program's length, new for every record of every run.
    char id[48];
    std::snprintf(id, sizeof id, "20240101T000000Z-%08x%08x", run_, ++records_);
    Writer(transaction,
           "insert into reparaciones (id, equipo, socio, prestamo, accion, deshace, "
           "balance_documentos_antes, balance_cxc_antes, balance_documentos_despues, "
           "balance_cxc_despues, filas_borradas, filas_insertadas, filas_actualizadas, "
           "diario_fecha, diario_usuario) values (:i, :e, :s, :p, :a, :d, :da, :ca, :dd, :cd, :fb, "
           ":fi, :fa, :df, :du)",
           prepare_once_)
        .Execute({std::string(id), std::string("bench"), loan.member, loan.loan,
                  std::string(repair), demo::kNull, 0.0, 0.0, 0.0, 0.0,
                  static_cast<int32_t>(loan.documents.size()),
                  static_cast<int32_t>(loan.documents.size()), 0, demo::kNull, demo::kNull});
    Writer part(transaction,
                "insert into reparaciones_imagenes (reparacion, parte, texto) values (:r, :n, :t)",
                prepare_once_);
    constexpr size_t kPart = 16000;
    for (size_t at = 0, number = 1; at < record.image_bytes; at += kPart, ++number) {
        part.Execute({std::string(id), static_cast<int32_t>(number),
                      std::string(std::min(kPart, record.image_bytes - at), 'x')});
    }
}

void RawRepairs::Rebuild(const RepairLoan& loan, const RecordSize& record) {
    demo::Transaction transaction(attachment_);
    Writer(transaction, kDeleteLoanMovementsStatement, prepare_once_)
        .Execute({loan.member, loan.loan});
    Writer(transaction, kInsertOpeningMovementStatement, prepare_once_)
        .Execute({loan.member, std::string("F"), loan.loan, loan.date, loan.loan, loan.amount,
                  loan.date, loan.registro, loan.tipo});
    Writer insert(transaction, kInsertDocumentMovementStatement, prepare_once_);
    for (const demo::Row& d : loan.documents) {
        insert.Execute({loan.member, d[0], ZeroIfNull(d[1]), d[2], loan.loan, ZeroIfNull(d[4]),
                        loan.date, ZeroIfNull(d[3]), loan.registro, ZeroIfNull(d[5]), loan.tipo});
    }
    Record(transaction, loan, "Reindexar", record);
    transaction.Commit();
}

void RawRepairs::Correct(const RepairLoan& loan, const RecordSize& record) {
    demo::Transaction transaction(attachment_);
    // Each instalment's total paid is moved by what its paid amounts moved.
    const std::vector<demo::Row> paid =
        demo::Statement(transaction, Positional(kSchedulePaidStatement)).Select({loan.loan});
    Writer(transaction, kResetSchedulePaymentsStatement, prepare_once_).Execute({loan.loan});
    Writer update(transaction, kAddInstalmentPaymentStatement, prepare_once_);
    for (const demo::Row& d : loan.documents) {
        update.Execute({-demo::AsDouble(d[4]), -demo::AsDouble(d[5]), loan.loan, ZeroIfNull(d[3])});
    }
    Writer move(transaction, kMoveTotalPaidStatement, prepare_once_);
    for (const demo::Row& row : paid) {
        move.Execute({row[3], ZeroIfNull(row[1]), ZeroIfNull(row[2]), row[0]});
    }
    Record(transaction, loan, "Corregir Tabla", record);
    transaction.Commit();
}

LayerRepairs::LayerRepairs(const std::string& database_name) {
    loans::ConfigureProgramConnection(database_, transaction_, database_name);
    // The program's reading transaction is read-only; these writes need one
    // that writes, as each repair's own does.
    transaction_.Params().Assign({"write", "read_committed", "rec_version", "nowait"});
    scratch_.SetDatabase(&database_);
    scratch_.SetTransaction(&transaction_);
    database_.Open();
}

void LayerRepairs::Rebuild(const RepairLoan& loan) {
    const double fecha = DateOf(loan.date);
    const double valor = demo::AsDouble(loan.amount);
    const auto registro = static_cast<int>(demo::AsInt(loan.registro));
    const auto tipo = static_cast<int>(demo::AsInt(loan.tipo));
    SetStatement(scratch_, kDeleteLoanMovementsStatement);
    scratch_.ParamNamed("c").SetString(loan.member);
    scratch_.ParamNamed("a").SetInteger(loan.loan);
    scratch_.Execute();

    SetStatement(scratch_, kInsertOpeningMovementStatement);
    scratch_.ParamNamed("s").SetString(loan.member);
    scratch_.ParamNamed("t").SetString("F");
    scratch_.ParamNamed("d").SetInteger(loan.loan);
    scratch_.ParamNamed("f").SetDate(fecha);
    scratch_.ParamNamed("a").SetInteger(loan.loan);
    scratch_.ParamNamed("v").SetFloat(valor);
    scratch_.ParamNamed("fv").SetDate(fecha);
    scratch_.ParamNamed("r").SetInteger(registro);
    scratch_.ParamNamed("ti").SetInteger(tipo);
    scratch_.Execute();

    SetStatement(scratch_, kInsertDocumentMovementStatement);
    for (const demo::Row& d : loan.documents) {
        scratch_.ParamNamed("s").SetString(loan.member);
        scratch_.ParamNamed("t").SetString(demo::AsText(d[0]));
        scratch_.ParamNamed("d").SetInteger(static_cast<int>(demo::AsInt(d[1])));
        scratch_.ParamNamed("f").SetDate(DateOf(d[2]));
        scratch_.ParamNamed("a").SetInteger(loan.loan);
        scratch_.ParamNamed("v").SetFloat(demo::AsDouble(d[4]));
        scratch_.ParamNamed("fv").SetDate(fecha);
        scratch_.ParamNamed("cu").SetInteger(static_cast<int>(demo::AsInt(d[3])));
        scratch_.ParamNamed("r").SetInteger(registro);
        scratch_.ParamNamed("i").SetFloat(demo::AsDouble(d[5]));
        scratch_.ParamNamed("ti").SetInteger(tipo);
        scratch_.Execute();
    }
    transaction_.CommitRetaining();
}

void LayerRepairs::Correct(const RepairLoan& loan) {
    SetStatement(scratch_, kResetSchedulePaymentsStatement);
    scratch_.ParamNamed("p").SetInteger(loan.loan);
    scratch_.Execute();
    SetStatement(scratch_, kAddInstalmentPaymentStatement);
    for (const demo::Row& d : loan.documents) {
        scratch_.ParamNamed("c").SetFloat(-demo::AsDouble(d[4]));
        scratch_.ParamNamed("i").SetFloat(-demo::AsDouble(d[5]));
        scratch_.ParamNamed("p").SetInteger(loan.loan);
        scratch_.ParamNamed("cu").SetInteger(static_cast<int>(demo::AsInt(d[3])));
        scratch_.Execute();
    }
    transaction_.CommitRetaining();
}

}  // namespace bench
