#include "loans/records/record_table.h"

#include <cmath>
#include <ctime>

#include "db/errors.h"
#include "loans/records/journal_line.h"
#include "loans/rules/statements.h"

namespace loans {
namespace {

// The image's text goes in parts that fit the column.
constexpr size_t kImagePart = 16000;

constexpr const char* kInsertStatement =
    "insert into reparaciones (id, equipo, socio, prestamo, accion, deshace, "
    "balance_documentos_antes, balance_cxc_antes, balance_documentos_despues, "
    "balance_cxc_despues, filas_borradas, filas_insertadas, filas_actualizadas, diario_fecha, "
    "diario_usuario) values (:i, :e, :s, :p, :a, :d, :da, :ca, :dd, :cd, :fb, :fi, :fa, "
    "dateadd(second, :df, timestamp \"1970-01-01 00:00:00\"), :du)";

constexpr const char* kInsertImageStatement =
    "insert into reparaciones_imagenes (reparacion, parte, texto) values (:r, :n, :t)";

// Every column but the image, with the time as seconds since 1970 on the
// server's clock (dialect 1 casts a timestamp to text by month names).
constexpr const char* kRecordColumns =
    "select id, datediff(second from timestamp \"1970-01-01 00:00:00\" to coalesce(diario_fecha, "
    "fecha)), coalesce(diario_usuario, usuario), rol, equipo, socio, prestamo, accion, deshace, "
    "balance_documentos_antes, balance_cxc_antes, balance_documentos_despues, "
    "balance_cxc_despues, filas_borradas, filas_insertadas, filas_actualizadas from reparaciones ";

long long ToServerClock(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    return static_cast<long long>(timegm(&parts));
}

std::string TextOrEmpty(db::TField& field) {
    return field.IsNullValue() ? std::string() : field.GetString();
}

RepairRecord RecordAt(db::TIBQuery& reader) {
    RepairRecord record;
    record.id = reader.Field(0).GetString();
    record.time = FromServerClock(reader.Field(1).GetFloat());
    record.user = TextOrEmpty(reader.Field(2));
    record.role = TextOrEmpty(reader.Field(3));
    record.workstation = TextOrEmpty(reader.Field(4));
    record.member = reader.Field(5).GetString();
    record.loan = reader.Field(6).GetInteger();
    record.repair = reader.Field(7).GetString();
    record.undoes = TextOrEmpty(reader.Field(8));
    record.documents_balance_before = reader.Field(9).GetFloat();
    record.receivable_balance_before = reader.Field(10).GetFloat();
    record.documents_balance_after = reader.Field(11).GetFloat();
    record.receivable_balance_after = reader.Field(12).GetFloat();
    record.rows_deleted = reader.Field(13).GetInteger();
    record.rows_inserted = reader.Field(14).GetInteger();
    record.rows_updated = reader.Field(15).GetInteger();
    // Only committed units have a row, and each keeps its image.
    record.undo_kept = true;
    return record;
}

void Insert(db::TIBQuery& writer, const RepairRecord& record, bool imported) {
    SetStatement(writer, kInsertStatement);
    writer.ParamNamed("i").SetString(record.id);
    writer.ParamNamed("e").SetString(record.workstation);
    writer.ParamNamed("s").SetString(record.member);
    writer.ParamNamed("p").SetInteger(record.loan);
    writer.ParamNamed("a").SetString(record.repair);
    if (record.undoes.empty()) {
        writer.ParamNamed("d").Clear();
    } else {
        writer.ParamNamed("d").SetString(record.undoes);
    }
    writer.ParamNamed("da").SetFloat(static_cast<double>(record.documents_balance_before));
    writer.ParamNamed("ca").SetFloat(record.receivable_balance_before);
    writer.ParamNamed("dd").SetFloat(static_cast<double>(record.documents_balance_after));
    writer.ParamNamed("cd").SetFloat(record.receivable_balance_after);
    writer.ParamNamed("fb").SetInteger(static_cast<int32_t>(record.rows_deleted));
    writer.ParamNamed("fi").SetInteger(static_cast<int32_t>(record.rows_inserted));
    writer.ParamNamed("fa").SetInteger(static_cast<int32_t>(record.rows_updated));
    if (imported) {
        writer.ParamNamed("df").SetFloat(static_cast<double>(ToServerClock(record.time)));
        writer.ParamNamed("du").SetString(record.user);
    } else {
        writer.ParamNamed("df").Clear();
        writer.ParamNamed("du").Clear();
    }
    try {
        writer.Execute();
    } catch (const db::EIBInterBaseError& error) {
        // The database's own refusal of a second undo of one record.
        if (!record.undoes.empty() &&
            error.Message().find("UQ_REPARACIONES_DESHACE") != std::string::npos) {
            throw EAlreadyUndone(record.undoes);
        }
        throw;
    }
    const std::string image = UndoText(record.undo);
    SetStatement(writer, kInsertImageStatement);
    for (size_t at = 0, part = 1; at < image.size(); at += kImagePart, ++part) {
        writer.ParamNamed("r").SetString(record.id);
        writer.ParamNamed("n").SetInteger(static_cast<int32_t>(part));
        writer.ParamNamed("t").SetString(image.substr(at, kImagePart));
        writer.Execute();
    }
}

}  // namespace

std::time_t FromServerClock(double seconds) {
    const auto naive = static_cast<std::time_t>(std::llround(seconds));
    std::tm parts{};
    gmtime_r(&naive, &parts);
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

EAlreadyUndone::EAlreadyUndone(const std::string& id)
    : runtime::Exception("La reparaci\xF3n " + id + " ya se deshizo; no se deshace otra vez") {}

bool RecordTableExists(db::TIBQuery& reader) {
    SetStatement(reader,
                 "select count(*) from rdb$relations where rdb$relation_name = \"REPARACIONES\"");
    reader.Open();
    return reader.Field(0).GetInteger() > 0;
}

std::string DatabaseIdentity(db::TIBQuery& reader) {
    SetStatement(reader,
                 "select mon$database_name, datediff(second from timestamp \"1970-01-01 "
                 "00:00:00\" to mon$creation_date) from mon$database");
    reader.Open();
    const double created = reader.Field(1).GetFloat();
    return reader.Field(0).GetString() + "|" + std::to_string(std::llround(created));
}

void InsertRecord(db::TIBQuery& writer, const RepairRecord& record) {
    Insert(writer, record, false);
}

void InsertImportedRecord(db::TIBQuery& writer, const RepairRecord& record) {
    Insert(writer, record, true);
}

std::vector<RepairRecord> TableRecordsOf(db::TIBQuery& reader, const std::string& member,
                                         int32_t loan) {
    SetStatement(reader, std::string(kRecordColumns) +
                             "where prestamo = :p and socio = :s order by fecha, id");
    reader.ParamNamed("p").SetInteger(loan);
    reader.ParamNamed("s").SetString(member);
    reader.Open();
    std::vector<RepairRecord> records;
    for (; !reader.AtEnd(); reader.Next()) records.push_back(RecordAt(reader));
    return records;
}

std::optional<RepairRecord> FindTableRecord(db::TIBQuery& reader, const std::string& id) {
    SetStatement(reader, std::string(kRecordColumns) + "where id = :i");
    reader.ParamNamed("i").SetString(id);
    reader.Open();
    if (reader.AtEnd()) return std::nullopt;
    RepairRecord record = RecordAt(reader);
    SetStatement(reader,
                 "select texto from reparaciones_imagenes where reparacion = :r order by parte");
    reader.ParamNamed("r").SetString(id);
    reader.Open();
    std::string image;
    for (; !reader.AtEnd(); reader.Next()) image += reader.Field(0).GetString();
    try {
        record.undo = ParseUndoText(image);
    } catch (const std::exception&) {
        throw runtime::Exception("El registro " + id +
                                 " de la base de datos est\xE1 da\xF1"
                                 "ado; no se puede deshacer");
    }
    return record;
}

bool TableHasRecord(db::TIBQuery& reader, const std::string& id) {
    SetStatement(reader, "select count(*) from reparaciones where id = :i");
    reader.ParamNamed("i").SetString(id);
    reader.Open();
    return reader.Field(0).GetInteger() > 0;
}

std::string TableUndoneBy(db::TIBQuery& reader, const std::string& id) {
    SetStatement(reader, "select id from reparaciones where deshace = :i");
    reader.ParamNamed("i").SetString(id);
    reader.Open();
    return reader.AtEnd() ? std::string() : reader.Field(0).GetString();
}

}  // namespace loans
