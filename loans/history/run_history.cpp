#include "loans/history/run_history.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <exception>
#include <set>

#include "db/column_value.h"
#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_sql.h"
#include "db/ib_transaction.h"
#include "formats/date_time.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/statements.h"
#include "runtime/number_text.h"

namespace loans {
namespace {

constexpr const char* kHistoryTablesStatement =
    "select count(*) from rdb$relations where rdb$relation_name in "
    "('REVISIONES', 'REVISIONES_PRESTAMOS')";

constexpr const char* kRunColumns =
    "ID, FECHA, USUARIO, ESTACION, PRESTAMOS_REVISADOS, CON_DIFERENCIAS, REINDEXAR, "
    "CORREGIR_TABLA, SUMA_DIFERENCIAS, DURACION_MS, TERMINADA";

// The trigger gives ID, FECHA and USUARIO, and ESTACION where the server
// knows the client's host.
constexpr const char* kInsertRunStatement =
    "INSERT INTO REVISIONES (ESTACION, PRESTAMOS_REVISADOS, CON_DIFERENCIAS, REINDEXAR, "
    "CORREGIR_TABLA, SUMA_DIFERENCIAS, DURACION_MS, TERMINADA) VALUES (:estacion, :revisados, "
    ":diferencias, :reindexar, :corregir, :suma, :duracion, :terminada) RETURNING ID";

constexpr const char* kInsertLoanStatement =
    "INSERT INTO REVISIONES_PRESTAMOS (REVISION, SOCIO, PRESTAMO, REPARACION, DIFERENCIA, "
    "CUOTAS) VALUES (:revision, :socio, :prestamo, :reparacion, :diferencia, :cuotas)";

constexpr const char* kRunLoansStatement =
    "SELECT SOCIO, PRESTAMO FROM REVISIONES_PRESTAMOS WHERE REVISION = :revision";

std::string RunStatement(const std::string& tail) {
    return std::string("SELECT ") + kRunColumns + " FROM REVISIONES " + tail;
}

StoredRun TakeRun(db::TIBQuery& query) {
    StoredRun run;
    run.id = query.FieldNamed("ID").GetInteger();
    run.time = query.FieldNamed("FECHA").GetDateTime();
    run.user = query.FieldNamed("USUARIO").GetString();
    run.workstation = query.FieldNamed("ESTACION").GetString();
    run.checked = query.FieldNamed("PRESTAMOS_REVISADOS").GetInteger();
    run.flagged = query.FieldNamed("CON_DIFERENCIAS").GetInteger();
    run.reindex = query.FieldNamed("REINDEXAR").GetInteger();
    run.fix_schedule = query.FieldNamed("CORREGIR_TABLA").GetInteger();
    run.amount = query.FieldNamed("SUMA_DIFERENCIAS").GetFloat();
    run.duration_ms = query.FieldNamed("DURACION_MS").GetInteger();
    run.finished = query.FieldNamed("TERMINADA").GetInteger() != 0;
    return run;
}

// A loan's difference as the window shows it, as a number: what the
// history adds up and the chart draws, to the cent like the reports.
double ShownDifference(const LoanCheck& loan) {
    return runtime::ParseReal(CsvAmount(Difference(loan))).value_or(0);
}

int32_t Clamped(size_t count) {
    return static_cast<int32_t>(std::min<size_t>(count, INT32_MAX));
}

// A transaction and a query on it, rolled back unless committed.
class Unit {
  public:
    Unit(db::TIBDatabase& database, std::initializer_list<std::string> params) {
        if (!database.Connected()) database.Open();
        transaction_.SetDefaultDatabase(&database);
        transaction_.Params().Assign(params);
        query_.SetDatabase(&database);
        query_.SetTransaction(&transaction_);
        transaction_.StartTransaction();
    }
    ~Unit() {
        try {
            query_.Close();
            query_.SQL().Clear();
            if (transaction_.Active()) transaction_.Rollback();
        } catch (...) {
            // The connection is gone; so is the transaction.
        }
    }
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    db::TIBQuery& Query() { return query_; }
    db::TIBTransaction& Transaction() { return transaction_; }
    void Commit() {
        // The statement goes back to the connection's cache first.
        query_.Close();
        query_.SQL().Clear();
        transaction_.Commit();
    }

