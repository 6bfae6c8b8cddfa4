#include "loans/records/journal_line.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <vector>

#include "formats/latin1.h"
#include "loans/rules/reconciliation.h"
#include "runtime/exception.h"
#include "runtime/number_text.h"

namespace loans {

std::string JsonText(const std::string& latin1) {
    std::string escaped;
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            escaped += '\\';
            escaped += ch;
        } else if (byte < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            escaped += code;
        } else {
            escaped += ch;
        }
    }
    return "\"" + formats::Latin1ToUtf8(escaped) + "\"";
}

namespace {

std::string UtcTime(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string ValuesArray(const std::vector<ImageValue>& values) {
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ",";
        text += values[i] ? JsonText(*values[i]) : "null";
    }
    return text + "]";
}

std::string RowsArray(const std::vector<ImageRow>& rows) {
    std::string text = "[";
    for (size_t i = 0; i < rows.size(); ++i)
        text += (i > 0 ? "," : "") + ValuesArray(rows[i].values);
    return text + "]";
}

std::string ScheduleArray(const std::vector<ScheduleChange>& schedule) {
    std::string text = "[";
    for (size_t i = 0; i < schedule.size(); ++i) {
        text += (i > 0 ? ",{\"before\":" : "{\"before\":") +
                ValuesArray(schedule[i].before.values) +
                ",\"paid_after\":" + ValuesArray(schedule[i].paid_after) + "}";
    }
    return text + "]";
}

}  // namespace

std::string ChangeText(const ChangeImage& change) {
    std::string text = "{\"columns\":[";
    for (size_t i = 0; i < change.movement_columns.size(); ++i) {
        text += (i > 0 ? "," : "") + JsonText(change.movement_columns[i]);
    }
    return text + "],\"out\":" + RowsArray(change.movements_out) +
           ",\"in\":" + RowsArray(change.movements_in) +
           ",\"schedule\":" + ScheduleArray(change.schedule) + "}";
}

std::string UndoText(const UndoImage& undo) {
    std::string text = "{\"after\":" + JsonText(undo.after_fingerprint);
    if (undo.movements_replaced) {
        text += ",\"columns\":[";
        for (size_t i = 0; i < undo.movement_columns.size(); ++i) {
            text += (i > 0 ? "," : "") + JsonText(undo.movement_columns[i]);
        }
        text += "],\"movements\":[";
        for (size_t i = 0; i < undo.movements.size(); ++i) {
            text += (i > 0 ? "," : "") + ValuesArray(undo.movements[i].values);
        }
        text += "]";
    }
    return text + ",\"schedule\":" + ScheduleArray(undo.schedule) + "}";
}

std::string JournalLine(const RepairRecord& r) {
    std::string line = "{";
    if (!r.id.empty()) line += "\"id\":" + JsonText(r.id) + ",";
    line += "\"time\":\"" + UtcTime(r.time) + "\"";
    line += ",\"user\":" + JsonText(r.user);
    line += ",\"database\":" + JsonText(r.database);
    if (!r.database_id.empty()) line += ",\"database_id\":" + JsonText(r.database_id);
    if (!r.workstation.empty()) line += ",\"workstation\":" + JsonText(r.workstation);
    line += ",\"member\":" + JsonText(r.member);
    line += ",\"loan\":" + std::to_string(r.loan);
    line += ",\"repair\":" + JsonText(r.repair);
    if (!r.undoes.empty()) line += ",\"undoes\":" + JsonText(r.undoes);
    line += std::string(",\"outcome\":\"") +
            (r.rolled_back   ? "rolled back"
             : r.unconfirmed ? "unknown"
                             : "done") +
            "\"";
    if (r.rolled_back || r.unconfirmed) line += ",\"message\":" + JsonText(r.message);
    line += ",\"documents_balance_before\":" + CsvAmount(r.documents_balance_before);
    line += ",\"receivable_balance_before\":" + CsvAmount(r.receivable_balance_before);
    line += ",\"documents_balance_after\":" + CsvAmount(r.documents_balance_after);
    line += ",\"receivable_balance_after\":" + CsvAmount(r.receivable_balance_after);
    line += ",\"rows_deleted\":" + std::to_string(r.rows_deleted);
    line += ",\"rows_inserted\":" + std::to_string(r.rows_inserted);
    line += ",\"rows_updated\":" + std::to_string(r.rows_updated);
    if (!r.rolled_back && !r.undo.after_fingerprint.empty()) {
        line += ",\"undo\":" + UndoText(r.undo);
    }
    return line + "}";
}

