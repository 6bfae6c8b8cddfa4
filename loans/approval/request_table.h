#pragma once

// Requests and resolutions as the database keeps them
// (sql/aprobacion.sql): SOLICITUDES, their previews in SOLICITUDES_VISTAS,
// RESOLUCIONES. The server stamps who, when and from where, refuses a
// second open request for one loan and repair, and refuses a resolution by
// the request's own user. Every function works in the given query's
// transaction. No Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/ib_query.h"
#include "loans/approval/request.h"

namespace loans {

// True when the database has the requests' tables (approval is, or was,
// on): requests and their fates can be listed.
bool RequestTablesExist(db::TIBQuery& reader);

// True when repairs need a supervisor's approval: the requests' tables are
// there and the analysts' role may not write the ledger, as
// sql/aprobacion.sql leaves it (sql/sin_aprobacion.sql gives the right
// back). Decided by the database's own grants, never by a setting of the
// program's.
bool ApprovalRequired(db::TIBQuery& reader);

// Files the request with its preview; returns its number. Raises the
// server's error as it comes (a second open request breaks the unique key
// UQ_SOLICITUDES_ABIERTA).
int32_t InsertRequest(db::TIBQuery& writer, const Request& request);

// The loan's open request for that repair, without its preview.
std::optional<Request> OpenRequestFor(db::TIBQuery& reader, const std::string& member, int32_t loan,
                                      const std::string& repair);
// The loan's open requests, oldest first, without their previews.
std::vector<Request> OpenRequestsOf(db::TIBQuery& reader, const std::string& member, int32_t loan);
// Every open request, oldest first, without their previews.
std::vector<Request> PendingRequests(db::TIBQuery& reader);
// The loan's requests, open or resolved, oldest first, without previews.
std::vector<Request> RequestsOf(db::TIBQuery& reader, const std::string& member, int32_t loan);
// The request with its preview and resolution; nothing when there is none.
std::optional<Request> FindRequest(db::TIBQuery& reader, int32_t id);

// Writes the request's resolution; the server stamps who and when, and
// refuses it when the user is the request's own, the request is resolved
// already, or the user may not resolve (the analysts' role).
void InsertResolution(db::TIBQuery& writer, int32_t request, const std::string& decision,
                      const std::string& reason, const std::string& record);

}  // namespace loans
