#pragma once

// Builder of the cooperative's demo database: the schema of sql/schema.sql
// in a fresh embedded database file, and a small, deterministic cooperative
// whose notable members and loans are named in demo_catalogue.h.

#include <string>
#include <vector>

namespace demo {

// Creates a new embedded database file at `path` (page size 8192, default
// character set ISO8859_1, forced writes off) and runs every statement of
// the schema, the analysts' role, the repair records and the run history in
// SQL dialect `dialect` (1 or 3). Raises runtime::EInOutError
// when the file already exists, and the server's error when the file cannot
// be created. A database that fails half-way is dropped again, so the path
// stays free for a retry.
void CreateCoopDatabase(const std::string& path, int dialect = 1);

// Fills a database made by CreateCoopDatabase with the demo cooperative in
// one transaction. Raises runtime::Exception when the database already
// holds members; nothing is written then or on any other failure.
void FillDemoDatabase(const std::string& path);

// The program's union of a loan's applied documents (plan rows "P",
// receipts "R", credit "C" and debit "D" notes, payroll "N", compensations
// "M"; signed capital in column 5), with six positional markers that all
// take the loan number.
std::string AppliedDocumentsSql();

// Full path of the schema file the builder loads.
std::string SchemaFile();
// Full path of the analysts' role script (sql/analista.sql), run after it.
std::string RoleFile();
// Full path of the repair records' script (sql/reparaciones.sql), run after
// the role, whose grants it extends.
std::string RecordTableFile();
// Full path of the portfolio check's run history (sql/revisiones.sql), run
// last; it too extends the role's grants.
std::string RunHistoryFile();

// The statements of an SQL script: "--" comments (outside quoted text)
// removed, split at each terminator that ends a line (";", or another set
// by isql's "SET TERM new old" line, itself no statement), blank statements
// dropped.
std::vector<std::string> SplitSqlScript(const std::string& script);

// Reads a script file and splits it; raises runtime::EInOutError when the
// file cannot be read.
std::vector<std::string> ReadSqlScript(const std::string& file);

}  // namespace demo