namespace {

// Every way a line can be unreadable says the same ("l\xEDnea da\xF1ada").
[[noreturn]] void Damaged() {
    throw runtime::Exception(
        "l\xEDnea da\xF1"
        "ada");
}

// Just enough JSON to read back the lines JournalLine writes: texts come
// back as the program's ISO8859_1 bytes, numbers as their text.
struct Json {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
    std::string text;
    std::vector<Json> items;
    // An object's members, names and values side by side: a vector may hold
    // the type being defined, a pair may not.
    std::vector<std::string> keys;
    std::vector<Json> values;

    const Json* Member(const std::string& name) const {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == name) return &values[i];
        }
        return nullptr;
    }
};

class JsonReader {
  public:
    // `kept`: a top-level member whose value keeps only its own direct
    // texts; what lies deeper is read through, checked, and let go.
    explicit JsonReader(const std::string& text, std::string kept = {})
        : text_(text), kept_(std::move(kept)) {}
    Json Document() {
        Json value = Value(0, kEverything);
        Blanks();
        if (at_ != text_.size()) Fail();
        return value;
    }

  private:
    [[noreturn]] void Fail() { Damaged(); }
    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    char Peek() {
        Blanks();
        if (at_ >= text_.size()) Fail();
        return text_[at_];
    }
    void Expect(char ch) {
        if (Peek() != ch) Fail();
        ++at_;
    }
    static constexpr int kEverything = 1 << 20;
    // Values below `keep_below` are read but not kept.
    Json Value(int depth, int keep_below) {
        if (depth > 16) Fail();
        Json value;
        const char ch = Peek();
        if (ch == '{') {
            value.type = Json::Type::kObject;
            ++at_;
            if (Peek() == '}') {
                ++at_;
                return value;
            }
            for (;;) {
                if (Peek() != '"') Fail();
                std::string key = String();
                Expect(':');
                const int below =
                    depth == 0 && !kept_.empty() && key == kept_ ? depth + 2 : keep_below;
                Json member = Value(depth + 1, below);
                if (depth < keep_below) {
                    value.keys.push_back(std::move(key));
                    value.values.push_back(std::move(member));
                }
                if (Peek() == ',') {
                    ++at_;
                    continue;
                }
                Expect('}');
                return value;
            }
        }
        if (ch == '[') {
            value.type = Json::Type::kArray;
            ++at_;
            if (Peek() == ']') {
                ++at_;
                return value;
            }
            for (;;) {
                Json item = Value(depth + 1, keep_below);
                if (depth < keep_below) value.items.push_back(std::move(item));
                if (Peek() == ',') {
                    ++at_;
                    continue;
                }
                Expect(']');
                return value;
            }
        }
        if (ch == '"') {
            value.type = Json::Type::kString;
            std::string text = String();
            if (depth <= keep_below) value.text = std::move(text);
            return value;
        }
        for (const char* word : {"null", "true", "false"}) {
            if (text_.compare(at_, std::strlen(word), word) == 0) {
                at_ += std::strlen(word);
                value.type = word[0] == 'n' ? Json::Type::kNull : Json::Type::kBool;
                value.text = word;
                return value;
            }
        }
        const size_t start = at_;
        while (at_ < text_.size() && std::strchr("+-0123456789.eE", text_[at_]) != nullptr) ++at_;
        if (at_ == start) Fail();
        value.type = Json::Type::kNumber;
        value.text = text_.substr(start, at_ - start);
        return value;
    }
    // A code point from the UTF-8 at the cursor.
    char32_t Utf8Char() {
        const auto lead = static_cast<unsigned char>(text_[at_++]);
        if (lead < 0x80) return lead;
        int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (more < 0) Fail();
        char32_t code = lead & (0x3F >> more);
        for (; more > 0; --more) {
            if (at_ >= text_.size() || (static_cast<unsigned char>(text_[at_]) & 0xC0) != 0x80) {
                Fail();
            }
            code = (code << 6) | (static_cast<unsigned char>(text_[at_++]) & 0x3F);
        }
        return code;
    }
    std::string String() {
        ++at_;  // the opening quote
        std::string bytes;
        for (;;) {
            if (at_ >= text_.size()) Fail();
            char32_t code = 0;
            if (text_[at_] == '"') {
                ++at_;
                return bytes;
            }
            if (text_[at_] == '\\') {
                if (++at_ >= text_.size()) Fail();
                const char escape = text_[at_++];
                if (escape == 'u') {
                    // Exactly four hex digits, as JSON has them.
                    if (at_ + 4 > text_.size()) Fail();
                    unsigned value = 0;
                    const char* digits = text_.data() + at_;
                    const auto [end, error] = std::from_chars(digits, digits + 4, value, 16);
                    if (error != std::errc() || end != digits + 4 || digits[0] == '-') Fail();
                    code = static_cast<char32_t>(value);
                    at_ += 4;
                } else {
                    const char* from = "\"\\/bfnrt";
                    const char* to = "\"\\/\b\f\n\r\t";
                    const char* found = std::strchr(from, escape);
                    if (found == nullptr || escape == '\0') Fail();
                    code = static_cast<unsigned char>(to[found - from]);
                }
            } else {
                code = Utf8Char();
            }
            // Every text the journal holds is ISO8859_1.
            if (code > 0xFF) Fail();
            bytes += static_cast<char>(code);
        }
    }

