// Both marker scans of a statement text on arbitrary text: the query
// layer's (the parameter list) and the statement layer's (the text sent to
// the server). Either may refuse a text with its parse error; neither may
// crash, read past the text or grow it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "db/errors.h"
#include "db/params.h"
#include "db/sql_preprocessor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t colons = 0, questions = 0;
    for (char c : text) {
        colons += c == ':';
        questions += c == '?';
    }

    const db::ParsedMarkers markers = db::ScanParamMarkers(text);
    if (markers.parsed_text.size() > text.size() || markers.names.size() > colons) __builtin_trap();

    try {
        const db::PreprocessedSql sql = db::PreprocessSql(text);
        // Each marker is one "?" in place of at least its colon.
        if (sql.text.size() > text.size() || sql.names.size() > colons + questions) {
            __builtin_trap();
        }
    } catch (const db::EIBClientError& e) {
        if (e.SqlErrorCode() != db::kSqlParseError) __builtin_trap();
    }
    return 0;
}
