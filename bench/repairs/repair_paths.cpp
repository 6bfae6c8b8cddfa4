#include "bench/repairs/repair_paths.h"

#include <memory>

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

RawRepairs::RawRepairs(const std::string& database_name, bool prepare_once)
    : prepare_once_(prepare_once), attachment_(database_name) {}

void RawRepairs::Rebuild(const RepairLoan& loan) {
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
    transaction.Commit();
}

void RawRepairs::Correct(const RepairLoan& loan) {
    demo::Transaction transaction(attachment_);
    Writer(transaction, kResetSchedulePaymentsStatement, prepare_once_).Execute({loan.loan});
    Writer update(transaction, kAddInstalmentPaymentStatement, prepare_once_);
    for (const demo::Row& d : loan.documents) {
        update.Execute({-demo::AsDouble(d[4]), -demo::AsDouble(d[5]), loan.loan, ZeroIfNull(d[3])});
    }
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