    const std::string& text_;
    const std::string kept_;
    size_t at_ = 0;
};

std::vector<ImageValue> ValuesOf(const Json* array) {
    if (array == nullptr || array->type != Json::Type::kArray) {
        Damaged();
    }
    std::vector<ImageValue> values;
    for (const Json& item : array->items) {
        if (item.type == Json::Type::kNull) {
            values.emplace_back();
        } else if (item.type == Json::Type::kString) {
            values.emplace_back(item.text);
        } else {
            Damaged();
        }
    }
    return values;
}

const std::string& TextOf(const Json* value) {
    if (value == nullptr || value->type != Json::Type::kString) {
        Damaged();
    }
    return value->text;
}

std::time_t TimeOf(const std::string& text) {
    std::tm parts{};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts);
    if (end == nullptr || *end != '\0') Damaged();
    return timegm(&parts);
}

const std::string& NumberOf(const Json* value) {
    if (value == nullptr || value->type != Json::Type::kNumber) {
        Damaged();
    }
    return value->text;
}

template <typename Number>
Number Read(const std::optional<Number>& number) {
    if (!number) Damaged();
    return *number;
}

long double LongRealOf(const Json* value) {
    return Read(runtime::ParseLongReal(NumberOf(value)));
}
double RealOf(const Json* value) {
    return Read(runtime::ParseReal(NumberOf(value)));
}
long long IntegerOf(const Json* value) {
    return Read(runtime::ParseInteger(NumberOf(value)));
}

std::vector<ScheduleChange> ScheduleFrom(const Json* schedule) {
    if (schedule == nullptr || schedule->type != Json::Type::kArray) {
        Damaged();
    }
    std::vector<ScheduleChange> changes;
    for (const Json& change : schedule->items) {
        ScheduleChange taken;
        taken.before.values = ValuesOf(change.Member("before"));
        taken.paid_after = ValuesOf(change.Member("paid_after"));
        if (taken.before.values.size() != ScheduleColumns().size() ||
            taken.paid_after.size() != SchedulePaidColumns().size()) {
            Damaged();
        }
        changes.push_back(std::move(taken));
    }
    return changes;
}

std::vector<ImageRow> RowsFrom(const Json* rows, size_t columns) {
    if (rows == nullptr || rows->type != Json::Type::kArray) Damaged();
    std::vector<ImageRow> taken;
    for (const Json& row : rows->items) {
        ImageRow movement;
        movement.values = ValuesOf(&row);
        if (movement.values.size() != columns) Damaged();
        taken.push_back(std::move(movement));
    }
    return taken;
}

