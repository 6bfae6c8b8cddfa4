// The demo cooperative: six employers, 44 members, their loans, schedules,
// applied documents and receivable movements. Everything is derived from
// fixed tables and a fixed-seed generator, so every build is identical.
// The members and loans that exhibit a particular case are named in
// demo_catalogue.h; the numbers below must stay in step with it.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "db/sql_preprocessor.h"
#include "loans/rules/statements.h"
#include "runtime/exception.h"
#include "tools/demo_db/demo_catalogue.h"
#include "tools/demo_db/demo_database.h"
#include "tools/demo_db/demo_writer.h"
#include "tools/raw_client/latin1.h"
#include "tools/raw_client/raw_client.h"

namespace demo {

std::string AppliedDocumentsSql() {
    // The program's own statement, its named markers made positional.
    return db::PreprocessSql(loans::AppliedDocumentsStatement()).text;
}

namespace {

using namespace fill;  // the writer and its values

void AddEmployers(DemoWriter& w) {
    w.Employer(kEmployerConstructora, "CONSTRUCTORA DEL CARIBE, S.R.L.", "1-01-12345-6",
               "AV. JOHN F. KENNEDY No. 45, SANTO DOMINGO", "809-562-1100", "LIC. PEDRO MEDINA");
    w.Employer(kEmployerMinisterio, "MINISTERIO DE EDUCACIÓN", "4-01-00007-1",
               "AV. MÁXIMO GÓMEZ ESQ. SANTIAGO, SANTO DOMINGO", "809-688-9700", "DEPTO. DE NÓMINA");
    w.Employer(kEmployerHospital, "HOSPITAL SAN JOSÉ", "4-30-01234-5",
               "C/ DEL SOL No. 12, SANTIAGO", "809-582-4411", "LICDA. SONIA PÉREZ");
    w.Employer(kEmployerFarmacia, "FARMACIA LA ESPAÑOLA", "1-30-55678-2",
               "AV. INDEPENDENCIA No. 301, SANTO DOMINGO", "809-686-2020", "SR. TOMÁS ORTIZ");
    w.Employer(kEmployerBanco, "BANCO AGRÍCOLA DE LA REPÚBLICA", "4-01-00005-4",
               "AV. G. WASHINGTON No. 601, SANTO DOMINGO", "809-535-8088", "RECURSOS HUMANOS");
    w.Employer(kEmployerWithoutMembers, "ZONA FRANCA SAN PEDRO, S.A.", "1-24-98765-0",
               "CARRETERA MENDOZA KM 2, SAN PEDRO DE MACORÍS", "809-529-3300", "SRA. INÉS REYES");
}

MemberSpec Special(const char* code, const char* first, const char* last,
                   std::optional<std::string> status, std::optional<int32_t> employer,
                   const char* sex, int index) {
    MemberSpec m;
    m.code = code;
    m.first_names = first;
    m.surnames = last;
    m.status = std::move(status);
    m.employer = employer;
    char cedula[20];
    std::snprintf(cedula, sizeof cedula, "001-%07d-%d", 12345 + (index - 1) * 1111, index % 10);
    m.cedula = cedula;
    char telephone[20];
    std::snprintf(telephone, sizeof telephone, "809-555-%04d", 100 + index);
    m.telephone = telephone;
    m.sex = sex;
    m.joined = Day(2005 + index % 15, 1 + index % 12, 1 + index * 2 % 28);
    m.born = Day(1960 + index % 30, 1 + (index * 5) % 12, 1 + (index * 3) % 28);
    m.salary = 25000 + index * 3500;
    m.city = index;
    return m;
}

void AddSpecialMembers(DemoWriter& w) {
    MemberSpec active =
        Special(kMemberActive, "JOSÉ RAMÓN", "PEÑA NÚÑEZ", "A", kEmployerMinisterio, "M", 1);
    active.comment =
        "Socio fundador. Solicitó revisión del balance de su préstamo de consumo en "
        "ventanilla; se le explicó el cargo por carnet pendiente.";
    w.Member(active);
    w.Member(Special(kMemberLoanZeroFirst, "MARÍA ALTAGRACIA", "RODRÍGUEZ DE LA CRUZ", "A",
                     kEmployerHospital, "F", 2));
    w.Member(Special(kMemberInactive, "PEDRO ANTONIO", "GÓMEZ SÁNCHEZ", "I", kEmployerConstructora,
                     "M", 3));
    w.Member(Special(kMemberInactiveEmptyStatus, "ANA LUCÍA", "FERNÁNDEZ BÁEZ", "",
                     kEmployerFarmacia, "F", 4));
    w.Member(Special(kMemberInactiveLowercaseStatus, "LUIS MIGUEL", "ÁLVAREZ OZUNA", "a",
                     kEmployerBanco, "M", 5));
    w.Member(
        Special(kMemberNullStatus, "ROSA ELENA", "DÍAZ MEJÍA", std::nullopt, std::nullopt, "F", 6));
    w.Member(Special(kMemberWithoutLoans, "CARLOS EDUARDO", "MARTÍNEZ DURÁN", "A",
                     kEmployerMinisterio, "M", 7));
    w.Member(Special(kMemberOnlyClosedLoans, "YOLANDA ESTHER", "MARTÍNEZ PEÑA", "A",
                     kEmployerHospital, "F", 8));
    w.Member(Special(kMemberUnknownEmployer, "FRANCISCO JAVIER", "NÚÑEZ DE LEÓN", "A",
                     kEmployerCodeUnknown, "M", 9));
    w.Member(Special(kMemberMismatch, "JUAN BAUTISTA", "HERNÁNDEZ RAMÍREZ", "A",
                     kEmployerConstructora, "M", 10));
    w.Member(Special(kMemberDuplicateReceipts, "MARTHA IRIS", "PÉREZ DE JESÚS", "A",
                     kEmployerFarmacia, "F", 11));
    MemberSpec millions =
        Special(kMemberMillions, "ERNESTO JOSÉ", "VALDEZ GUZMÁN", "A", kEmployerBanco, "M", 12);
    millions.salary = 350000;
    w.Member(millions);
    w.Member(Special(kMemberNullsAndNotes, "GLADYS MERCEDES", "SÁNCHEZ ÁLVAREZ", "A",
                     kEmployerMinisterio, "F", 13));
    w.Member(Special(kMemberManyDocuments, "MANUEL DE JESÚS", "ALMÁNZAR CUEVAS", "A",
                     kEmployerConstructora, "M", 14));
}

void AddSpecialLoans(DemoWriter& w) {
    // kMemberActive: one loan of each listed and unlisted status.
    Loan& active = w.AddLoan({.member = kMemberActive,
                              .number = kLoanActive,
                              .date = Day(2024, 1, 15),
                              .amount = 60000,
                              .installments = 12});
    w.PayWithReceipts(active, 1, 4);
    w.Payroll(active, 5, 5000, w.At(active, 5).interest, "A");
    w.Payroll(active, 6, 5000, w.At(active, 6).interest, "I");
    w.Note(active, 6, "NC", 1000, 0, "NOTA DE CRÉDITO POR BONIFICACIÓN");
    w.Note(active, 6, "ND", 250, 0, "NOTA DE DÉBITO POR CARGO DE MORA");
    w.Compensation(active, 6, 2000, 350);

    Loan& legal = w.AddLoan({.member = kMemberActive,
                             .number = kLoanLegal,
                             .date = Day(2022, 6, 1),
                             .amount = 25000,
                             .installments = 10,
                             .status = "L",
                             .type = 0});
    w.PayWithReceipts(legal, 1, 3);

    Loan& closed = w.AddLoan({.member = kMemberActive,
                              .number = kLoanClosed,
                              .date = Day(2020, 2, 1),
                              .amount = 10000,
                              .installments = 5,
                              .status = "C"});
    w.PayWithReceipts(closed, 1, 5);

    Loan& voided = w.AddLoan({.member = kMemberActive,
                              .number = kLoanVoided,
                              .date = Day(2023, 9, 1),
                              .amount = 15000,
                              .installments = 6,
                              .status = "X",
                              .movements = Movements::kNone});
    w.PayWithReceipts(voided, 1, 1);
    w.Movement(kMemberActive, "CA", 0, Day(2024, 2, 1), 0, 350.00, 0);

    // kMemberLoanZeroFirst: an undisbursed application numbered 0 is the
    // newest; its draft plan was saved under loan number 0.
    w.AddLoan({.member = kMemberLoanZeroFirst,
               .number = kLoanNumberZero,
               .date = Day(2024, 6, 20),
               .amount = 8000,
               .installments = 4,
               .movements = Movements::kNone});
    Loan& after_zero = w.AddLoan({.member = kMemberLoanZeroFirst,
                                  .number = kLoanAfterZero,
                                  .date = Day(2023, 2, 10),
                                  .amount = 18000,
                                  .installments = 6,
                                  .type = std::nullopt,
                                  .schedule_up_to_date = false});
    w.PayWithReceipts(after_zero, 1, 2);
    w.AddLoan({.member = kMemberLoanZeroFirst,
               .number = kLoanNegativeNumber,
               .date = Day(2019, 5, 2),
               .amount = 4000,
               .installments = 4,
               .status = "L",
               .movements = Movements::kNone},
              false);

    Loan& inactive = w.AddLoan({.member = kMemberInactive,
                                .number = kLoanInactiveMember,
                                .date = Day(2023, 5, 5),
                                .amount = 30000,
                                .installments = 12,
                                .type = -1});
    w.PayWithReceipts(inactive, 1, 5);

    Loan& empty_status = w.AddLoan({.member = kMemberInactiveEmptyStatus,
                                    .number = kLoanEmptyStatusMember,
                                    .date = Day(2024, 2, 1),
                                    .amount = 5000,
                                    .installments = 5});
    w.PayWithReceipts(empty_status, 1, 1);

    w.AddLoan({.member = kMemberInactiveLowercaseStatus,
               .number = kLoanWithoutDocuments,
               .date = Day(2023, 10, 10),
               .amount = 12000,
               .installments = 6,
               .status = "L"});

    Loan& paid = w.AddLoan({.member = kMemberOnlyClosedLoans,
                            .number = kLoanClosedPaid,
                            .date = Day(2021, 3, 1),
                            .amount = 6000,
                            .installments = 3,
                            .status = "C"});
    w.PayWithReceipts(paid, 1, 3);
    w.AddLoan({.member = kMemberOnlyClosedLoans,
               .number = kLoanVoidedNoDocs,
               .date = Day(2022, 3, 1),
               .amount = 3000,
               .installments = 3,
               .status = "X",
               .movements = Movements::kNone});

    Loan& unknown_employer = w.AddLoan({.member = kMemberUnknownEmployer,
                                        .number = kLoanUnknownEmployer,
                                        .date = Day(2024, 4, 1),
                                        .amount = 9000,
                                        .installments = 3});
    w.PayWithReceipts(unknown_employer, 1, 1);

    // kMemberMismatch: the movements are damaged after Settle().
    Loan& missing = w.AddLoan({.member = kMemberMismatch,
                               .number = kLoanMismatchMissingDocs,
                               .date = Day(2024, 3, 1),
                               .amount = 40000,
                               .installments = 8});
    w.PayWithReceipts(missing, 1, 3);
    w.Payroll(missing, 4, 5000, w.At(missing, 4).interest, "A");
    Loan& over = w.AddLoan({.member = kMemberMismatch,
                            .number = kLoanMismatchOverHalfCent,
                            .date = Day(2023, 11, 15),
                            .amount = 10000,
                            .installments = 4});
    w.PayWithReceipts(over, 1, 1);
    Loan& under = w.AddLoan({.member = kMemberMismatch,
                             .number = kLoanMismatchUnderHalfCent,
                             .date = Day(2023, 8, 1),
                             .amount = 6000,
                             .installments = 3,
                             .status = "L"});
    w.PayWithReceipts(under, 1, 1);
    w.AddLoan({.member = kMemberMismatch,
               .number = kLoanWithoutMovements,
               .date = Day(2022, 12, 1),
               .amount = 3000,
               .installments = 3,
               .movements = Movements::kNone});

    // kMemberDuplicateReceipts: the same receipt line keyed in twice.
    Loan& duplicate = w.AddLoan({.member = kMemberDuplicateReceipts,
                                 .number = kLoanDuplicateReceipts,
                                 .date = Day(2023, 7, 1),
                                 .amount = 20000,
                                 .installments = 4});
    for (int copy = 0; copy < 2; ++copy)
        w.Receipt(duplicate, 1, 5000, 200, Day(2023, 8, 1), kDuplicateReceiptNumber);
    w.Receipt(duplicate, 2, 5000, w.At(duplicate, 2).interest, Day(2023, 9, 1),
              kDuplicateReceiptNumber + 1);

    Loan& millions = w.AddLoan(
        {.member = kMemberMillions,
         .number = kLoanMillions,
         .date = Day(2022, 1, 10),
         .amount = 2500000,
         .installments = 20,
         .annual_rate = 12,
         .type = 3,
         .analyst_comment =
             "Préstamo hipotecario para adquisición de vivienda en Santiago. Garantía: "
             "hipoteca en primer rango sobre inmueble tasado en RD$3,800,000.00. El socio "
             "presenta ingresos estables como gerente de sucursal; relación cuota-ingreso "
             "dentro de la política. Se recomienda aprobación con seguro de vida e "
             "incendio endosados a favor de la cooperativa. Revisado por el comité de "
             "crédito en sesión ordinaria."});
    w.PayWithReceipts(millions, 1, 8);
    w.Compensation(millions, 9, 125000, w.At(millions, 9).interest);
    w.Payroll(millions, 10, 125000, w.At(millions, 10).interest, "P");

    // kMemberNullsAndNotes: two loans of the same date; the higher number
    // is registered first so that only the loan number orders them.
    Loan& notes = w.AddLoan({.member = kMemberNullsAndNotes,
                             .number = kLoanNoteKinds,
                             .date = Day(2023, 4, 1),
                             .amount = 9000,
                             .installments = 3});
    w.Note(notes, 1, "NC", 1000, 0, "NOTA DE CRÉDITO");
    w.Note(notes, 1, "ND", 200, 0, "NOTA DE DÉBITO");
    w.Note(notes, 1, "CD", 500, 0, "NOTA CRUZADA");
    w.Note(notes, 1, "X", 700, 0, "NOTA ANULADA");
    w.Note(notes, 1, "nc", 300, 0, "NOTA DE CRÉDITO (CAJA 2)");
    w.Payroll(notes, 1, 1500, 0, "A");
    w.Payroll(notes, 1, 400, 0, "a");
    w.Payroll(notes, 1, 600, 0, "I");
    Loan& nulls = w.AddLoan({.member = kMemberNullsAndNotes,
                             .number = kLoanNullAmounts,
                             .date = Day(2023, 4, 1),
                             .amount = 12000,
                             .installments = 4});
    w.Receipt(nulls, 1, 3000, std::nullopt);
    w.Compensation(nulls, 2, std::nullopt, 90);

    // kMemberManyDocuments: small payments at the office, 25 per installment.
    Loan& many = w.AddLoan({.member = kMemberManyDocuments,
                            .number = kLoanManyDocuments,
                            .date = Day(2020, 1, 2),
                            .amount = 150000,
                            .installments = 60});
    for (int i = 0; i < kManyDocumentsReceiptCount; ++i)
        w.Receipt(many, 1 + i / 25, 100.00, 12.50, AddDays(Day(2020, 1, 20), i), 80001 + i);
}

void AddOrdinaryMembers(DemoWriter& w) {
    static const char* const kMale[] = {
        "JUAN CARLOS", "RAMÓN ANTONIO", "MIGUEL ÁNGEL", "JOSÉ LUIS", "FÉLIX MANUEL",
        "ANDRÉS",      "HÉCTOR JULIO",  "RUBÉN DARÍO",  "TOMÁS",     "NICOLÁS"};
    static const char* const kFemale[] = {"ANA MARÍA", "CARMEN ROSA", "MARÍA JOSÉ",      "ROSARIO",
                                          "ÁNGELA",    "INÉS",        "SONIA MARGARITA", "LUCÍA",
                                          "BEATRIZ",   "MERCEDES"};
    static const char* const kSurnames[] = {
        "GARCÍA",  "MARTÍNEZ", "RODRÍGUEZ", "PÉREZ",  "GÓMEZ",         "SÁNCHEZ", "DÍAZ",
        "JIMÉNEZ", "CASTILLO", "NÚÑEZ",     "BÁEZ",   "DE LOS SANTOS", "MUÑOZ",   "PEÑA",
        "ORTIZ",   "VALDEZ",   "REYES",     "CUEVAS", "MOREL",         "ALMÁNZAR"};
    static const int kTerms[] = {6, 12, 18, 24, 36, 48};
    static const double kRates[] = {12, 15, 18, 24};

    Sequence random(20240131u);
    int32_t next_loan = 2001;
    for (int index = 15; index <= kMemberCount; ++index) {
        char code[8];
        std::snprintf(code, sizeof code, "%05d", index);
        const bool female = random.Next(2) == 1;
        const char* first = female ? kFemale[random.Next(10)] : kMale[random.Next(10)];
        std::string last = kSurnames[random.Next(20)];
        last += " ";
        last += kSurnames[random.Next(20)];
        const int32_t employer = 1 + static_cast<int32_t>(random.Next(5));
        MemberSpec m = Special(code, first, last.c_str(), index % 7 == 0 ? "I" : "A", employer,
                               female ? "F" : "M", index);
        m.title_case = index % 6 == 0;
        w.Member(m);

        const int loans = 1 + static_cast<int>(random.Next(2));
        for (int n = 0; n < loans; ++n) {
            LoanSpec spec;
            spec.member = code;
            spec.number = next_loan++;
            spec.date = AddDays(Day(2019, 1, 7), static_cast<int>(random.Next(2000)));
            spec.amount = 5000.0 * (1 + random.Next(60));
            spec.installments = kTerms[random.Next(6)];
            spec.annual_rate = kRates[random.Next(4)];
            spec.type = 1 + static_cast<int32_t>(random.Next(3));
            int due = 0;
            while (due < spec.installments && Before(AddMonths(spec.date, due + 1), kCutOff)) ++due;
            const int paid = std::max(0, due - static_cast<int>(random.Next(3)));
            spec.status = paid == spec.installments ? "C" : (spec.number % 5 == 0 ? "L" : "A");
            Loan& loan = w.AddLoan(spec);
            // Ministry and bank staff pay by payroll deduction, the others
            // at the office; now and then savings are compensated instead.
            const bool by_payroll = employer == kEmployerMinisterio || employer == kEmployerBanco;
            for (int k = 1; k <= paid; ++k) {
                const Installment& i = w.At(loan, k);
                if (k % 7 == 0)
                    w.Compensation(loan, k, i.capital, i.interest);
                else if (by_payroll)
                    w.Payroll(loan, k, i.capital, i.interest, "A");
                else
                    w.Receipt(loan, k, i.capital, i.interest);
            }
            if (paid >= 3 && random.Next(4) == 0) {
                w.Note(loan, 3, "ND", 150, 0, "CARGO POR PAGO TARDÍO");
                w.Note(loan, 3, "NC", 150, 0, "REVERSO DE CARGO POR PAGO TARDÍO");
            }
        }
    }
}

// Breaks the movements of the mismatch loans the way real data drifts:
// documents keyed in after the last rebuild, and amounts rounded apart.
void DamageMovements(Transaction& transaction) {
    Statement remove(transaction,
                     "delete from cxctrx where cliente = ? and aplica = ? and ((tipo_doc = 'R' "
                     "and cuota = 3) or tipo_doc = 'N')");
    remove.Execute({std::string(kMemberMismatch), kLoanMismatchMissingDocs});
    Statement set_receipt(transaction,
                          "update cxctrx set valor = ? where cliente = ? and aplica = ? and "
                          "tipo_doc = 'R'");
    set_receipt.Execute({-2499.994, std::string(kMemberMismatch), kLoanMismatchOverHalfCent});
    set_receipt.Execute({-1999.997, std::string(kMemberMismatch), kLoanMismatchUnderHalfCent});
}

// The member's balance columns as the nightly process leaves them: the
// receivable sum rounded to cents ("+ 0" turns a negative zero into zero).
void UpdateMemberBalances(Transaction& transaction) {
    ExecuteImmediate(transaction,
                     "update clientes c set clt_balance = (select round(coalesce(sum(x.valor), "
                     "0), 2) + 0 from cxctrx x where x.cliente = c.clt_codigo)");
    ExecuteImmediate(transaction, "update clientes set balance_cxc = clt_balance");
}

// A few plan and document amounts are NULL in real data.
void ClearAmounts(Transaction& transaction) {
    Statement clear(transaction,
                    "update renglones set ren_cuotainteres = null where ren_prestamono = ? and "
                    "ren_cuotano = 4");
    clear.Execute({kLoanNullAmounts});
}

}  // namespace

void FillDemoDatabase(const std::string& path) {
    Attachment attachment(path);
    Transaction transaction(attachment);
    if (AsInt(SelectValue(transaction, "select count(*) from clientes")) != 0)
        throw runtime::Exception("The database " + path +
                                 " already holds members; the demo is only written into an "
                                 "empty database");
    DemoWriter writer(transaction);
    AddEmployers(writer);
    AddSpecialMembers(writer);
    AddOrdinaryMembers(writer);
    AddSpecialLoans(writer);
    ClearAmounts(transaction);
    writer.Settle();
    DamageMovements(transaction);
    UpdateMemberBalances(transaction);
    transaction.Commit();
}

}  // namespace demo