  private:
    db::TIBTransaction transaction_{"RunHistoryTransaction"};
    db::TIBQuery query_{"RunHistoryQuery"};
};

}  // namespace

LoanKey KeyOf(const std::string& member, int32_t loan) {
    return {member.substr(0, member.find_last_not_of(' ') + 1), loan};
}

bool HasRunHistory(db::TIBDatabase& database) {
    Unit unit(database, {"read", "read_committed", "rec_version", "nowait"});
    db::TIBQuery& query = unit.Query();
    SetStatement(query, kHistoryTablesStatement);
    query.Open();
    return query.Field(0).GetInteger() == 2;
}

RecordedRun RecordRun(db::TIBDatabase& database, const CheckRun& run,
                      const std::string& workstation) {
    // A snapshot: the last finished run read here is the last one before
    // this run's row, whatever others store meanwhile.
    Unit unit(database, {"write", "concurrency", "nowait"});
    db::TIBQuery& query = unit.Query();
    RecordedRun recorded;
    std::set<LoanKey> before;
    if (run.finished) {
        SetStatement(query, RunStatement("WHERE TERMINADA = 1 ORDER BY ID DESC ROWS 1"));
        query.Open();
        if (!query.AtEnd()) recorded.previous = TakeRun(query);
        if (recorded.previous) {
            SetStatement(query, kRunLoansStatement);
            query.ParamNamed("revision").SetInteger(recorded.previous->id);
            query.Open();
            for (; !query.AtEnd(); query.Next()) {
                before.insert(KeyOf(query.Field(0).GetString(), query.Field(1).GetInteger()));
            }
        }
    }
    const std::vector<LoanCheck> none;
    const std::vector<LoanCheck>& flagged = run.finished ? run.flagged : none;
    int32_t reindex = 0;
    int32_t fix = 0;
    long double amount = 0;
    for (const LoanCheck& loan : flagged) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
        amount += std::fabs(ShownDifference(loan));
    }
    SetStatement(query, kInsertRunStatement);
    query.ParamNamed("estacion").SetString(workstation.substr(0, 255));
    query.ParamNamed("revisados").SetInteger(run.finished ? Clamped(run.checked) : 0);
    query.ParamNamed("diferencias").SetInteger(Clamped(flagged.size()));
    query.ParamNamed("reindexar").SetInteger(reindex);
    query.ParamNamed("corregir").SetInteger(fix);
    query.ParamNamed("suma").SetFloat(static_cast<double>(amount));
    query.ParamNamed("duracion")
        .SetInteger(
            static_cast<int32_t>(std::clamp<long long>(run.duration.count(), 0, INT32_MAX)));
    query.ParamNamed("terminada").SetInteger(run.finished ? 1 : 0);
    query.Open();  // RETURNING: the row comes back with the execution
    const int32_t id = static_cast<int32_t>(db::ReadColumn(query.Statement().Current()[0]).integer);
    query.Close();

    SetStatement(query, kInsertLoanStatement);
    std::set<LoanKey> now;
    for (const LoanCheck& loan : flagged) {
        query.ParamNamed("revision").SetInteger(id);
        query.ParamNamed("socio").SetString(loan.member);
        query.ParamNamed("prestamo").SetInteger(loan.loan);
        query.ParamNamed("reparacion").SetString(RepairName(loan));
        query.ParamNamed("diferencia").SetFloat(ShownDifference(loan));
        query.ParamNamed("cuotas").SetInteger(loan.differing_instalments);
        query.Execute();
        now.insert(KeyOf(loan.member, loan.loan));
    }

    SetStatement(query, RunStatement("WHERE ID = :id"));
    query.ParamNamed("id").SetInteger(id);
    query.Open();
    recorded.stored = TakeRun(query);
    unit.Commit();

    if (recorded.previous) {
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                            std::back_inserter(recorded.new_loans));
        std::set_difference(before.begin(), before.end(), now.begin(), now.end(),
                            std::back_inserter(recorded.resolved));
    }
    return recorded;
}

std::vector<StoredRun> ReadRuns(db::TIBDatabase& database) {
    Unit unit(database, {"read", "read_committed", "rec_version", "nowait"});
    db::TIBQuery& query = unit.Query();
    SetStatement(query, RunStatement("ORDER BY ID"));
    query.Open();
    std::vector<StoredRun> runs;
    for (; !query.AtEnd(); query.Next()) runs.push_back(TakeRun(query));
    return runs;
}

std::string ThisWorkstation() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string RunTimeText(double time) {
    const formats::DateTimeParts parts = formats::DecodeDateTime(time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
    return text;
}

}  // namespace loans