ChangeImage ChangeFrom(const Json& change) {
    if (change.type != Json::Type::kObject) Damaged();
    ChangeImage image;
    for (const ImageValue& name : ValuesOf(change.Member("columns"))) {
        if (!name) Damaged();
        image.movement_columns.push_back(*name);
    }
    image.movements_out = RowsFrom(change.Member("out"), image.movement_columns.size());
    image.movements_in = RowsFrom(change.Member("in"), image.movement_columns.size());
    image.schedule = ScheduleFrom(change.Member("schedule"));
    return image;
}

UndoImage UndoFrom(const Json& undo) {
    UndoImage image;
    if (undo.type != Json::Type::kObject) Damaged();
    image.after_fingerprint = TextOf(undo.Member("after"));
    if (const Json* movements = undo.Member("movements")) {
        if (movements->type != Json::Type::kArray) Damaged();
        image.movements_replaced = true;
        if (const Json* columns = undo.Member("columns")) {
            for (const ImageValue& name : ValuesOf(columns)) {
                if (!name) Damaged();
                image.movement_columns.push_back(*name);
            }
        } else {
            // Written before the site's own columns were kept: the schema's.
            for (const ImageColumn& column : MovementColumns()) {
                image.movement_columns.push_back(column.name);
            }
        }
        image.movements = RowsFrom(movements, image.movement_columns.size());
    }
    image.schedule = ScheduleFrom(undo.Member("schedule"));
    return image;
}

// `listed`: without the undo image, which a list never needs.
RepairRecord RecordFrom(const Json& line, bool listed) {
    RepairRecord record;
    // Records of repairs that failed before their first write may have none.
    if (const Json* id = line.Member("id")) record.id = TextOf(id);
    record.time = TimeOf(TextOf(line.Member("time")));
    record.user = TextOf(line.Member("user"));
    record.database = TextOf(line.Member("database"));
    if (const Json* id = line.Member("database_id")) record.database_id = TextOf(id);
    if (const Json* where = line.Member("workstation")) record.workstation = TextOf(where);
    record.member = TextOf(line.Member("member"));
    record.repair = TextOf(line.Member("repair"));
    if (const Json* undoes = line.Member("undoes")) record.undoes = TextOf(undoes);
    record.loan = static_cast<int32_t>(IntegerOf(line.Member("loan")));
    const std::string& outcome = TextOf(line.Member("outcome"));
    record.unconfirmed = outcome == "unknown";
    record.rolled_back = outcome != "done" && !record.unconfirmed;
    if (const Json* message = line.Member("message")) record.message = TextOf(message);
    record.documents_balance_before = LongRealOf(line.Member("documents_balance_before"));
    record.receivable_balance_before = RealOf(line.Member("receivable_balance_before"));
    record.documents_balance_after = LongRealOf(line.Member("documents_balance_after"));
    record.receivable_balance_after = RealOf(line.Member("receivable_balance_after"));
    record.rows_deleted = IntegerOf(line.Member("rows_deleted"));
    record.rows_inserted = IntegerOf(line.Member("rows_inserted"));
    record.rows_updated = IntegerOf(line.Member("rows_updated"));
    if (const Json* undo = line.Member("undo")) {
        if (listed) {
            if (undo->type != Json::Type::kObject) Damaged();
            record.undo_kept = !TextOf(undo->Member("after")).empty();
        } else {
            record.undo = UndoFrom(*undo);
        }
    }
    return record;
}
}  // namespace

RepairRecord ParseJournalLine(const std::string& line) {
    return RecordFrom(JsonReader(line).Document(), false);
}

RepairRecord ParseListedJournalLine(const std::string& line) {
    return RecordFrom(JsonReader(line, "undo").Document(), true);
}

UndoImage ParseUndoText(const std::string& text) {
    return UndoFrom(JsonReader(text).Document());
}

ChangeImage ParseChangeText(const std::string& text) {
    return ChangeFrom(JsonReader(text).Document());
}

}  // namespace loans
