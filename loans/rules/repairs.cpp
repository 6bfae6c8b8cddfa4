#include "loans/rules/repairs.h"

#include "db/ib_query.h"
#include "db/params.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/repair_statements.h"
#include "loans/rules/statements.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"

namespace loans {

int32_t MovementType(int32_t loan_type) {
    return loan_type >= 1 ? loan_type : 2;
}

LoanRow TakeLoanRow(db::TIBQuery& loans, const std::string& member) {
    LoanRow row;
    row.member = member;
    row.loan = loans.FieldNamed("NO_DOCUMENTO").GetInteger();
    db::TField& date = loans.FieldNamed("FECHA");
    row.date = date.GetDateTime();
    row.date_null = date.IsNullValue();
    row.amount = loans.FieldNamed("VALOR").GetFloat();
    row.register_number = loans.FieldNamed("REGISTRO_NO").GetInteger();
    row.type = loans.FieldNamed("TIPO").GetInteger();
    return row;
}

std::vector<AppliedDocument> TakeAppliedDocuments(db::TIBQuery& documents) {
    std::vector<AppliedDocument> taken;
    documents.SuspendDisplay();
    const runtime::ScopeGuard resume([&] { documents.ResumeDisplay(); });
    db::TField& kind = documents.FieldNamed("TIPO");
    db::TField& number = documents.FieldNamed("REN_PRESTAMONO");
    db::TField& date = documents.FieldNamed("REN_FECHAVENCE");
    db::TField& instalment = documents.FieldNamed("REN_CUOTANO");
    db::TField& capital = documents.FieldNamed("REN_CUOTACAPITAL");
    db::TField& interest = documents.FieldNamed("REN_CUOTAINTERES");
    for (documents.First(); !documents.AtEnd(); documents.Next()) {
        AppliedDocument row;
        row.kind = kind.GetString();
        row.number = number.GetInteger();
        row.date = date.GetDateTime();
        row.date_null = date.IsNullValue();
        row.instalment = instalment.GetInteger();
        row.capital = capital.GetFloat();
        row.interest = interest.GetFloat();
        row.capital_null = capital.IsNullValue();
        row.interest_null = interest.IsNullValue();
        taken.push_back(std::move(row));
    }
    documents.First();
    return taken;
}

LoanRow ReadLoanRow(db::TIBQuery& reader, const std::string& member, int32_t loan) {
    SetStatement(reader, kLoanOfMemberStatement);
    reader.ParamNamed("c").SetString(member);
    reader.ParamNamed("p").SetInteger(loan);
    reader.Open();
    if (reader.FetchedRowCount() == 0) {
        throw runtime::Exception("El socio " + member + " no tiene el prestamo " +
                                 std::to_string(loan));
    }
    return TakeLoanRow(reader, member);
}

std::vector<AppliedDocument> ReadAppliedDocuments(db::TIBQuery& reader, int32_t loan) {
    SetStatement(reader, AppliedDocumentsStatement());
    reader.ParamNamed("p").SetInteger(loan);
    reader.Open();
    return TakeAppliedDocuments(reader);
}

namespace {

// A date written as null where its source is null, not as day zero.
void SetDateOrNull(db::TParam& param, double date, bool null) {
    if (null) {
        param.Clear();
    } else {
        param.SetDate(date);
    }
}

// One instalment row as it stood before the correction.
struct PaidBefore {
    std::string key;  // the row's key in this transaction
    double capital = 0;
    double interest = 0;
    double total = 0;
    bool total_null = false;
};

std::vector<PaidBefore> ReadPaidBefore(db::TIBQuery& reader, int32_t loan) {
    SetStatement(reader, kSchedulePaidStatement);
    reader.ParamNamed("p").SetInteger(loan);
    reader.Open();
    std::vector<PaidBefore> rows;
    for (reader.First(); !reader.AtEnd(); reader.Next()) {
        PaidBefore row;
        row.key = reader.Field(0).GetString();
        // A null paid amount was reset to 0 like any other.
        row.capital = reader.Field(1).GetFloat();
        row.interest = reader.Field(2).GetFloat();
        row.total = reader.Field(3).GetFloat();
        row.total_null = reader.Field(3).IsNullValue();
        rows.push_back(std::move(row));
    }
    reader.Close();
    return rows;
}

}  // namespace

RepairCounts RebuildMovements(db::TIBQuery& writer, const LoanRow& loan,
                              const std::vector<AppliedDocument>& documents) {
    RepairCounts counts;
    const int32_t tipo = MovementType(loan.type);

    SetStatement(writer, kDeleteLoanMovementsStatement);
    writer.ParamNamed("c").SetString(loan.member);
    writer.ParamNamed("a").SetInteger(loan.loan);
    writer.Execute();
    counts.deleted = writer.Statement().RowsAffected();

    SetStatement(writer, kInsertOpeningMovementStatement);
    writer.ParamNamed("s").SetString(loan.member);
    writer.ParamNamed("t").SetString("F");
    writer.ParamNamed("d").SetInteger(loan.loan);
    SetDateOrNull(writer.ParamNamed("f"), loan.date, loan.date_null);
    writer.ParamNamed("a").SetInteger(loan.loan);
    writer.ParamNamed("v").SetFloat(loan.amount);
    SetDateOrNull(writer.ParamNamed("fv"), loan.date, loan.date_null);
    writer.ParamNamed("r").SetInteger(loan.register_number);
    writer.ParamNamed("ti").SetInteger(tipo);
    writer.Execute();
    counts.inserted = 1;

    // One statement for every document row: only the values change.
    SetStatement(writer, kInsertDocumentMovementStatement);
    for (const AppliedDocument& document : documents) {
        if (IsScheduleRow(document.kind)) continue;
        writer.ParamNamed("s").SetString(loan.member);
        writer.ParamNamed("t").SetString(document.kind);
        writer.ParamNamed("d").SetInteger(document.number);
        SetDateOrNull(writer.ParamNamed("f"), document.date, document.date_null);
        writer.ParamNamed("a").SetInteger(loan.loan);
        writer.ParamNamed("v").SetFloat(document.capital);
        SetDateOrNull(writer.ParamNamed("fv"), loan.date, loan.date_null);
        writer.ParamNamed("cu").SetInteger(document.instalment);
        writer.ParamNamed("r").SetInteger(loan.register_number);
        writer.ParamNamed("i").SetFloat(document.interest);
        writer.ParamNamed("ti").SetInteger(tipo);
        writer.Execute();
        ++counts.inserted;
    }
    return counts;
}

RepairCounts CorrectSchedule(db::TIBQuery& writer, int32_t loan,
                             const std::vector<AppliedDocument>& documents) {
    RepairCounts counts;
    const std::vector<PaidBefore> before = ReadPaidBefore(writer, loan);

    SetStatement(writer, kResetSchedulePaymentsStatement);
    writer.ParamNamed("p").SetInteger(loan);
    writer.Execute();
    // Every instalment the reset wrote; the additions below only write some
    // of them again.
    counts.updated = writer.Statement().RowsAffected();

    SetStatement(writer, kAddInstalmentPaymentStatement);
    // The list shows payments negative: negated, they are paid amounts.
    for (const AppliedDocument& document : documents) {
        if (IsScheduleRow(document.kind)) continue;
        writer.ParamNamed("c").SetFloat(document.capital_null ? 0.0 : -document.capital);
        writer.ParamNamed("i").SetFloat(document.interest_null ? 0.0 : -document.interest);
        writer.ParamNamed("p").SetInteger(loan);
        writer.ParamNamed("cu").SetInteger(document.instalment);
        writer.Execute();
    }

    // The reset zeroed every total paid; each gets back what it held, moved
    // by the change in its paid amounts (a null total stays null).
    SetStatement(writer, kMoveTotalPaidStatement);
    for (const PaidBefore& row : before) {
        if (row.total_null) {
            writer.ParamNamed("t").Clear();
        } else {
            writer.ParamNamed("t").SetFloat(row.total);
        }
        writer.ParamNamed("c").SetFloat(row.capital);
        writer.ParamNamed("i").SetFloat(row.interest);
        writer.ParamNamed("k").SetString(row.key);
        writer.Execute();
    }
    return counts;
}

}  // namespace loans
