#include "loans/approval/request_table.h"

#include "loans/records/journal_line.h"
#include "loans/records/record_table.h"
#include "loans/records/repair_record.h"
#include "loans/rules/statements.h"
#include "runtime/exception.h"

namespace loans {
namespace {

// The preview's text goes in parts that fit the column.
constexpr size_t kPreviewPart = 16000;

// Every column but the preview, with the times as seconds since 1970 on
// the server's clock (dialect 1 casts a timestamp to text by month names).
constexpr const char* kRequestColumns =
    "select s.id, datediff(second from timestamp \"1970-01-01 00:00:00\" to s.fecha), "
    "s.usuario, s.rol, s.equipo, s.socio, s.prestamo, s.accion, s.deshace, s.huella, "
    "s.balance_documentos_antes, s.balance_cxc_antes, s.balance_documentos_despues, "
    "s.balance_cxc_despues, s.filas_borradas, s.filas_insertadas, s.filas_actualizadas, "
    "r.decision, datediff(second from timestamp \"1970-01-01 00:00:00\" to r.fecha), "
    "r.usuario, r.motivo, r.reparacion "
    "from solicitudes s left join resoluciones r on r.solicitud = s.id ";

std::string TextOrEmpty(db::TField& field) {
    return field.IsNullValue() ? std::string() : field.GetString();
}

Request RequestAt(db::TIBQuery& reader) {
    Request request;
    request.id = reader.Field(0).GetInteger();
    request.time = FromServerClock(reader.Field(1).GetFloat());
    request.user = TextOrEmpty(reader.Field(2));
    request.role = TextOrEmpty(reader.Field(3));
    request.workstation = TextOrEmpty(reader.Field(4));
    request.member = reader.Field(5).GetString();
    request.loan = reader.Field(6).GetInteger();
    request.repair = reader.Field(7).GetString();
    request.undoes = TextOrEmpty(reader.Field(8));
    request.fingerprint = reader.Field(9).GetString();
    request.documents_balance_before = reader.Field(10).GetFloat();
    request.receivable_balance_before = reader.Field(11).GetFloat();
    request.documents_balance_after = reader.Field(12).GetFloat();
    request.receivable_balance_after = reader.Field(13).GetFloat();
    request.rows_deleted = reader.Field(14).GetInteger();
    request.rows_inserted = reader.Field(15).GetInteger();
    request.rows_updated = reader.Field(16).GetInteger();
    if (!reader.Field(17).IsNullValue()) {
        Resolution resolution;
        resolution.decision = reader.Field(17).GetString();
        resolution.time = FromServerClock(reader.Field(18).GetFloat());
        resolution.user = TextOrEmpty(reader.Field(19));
        resolution.reason = TextOrEmpty(reader.Field(20));
        resolution.record = TextOrEmpty(reader.Field(21));
        request.resolution = std::move(resolution);
    }
    return request;
}

std::vector<Request> Requests(db::TIBQuery& reader) {
    reader.Open();
    std::vector<Request> requests;
    for (; !reader.AtEnd(); reader.Next()) requests.push_back(RequestAt(reader));
    return requests;
}

}  // namespace

bool RequestTablesExist(db::TIBQuery& reader) {
    SetStatement(reader,
                 "select count(*) from rdb$relations where rdb$relation_name = \"SOLICITUDES\"");
    reader.Open();
    return reader.Field(0).GetInteger() > 0;
}

bool ApprovalRequired(db::TIBQuery& reader) {
    SetStatement(reader,
                 "select (select count(*) from rdb$relations where rdb$relation_name = "
                 "\"SOLICITUDES\"), (select count(*) from rdb$user_privileges where rdb$user = "
                 "\"ANALISTA_SOCIOS\" and rdb$relation_name = \"CXCTRX\" and rdb$privilege = "
                 "\"I\") from rdb$database");
    reader.Open();
    return reader.Field(0).GetInteger() > 0 && reader.Field(1).GetInteger() == 0;
}

int32_t InsertRequest(db::TIBQuery& writer, const Request& request) {
    // The number first, so that the preview's parts can name it.
    SetStatement(writer, "select gen_id(solicitudes_id, 1) from rdb$database");
    writer.Open();
    const int32_t id = writer.Field(0).GetInteger();
    SetStatement(writer,
                 "insert into solicitudes (id, equipo, socio, prestamo, accion, deshace, huella, "
                 "balance_documentos_antes, balance_cxc_antes, balance_documentos_despues, "
                 "balance_cxc_despues, filas_borradas, filas_insertadas, filas_actualizadas) "
                 "values (:i, :e, :s, :p, :a, :d, :h, :da, :ca, :dd, :cd, :fb, :fi, :fa)");
    writer.ParamNamed("i").SetInteger(id);
    writer.ParamNamed("e").SetString(ThisComputer());
    writer.ParamNamed("s").SetString(request.member);
    writer.ParamNamed("p").SetInteger(request.loan);
    writer.ParamNamed("a").SetString(request.repair);
    if (request.undoes.empty()) {
        writer.ParamNamed("d").Clear();
    } else {
        writer.ParamNamed("d").SetString(request.undoes);
    }
    writer.ParamNamed("h").SetString(request.fingerprint);
    writer.ParamNamed("da").SetFloat(static_cast<double>(request.documents_balance_before));
    writer.ParamNamed("ca").SetFloat(request.receivable_balance_before);
    writer.ParamNamed("dd").SetFloat(static_cast<double>(request.documents_balance_after));
    writer.ParamNamed("cd").SetFloat(request.receivable_balance_after);
    writer.ParamNamed("fb").SetInteger(static_cast<int32_t>(request.rows_deleted));
    writer.ParamNamed("fi").SetInteger(static_cast<int32_t>(request.rows_inserted));
    writer.ParamNamed("fa").SetInteger(static_cast<int32_t>(request.rows_updated));
    writer.Execute();
    const std::string preview = ChangeText(request.change);
    SetStatement(writer,
                 "insert into solicitudes_vistas (solicitud, parte, texto) values (:r, :n, :t)");
    for (size_t at = 0, part = 1; at < preview.size(); at += kPreviewPart, ++part) {
        writer.ParamNamed("r").SetInteger(id);
        writer.ParamNamed("n").SetInteger(static_cast<int32_t>(part));
        writer.ParamNamed("t").SetString(preview.substr(at, kPreviewPart));
        writer.Execute();
    }
    return id;
}

std::optional<Request> OpenRequestFor(db::TIBQuery& reader, const std::string& member, int32_t loan,
                                      const std::string& repair) {
    SetStatement(reader, std::string(kRequestColumns) +
                             "where s.prestamo = :p and s.socio = :s and s.accion = :a and "
                             "s.abierta is not null");
    reader.ParamNamed("p").SetInteger(loan);
    reader.ParamNamed("s").SetString(member);
    reader.ParamNamed("a").SetString(repair);
    std::vector<Request> found = Requests(reader);
    if (found.empty()) return std::nullopt;
    return std::move(found.front());
}

std::vector<Request> OpenRequestsOf(db::TIBQuery& reader, const std::string& member, int32_t loan) {
    SetStatement(reader, std::string(kRequestColumns) +
                             "where s.prestamo = :p and s.socio = :s and s.abierta is not null "
                             "order by s.fecha, s.id");
    reader.ParamNamed("p").SetInteger(loan);
    reader.ParamNamed("s").SetString(member);
    return Requests(reader);
}

std::vector<Request> PendingRequests(db::TIBQuery& reader) {
    SetStatement(reader, std::string(kRequestColumns) +
                             "where s.abierta is not null order by s.fecha, s.id");
    return Requests(reader);
}

std::vector<Request> RequestsOf(db::TIBQuery& reader, const std::string& member, int32_t loan) {
    SetStatement(reader, std::string(kRequestColumns) +
                             "where s.prestamo = :p and s.socio = :s order by s.fecha, s.id");
    reader.ParamNamed("p").SetInteger(loan);
    reader.ParamNamed("s").SetString(member);
    return Requests(reader);
}

std::optional<Request> FindRequest(db::TIBQuery& reader, int32_t id) {
    SetStatement(reader, std::string(kRequestColumns) + "where s.id = :i");
    reader.ParamNamed("i").SetInteger(id);
    std::vector<Request> found = Requests(reader);
    if (found.empty()) return std::nullopt;
    Request request = std::move(found.front());
    SetStatement(reader,
                 "select texto from solicitudes_vistas where solicitud = :r order by parte");
    reader.ParamNamed("r").SetInteger(id);
    reader.Open();
    std::string preview;
    for (; !reader.AtEnd(); reader.Next()) preview += reader.Field(0).GetString();
    try {
        request.change = ParseChangeText(preview);
    } catch (const std::exception&) {
        throw runtime::Exception("La vista previa de la solicitud " + std::to_string(id) +
                                 " est\xE1 da\xF1"
                                 "ada");
    }
    return request;
}

void InsertResolution(db::TIBQuery& writer, int32_t request, const std::string& decision,
                      const std::string& reason, const std::string& record) {
    SetStatement(writer,
                 "insert into resoluciones (solicitud, equipo, decision, motivo, reparacion) "
                 "values (:s, :e, :d, :m, :r)");
    writer.ParamNamed("s").SetInteger(request);
    writer.ParamNamed("e").SetString(ThisComputer());
    writer.ParamNamed("d").SetString(decision);
    if (reason.empty()) {
        writer.ParamNamed("m").Clear();
    } else {
        writer.ParamNamed("m").SetString(reason);
    }
    if (record.empty()) {
        writer.ParamNamed("r").Clear();
    } else {
        writer.ParamNamed("r").SetString(record);
    }
    writer.Execute();
}

}  // namespace loans
