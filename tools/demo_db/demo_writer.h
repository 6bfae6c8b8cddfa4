#pragma once

// Writes the demo cooperative's rows: employers, members, loans with their
// plans, every kind of applied document, and the receivable movements as a
// rebuild leaves them, numbering documents as a real file would.

#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/exception.h"
#include "tools/demo_db/demo_catalogue.h"
#include "tools/demo_db/demo_values.h"
#include "tools/raw_client/latin1.h"
#include "tools/raw_client/raw_client.h"

namespace demo::fill {

struct MemberSpec {
    std::string code;
    std::string first_names;  // UTF-8 here, Latin-1 in the database
    std::string surnames;
    std::optional<std::string> status;
    std::optional<int32_t> employer;
    std::string cedula;
    std::string telephone;
    std::string sex;
    DateTime joined;
    DateTime born;
    double salary = 0;
    int city = 0;
    bool title_case = false;
    std::optional<std::string> comment;
};

enum class Movements { kAsRebuilt, kNone };

struct LoanSpec {
    std::string member = {};
    int32_t number = 0;
    DateTime date = {};
    double amount = 0;
    int installments = 1;
    double annual_rate = 18;
    std::string status = "A";
    std::optional<int32_t> type = 1;
    Movements movements = Movements::kAsRebuilt;
    bool schedule_up_to_date = true;  // paid columns follow the documents
    std::optional<std::string> analyst_comment = std::nullopt;
};

struct Installment {
    DateTime due;
    double capital;
    double interest;
};

struct Loan {
    LoanSpec spec;
    int32_t registro = 0;
    int32_t employer = 0;
    std::vector<Installment> plan;
};

inline const char* const kCities[] = {
    "SANTO DOMINGO", "SANTIAGO DE LOS CABALLEROS", "SAN PEDRO DE MACORÍS", "LA ROMANA",
    "HIGÜEY",        "SAN FRANCISCO DE MACORÍS"};
inline const char* const kSectors[] = {"GAZCUE",         "LOS MINA",     "VILLA JUANA",
                                       "ENSANCHE OZAMA", "LOS JARDINES", "BELLA VISTA",
                                       "VILLA CONSUELO"};
inline const char* const kProvinces[] = {"DISTRITO NACIONAL",    "SANTIAGO",
                                         "SAN PEDRO DE MACORÍS", "LA ROMANA",
                                         "LA ALTAGRACIA",        "DUARTE"};

class DemoWriter {
  public:
    explicit DemoWriter(Transaction& transaction)
        : transaction_(transaction),
          insert_employer_(transaction,
                           "insert into empresas (codigo, nombre, rnc, direccion, telefono, "
                           "contacto) values (?, ?, ?, ?, ?, ?)"),
          insert_member_(transaction,
                         "insert into clientes (clt_codigo, clt_apellidos, clt_nombres, "
                         "clt_nombresyapellidos, clt_direccion, clt_sector, clt_ciudad, "
                         "clt_fecha, clt_telres, clt_celular, clt_estadocivil, "
                         "clt_dependientes, clt_estatus, clt_cedula, clt_empresa, "
                         "clt_tppersona, empresa, clt_salario1, sueldo, porc_ahorro, "
                         "cuota_ahorro, balance_ahorro, sexo, fechanacimiento, "
                         "fecha_nacimiento, mes_nacimiento, nacionalidad, ocupacion, "
                         "provincia, municipio, clt_pais, clt_email, ficha, clt_tipo, "
                         "comentario, fechaultmodificacion, clt_tabajo1, clt_cargo1) values "
                         "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                         "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
          insert_loan_(transaction,
                       "insert into solicitudpres (registro_no, solicitud_no, fecha, valor, "
                       "concepto, socio, empresa, balance_pendiente, tasa, condiciones, "
                       "forma_pago, total_cobrar, total_cuotas, ficha, cant_cuotas, estatus, "
                       "interes, tipo_doc, no_documento, tipo, dia1, tipocalculo, cartera, "
                       "tipoprestamo, tipotasa, fechaprimeracuota, fechaultimacuota, "
                       "tipogarantia, est, valor_cheque, comentario_analista, fechaini, "
                       "fechafin, fecharegistro, registradopor, fechaautorizacion, "
                       "autorizadopor, forma_desembolso, fecha_desembolso, seguroencuotas) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'PR', ?, ?, "
                       "?, 'S', '01', 'N', 1, ?, ?, ?, 'A', ?, ?, ?, ?, ?, ?, ?, ?, 'C', ?, "
                       "'N')"),
          insert_plan_(transaction,
                       "insert into renglones (ren_prestamono, ren_fechaprestamo, "
                       "ren_fechavence, ren_cuotano, ren_cuotacapital, ren_cuotainteres, "
                       "ren_cuotamora, ren_totalcuota, ren_balance, ren_pagadocapital, "
                       "ren_pagadointeres, ren_totalpagado, cartera, seguro, neto, "
                       "gastoscierre) values (?, ?, ?, ?, ?, ?, 0, ?, ?, 0, 0, 0, '01', 0, ?, "
                       "0)"),
          insert_receipt_(transaction,
                          "insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, "
                          "pagointeres, prestamo, pagomora, concepto) values (?, ?, ?, ?, ?, "
                          "?, 0, ?)"),
          insert_note_(transaction,
                       "insert into ccnotasdet (documento, fecharecibo, cuota, pagocapital, "
                       "pagointeres, prestamo, tipo_doc, concepto) values (?, ?, ?, ?, ?, ?, "
                       "?, ?)"),
          insert_payroll_(transaction,
                          "insert into nomina (numero, fecha, cuota_no, valor, interes, "
                          "prestamo_no, estatus, socio, empresa) values (?, ?, ?, ?, ?, ?, ?, "
                          "?, ?)"),
          insert_compensation_(transaction,
                               "insert into compensaciondet (documento, fecha, serviciono, "
                               "capital, interes, aplica, socio) values (?, ?, ?, ?, ?, ?, ?)"),
          insert_movement_(transaction,
                           "insert into cxctrx (cliente, tipo_doc, documento, fecha, aplica, "
                           "valor, fechavenc, cuota, registrono, interes, tipo) values (?, ?, "
                           "?, ?, ?, ?, ?, ?, ?, ?, ?)") {}

    void Employer(int32_t code, const char* name, const char* rnc, const char* address,
                  const char* telephone, const char* contact) {
        insert_employer_.Execute({code, Latin1(name), std::string(rnc), Latin1(address),
                                  std::string(telephone), Latin1(contact)});
        employer_names_[code] = Latin1(name);
    }

    void Member(const MemberSpec& m) {
        std::string first = Latin1(m.first_names);
        std::string last = Latin1(m.surnames);
        if (m.title_case) {
            first = TitleCase(first);
            last = TitleCase(last);
        }
        const int32_t employer = m.employer.value_or(0);
        const auto employer_name = employer_names_.find(employer);
        const Value employer_text =
            employer_name != employer_names_.end() ? Value(employer_name->second) : Value(kNull);
        const size_t city = static_cast<size_t>(m.city) % std::size(kCities);
        const size_t sector = static_cast<size_t>(m.code.back() - '0') % std::size(kSectors);
        const double saving_rate = 5.0;
        // E-mail names are ASCII: the first name's plain letters only.
        std::string email;
        for (char c : m.first_names.substr(0, m.first_names.find(' ')))
            if (c >= 'A' && c <= 'Z') email += static_cast<char>(c - 'A' + 'a');
        email += "." + m.code + "@correo.com.do";

        insert_member_.Execute({
            m.code,
            last,
            first,
            first + " " + last,
            Latin1("C/ DUARTE No. " + std::to_string(10 + (m.code.back() - '0') * 7)),
            Latin1(kSectors[sector]),
            Latin1(kCities[city]),
            m.joined,
            m.telephone,
            m.telephone.substr(0, 4) + "7" + m.telephone.substr(5),
            std::string(m.code.back() % 2 ? "C" : "S"),
            static_cast<int32_t>(m.code.back() % 4),
            m.status ? Value(*m.status) : Value(kNull),
            m.cedula,
            employer_text,
            std::string("F"),
            m.employer ? Value(*m.employer) : Value(kNull),
            m.salary,
            m.salary,
            saving_rate,
            Cents(m.salary * saving_rate / 100.0),
            Cents(m.salary * 1.75),
            m.sex,
            m.born,
            m.born,
            static_cast<int32_t>(m.born.month),
            Latin1("DOMINICANA"),
            Latin1(m.sex == "F" ? "EMPLEADA" : "EMPLEADO"),
            Latin1(kProvinces[city]),
            Latin1(kCities[city]),
            Latin1("REPÚBLICA DOMINICANA"),
            email,
            m.code.substr(1),
            int32_t{1},
            m.comment ? Value(Latin1(*m.comment)) : Value(kNull),
            AddDays(m.joined, 30 + (m.code.back() - '0')),
            employer_text,
            Latin1(m.sex == "F" ? "SECRETARIA" : "TÉCNICO"),
        });
        member_employers_[m.code] = employer;
    }

    // Inserts the loan and its schedule (paid columns at 0; they are set
    // from the documents at the end).
    Loan& AddLoan(const LoanSpec& spec, bool with_plan = true) {
        Loan loan;
        loan.spec = spec;
        loan.registro = ++last_registro_;
        loan.employer = member_employers_.at(spec.member);
        const double monthly_rate = spec.annual_rate / 1200.0;
        double balance = spec.amount;
        const double capital = Cents(spec.amount / spec.installments);
        for (int k = 1; k <= spec.installments; ++k) {
            const double this_capital = k < spec.installments ? capital : Cents(balance);
            loan.plan.push_back(
                {AddMonths(spec.date, k), this_capital, Cents(balance * monthly_rate)});
            balance = Cents(balance - this_capital);
        }
        double total_interest = 0;
        for (const auto& i : loan.plan) total_interest += i.interest;
        const DateTime registered = AddDays(spec.date, -5);
        insert_loan_.Execute({
            loan.registro,
            loan.registro + 300,
            spec.date,
            spec.amount,
            Latin1(spec.amount >= 1000000 ? "PRÉSTAMO HIPOTECARIO" : "PRÉSTAMO DE CONSUMO"),
            spec.member,
            loan.employer,
            spec.amount,
            spec.annual_rate,
            static_cast<int32_t>(spec.installments),
            std::string("MENSUAL"),
            Cents(spec.amount + total_interest),
            Cents(loan.plan.front().capital + loan.plan.front().interest),
            spec.member.substr(1),
            static_cast<int32_t>(spec.installments),
            spec.status,
            Cents(total_interest),
            spec.number,
            spec.type ? Value(*spec.type) : Value(kNull),
            static_cast<int32_t>(spec.date.day),
            loan.plan.front().due,
            loan.plan.back().due,
            Latin1(spec.amount >= 1000000 ? "HIPOTECA EN PRIMER RANGO" : "SOLIDARIA Y AHORROS"),
            spec.amount,
            spec.analyst_comment ? Value(Latin1(*spec.analyst_comment)) : Value(kNull),
            spec.date,
            loan.plan.back().due,
            Day(registered.year, registered.month, registered.day, 9, 41),
            std::string("CAJA01"),
            Day(spec.date.year, spec.date.month, spec.date.day, 11, 15),
            std::string("GERENCIA"),
            spec.date,
        });
        if (with_plan) {
            double remaining = spec.amount;
            for (size_t k = 0; k < loan.plan.size(); ++k) {
                const Installment& i = loan.plan[k];
                remaining = Cents(remaining - i.capital);
                insert_plan_.Execute({spec.number, spec.date, i.due, static_cast<int32_t>(k + 1),
                                      i.capital, i.interest, Cents(i.capital + i.interest),
                                      remaining, Cents(i.capital + i.interest)});
            }
        }
        loans_.push_back(loan);
        return loans_.back();
    }

    const Installment& At(const Loan& loan, int installment) {
        return loan.plan.at(static_cast<size_t>(installment - 1));
    }

    int32_t Receipt(const Loan& loan, int installment, std::optional<double> capital,
                    std::optional<double> interest, std::optional<DateTime> date = {},
                    std::optional<int32_t> number = {}) {
        const int32_t receipt = number ? *number : next_receipt_++;
        const DateTime when = date ? *date : AddDays(At(loan, installment).due, installment % 4);
        insert_receipt_.Execute({receipt, when, static_cast<int32_t>(installment), Opt(capital),
                                 Opt(interest), loan.spec.number, Latin1("PAGO CUOTA PRÉSTAMO")});
        return receipt;
    }

    // Pays installments first..last in full with one receipt each.
    void PayWithReceipts(const Loan& loan, int first, int last) {
        for (int k = first; k <= last; ++k)
            Receipt(loan, k, At(loan, k).capital, At(loan, k).interest);
    }

    void Note(const Loan& loan, int installment, const char* kind, double capital, double interest,
              const char* text) {
        insert_note_.Execute({next_note_++, AddDays(At(loan, installment).due, 2),
                              static_cast<int32_t>(installment), capital, interest,
                              loan.spec.number, std::string(kind), Latin1(text)});
    }

    void Payroll(const Loan& loan, int installment, double capital, double interest,
                 const char* status) {
        const DateTime due = At(loan, installment).due;
        // Payroll batches are numbered by month (yyyymm) and employer.
        const int32_t batch = (due.year * 100 + due.month) * 10 + loan.employer % 10;
        insert_payroll_.Execute({batch, Day(due.year, due.month, std::min(due.day, 28)),
                                 static_cast<int32_t>(installment), capital, interest,
                                 loan.spec.number, std::string(status), loan.spec.member,
                                 loan.employer});
    }

    void Compensation(const Loan& loan, int installment, std::optional<double> capital,
                      std::optional<double> interest) {
        insert_compensation_.Execute({next_compensation_++, AddDays(At(loan, installment).due, 5),
                                      static_cast<int32_t>(installment), Opt(capital),
                                      Opt(interest), loan.spec.number, loan.spec.member});
    }

    void Movement(const std::string& member, const char* kind, int32_t document, DateTime date,
                  int32_t applies_to, double amount, int32_t registro) {
        insert_movement_.Execute({member, std::string(kind), document, date, applies_to, amount,
                                  date, int32_t{0}, registro, 0.0, int32_t{2}});
    }

    // Writes what the repair actions would write for every loan: the
    // receivable movements ("F" row plus one row per applied document) and
    // the schedule's paid columns; then the loan's pending balance and the
    // member's balances.
    void Settle() {
        Statement applied(transaction_, AppliedDocumentsSql());
        Statement set_paid(transaction_,
                           "update renglones set ren_pagadocapital = ?, ren_pagadointeres = ?, "
                           "ren_totalpagado = ?, ren_recibono = ?, ren_fechaecibo = ? where "
                           "ren_prestamono = ? and ren_cuotano = ?");
        Statement set_pending(transaction_,
                              "update solicitudpres set balance_pendiente = ?, fecha_ultmov = ? "
                              "where registro_no = ?");
        for (const Loan& loan : loans_) {
            const LoanSpec& spec = loan.spec;
            const int32_t number = spec.number;
            const std::vector<Row> rows =
                applied.Select({number, number, number, number, number, number});
            const int32_t type = spec.type.value_or(0) >= 1 ? *spec.type : 2;
            if (spec.movements == Movements::kAsRebuilt) {
                insert_movement_.Execute({spec.member, std::string("F"), number, spec.date, number,
                                          spec.amount, spec.date, int32_t{0}, loan.registro, 0.0,
                                          type});
                for (const Row& row : rows) {
                    if (AsText(row[0]) == "P") continue;
                    const Value date = IsNull(row[2]) ? Value(Day(1899, 12, 30)) : row[2];
                    insert_movement_.Execute(
                        {spec.member, AsText(row[0]), static_cast<int32_t>(AsInt(row[1])), date,
                         number, AsDouble(row[4]), spec.date, static_cast<int32_t>(AsInt(row[3])),
                         loan.registro, AsDouble(row[5]), type});
                }
            }
            struct Paid {
                double capital = 0;
                double interest = 0;
                Value receipt = kNull;
                Value date = kNull;
            };
            std::map<int64_t, Paid> paid;
            double balance = 0;
            Value last_move = kNull;
            for (const Row& row : rows) {
                balance += AsDouble(row[4]);
                if (AsText(row[0]) == "P") continue;
                Paid& p = paid[AsInt(row[3])];
                p.capital -= AsDouble(row[4]);
                p.interest -= AsDouble(row[5]);
                if (AsText(row[0]) == "R") {
                    p.receipt = row[1];
                    p.date = row[2];
                }
                last_move = row[2];
            }
            if (spec.schedule_up_to_date) {
                for (const auto& [installment, p] : paid)
                    set_paid.Execute({Cents(p.capital), Cents(p.interest),
                                      Cents(p.capital + p.interest), p.receipt, p.date, number,
                                      static_cast<int32_t>(installment)});
            }
            set_pending.Execute({Cents(balance), last_move, loan.registro});
        }
    }

  private:
    Transaction& transaction_;
    Statement insert_employer_;
    Statement insert_member_;
    Statement insert_loan_;
    Statement insert_plan_;
    Statement insert_receipt_;
    Statement insert_note_;
    Statement insert_payroll_;
    Statement insert_compensation_;
    Statement insert_movement_;
    std::map<int32_t, std::string> employer_names_;
    std::map<std::string, int32_t> member_employers_;
    std::deque<Loan> loans_;  // a deque keeps the references AddLoan hands out valid
    int32_t last_registro_ = 0;
    int32_t next_receipt_ = 50001;
    int32_t next_note_ = 7001;
    int32_t next_compensation_ = 9001;
};

}  // namespace demo::fill
