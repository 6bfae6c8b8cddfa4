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
#include "tools/raw_client/latin1.h"
#include "tools/raw_client/raw_client.h"

namespace demo {

std::string AppliedDocumentsSql() {
    // The program's own statement, its named markers made positional.
    return db::PreprocessSql(loans::AppliedDocumentsStatement()).text;
}

namespace {

DateTime Day(int year, int month, int day, int hour = 0, int minute = 0) {
    return DateTime{year, month, day, hour, minute, 0};
}

// Same day of month `months` later; days past 28 are kept only when the
// target month has them.
DateTime AddMonths(const DateTime& value, int months) {
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    DateTime out = value;
    const int index = value.year * 12 + (value.month - 1) + months;
    out.year = index / 12;
    out.month = index % 12 + 1;
    int last = kDaysInMonth[out.month - 1];
    const bool leap = (out.year % 4 == 0 && out.year % 100 != 0) || out.year % 400 == 0;
    if (out.month == 2 && leap) last = 29;
    if (out.day > last) out.day = last;
    return out;
}

bool Before(const DateTime& a, const DateTime& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

double Cents(double value) {
    return std::round(value * 100.0) / 100.0;
}

Value Opt(const std::optional<double>& value) {
    return value ? Value(*value) : Value(kNull);
}

// Fixed-seed linear congruential generator: the same sequence on every run
// and every platform.
class Sequence {
  public:
    explicit Sequence(uint32_t seed) : state_(seed) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

  private:
    uint32_t state_;
};

// Title case on ISO8859_1 bytes, for the few members an old front end
// captured that way.
std::string TitleCase(const std::string& latin1) {
    std::string out = latin1;
    bool word_start = true;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        const bool upper =
            (byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7);
        const bool lower = (byte >= 'a' && byte <= 'z') || (byte >= 0xDF && byte != 0xF7);
        if (upper && !word_start) c = static_cast<char>(byte + 0x20);
        word_start = !(upper || lower);
    }
    return out;
}

const DateTime kCutOff = Day(2024, 12, 31);  // the demo's "today"

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

const char* const kCities[] = {
    "SANTO DOMINGO", "SANTIAGO DE LOS CABALLEROS", "SAN PEDRO DE MACORÍS", "LA ROMANA",
    "HIGÜEY",        "SAN FRANCISCO DE MACORÍS"};
const char* const kSectors[] = {"GAZCUE",       "LOS MINA",    "VILLA JUANA",   "ENSANCHE OZAMA",
                                "LOS JARDINES", "BELLA VISTA", "VILLA CONSUELO"};
const char* const kProvinces[] = {"DISTRITO NACIONAL", "SANTIAGO",      "SAN PEDRO DE MACORÍS",
                                  "LA ROMANA",         "LA ALTAGRACIA", "DUARTE"};

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
