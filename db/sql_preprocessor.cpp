#include "db/sql_preprocessor.h"

#include "db/errors.h"

namespace db {
namespace {

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$';
}

[[noreturn]] void ParseError(int detail) {
    RaiseClientError(kSqlParseError, {ClientErrorMessage(detail)});
}

}  // namespace

PreprocessedSql PreprocessSql(const std::string& text) {
    PreprocessedSql out;
    out.text.reserve(text.size());
    enum class State { kDefault, kComment, kString } state = State::kDefault;
    char quote = 0;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const char c = text[i];
        switch (state) {
            case State::kDefault:
                if (c == '\'' || c == '"') {
                    state = State::kString;
                    quote = c;
                } else if (c == '/' && i + 1 < n && text[i + 1] == '*') {
                    state = State::kComment;
                    out.text += "/*";
                    i += 2;
                    continue;
                } else if (c == ':' || c == '?') {
                    out.text += '?';
                    ++i;
                    if (i < n && text[i] == '"') {
                        const size_t close = text.find('"', i + 1);
                        if (close == std::string::npos) ParseError(kEofInString);
                        out.names.push_back(text.substr(i + 1, close - i - 1));
                        i = close + 1;
                    } else if (i < n && IsNameChar(text[i])) {
                        const size_t start = i;
                        while (i < n && IsNameChar(text[i])) ++i;
                        out.names.push_back(text.substr(start, i - start));
                    } else {
                        ParseError(kParamNameExpected);
                    }
                    continue;
                }
                break;
            case State::kComment:
                if (c == '*' && i + 1 < n && text[i + 1] == '/') {
                    state = State::kDefault;
                    out.text += "*/";
                    i += 2;
                    continue;
                }
                break;
            case State::kString:
                if (c == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        out.text += c;
                        out.text += c;
                        i += 2;
                        continue;
                    }
                    state = State::kDefault;
                }
                break;
        }
        out.text += c;
        ++i;
    }
    if (state == State::kComment) ParseError(kEofInComment);
    if (state == State::kString) ParseError(kEofInString);
    return out;
}

}  // namespace db
