#include "db/params.h"

#include "db/component.h"
#include "db/errors.h"
#include "runtime/text.h"

namespace db {

TParam& TParam::Holder() {
    if (holder_ == nullptr) {
        holder_ = this;
        if (list_ != nullptr && !name_.empty()) {
            if (TParam* first = list_->FirstNamed(name_)) holder_ = first;
        }
    }
    return *holder_;
}

void TParam::Store(TFieldType type, Value value) {
    data_type_ = type;
    TParam& holder = Holder();
    holder.data_type_ = type;
    holder.value_ = std::move(value);
    holder.null_ = false;
    holder.bound_ = true;
}

void TParam::SetString(const std::string& value) {
    // A parameter declared as fixed text keeps that type.
    Store(data_type_ == TFieldType::ftFixedChar ? TFieldType::ftFixedChar : TFieldType::ftString,
          value);
}

void TParam::SetInteger(int32_t value) {
    Store(TFieldType::ftInteger, value);
}
void TParam::SetFloat(double value) {
    Store(TFieldType::ftFloat, value);
}
void TParam::SetDate(double value) {
    Store(TFieldType::ftDate, value);
}

void TParam::Clear() {
    TParam& holder = Holder();
    holder.value_ = std::monostate{};
    holder.null_ = true;
}

bool TParam::IsNull() const {
    return Holder().null_;
}
bool TParam::Bound() const {
    return Holder().bound_;
}

const std::string& TParam::AsString() const {
    static const std::string empty;
    const auto* text = std::get_if<std::string>(&Holder().value_);
    return text ? *text : empty;
}

int32_t TParam::AsInteger() const {
    const Value& v = Holder().value_;
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    if (const auto* d = std::get_if<double>(&v)) return static_cast<int32_t>(*d);
    return 0;
}

double TParam::AsFloat() const {
    const Value& v = Holder().value_;
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    return 0.0;
}

TParam* TParams::FirstNamed(const std::string& name) {
    for (auto& item : items_) {
        if (runtime::SameTextLatin1(item->name_, name)) return item.get();
    }
    return nullptr;
}

TParam* TParams::FindParam(const std::string& name) {
    return FirstNamed(name);
}

TParam& TParams::ParamByName(const std::string& name) {
    TParam* param = FirstNamed(name);
    if (param == nullptr) RaiseDatabaseError(owner_, "Parameter '" + name + "' not found");
    return *param;
}

void TParams::Rebuild(const std::vector<std::string>& names) {
    std::vector<std::unique_ptr<TParam>> fresh;
    fresh.reserve(names.size());
    for (const std::string& name : names) fresh.push_back(std::make_unique<TParam>(name));

    auto first_fresh = [&fresh](const std::string& name) -> TParam* {
        for (auto& item : fresh) {
            if (runtime::SameTextLatin1(item->name_, name)) return item.get();
        }
        return nullptr;
    };
    for (int i = 0; i < Count(); ++i) {
        const TParam& old = ValueAt(i);
        TParam* target = first_fresh((*this)[i].name_);
        if (target == nullptr) continue;
        target->data_type_ = old.data_type_;
        target->value_ = old.value_;
        target->null_ = old.null_;
        target->bound_ = old.bound_;
        if (target->param_type_ == TParamType::ptUnknown) target->param_type_ = old.param_type_;
        target->Size = old.Size;
        target->Precision = old.Precision;
        target->Scale = old.Scale;
    }
    Adopt(std::move(fresh));
}

void TParams::Clear() {
    Adopt({});
}

void TParams::Adopt(std::vector<std::unique_ptr<TParam>> items) {
    items_ = std::move(items);
    for (auto& item : items_) {
        item->list_ = this;
        item->holder_ = nullptr;  // re-resolved against the new list
    }
}

ParsedMarkers ScanParamMarkers(const std::string& text) {
    ParsedMarkers out;
    out.parsed_text.reserve(text.size());
    auto is_quote = [](char c) { return c == '\'' || c == '"' || c == '`'; };
    auto is_delimiter = [](char c) {
        return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
    };
    bool in_literal = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (is_quote(c)) {
            in_literal = !in_literal;
        } else if (c == ':' && !in_literal) {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                out.parsed_text += ':';
                i += 2;
                continue;
            }
            size_t end = i + 1;
            while (end < text.size() && (in_literal || !is_delimiter(text[end]))) {
                if (is_quote(text[end])) in_literal = !in_literal;
                ++end;
            }
            std::string name = text.substr(i + 1, end - i - 1);
            if (!name.empty() && is_quote(name.front())) {
                name.erase(0, 1);
                if (!name.empty() && is_quote(name.back())) name.pop_back();
            }
            out.names.push_back(std::move(name));
            out.parsed_text += '?';
            i = end;
            continue;
        }
        out.parsed_text += c;
        ++i;
    }
    return out;
}

}  // namespace db
