#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "db/field_types.h"

namespace db {

class TComponent;

// One parameter marker of a statement text. Entries sharing a name share
// one value: every entry refers to the first entry of its name.
class TParam {
  public:
    explicit TParam(std::string name) : name_(std::move(name)) {}

    const std::string& Name() const { return name_; }
    TFieldType DataType() const { return data_type_; }
    void SetDataType(TFieldType type) { data_type_ = type; }
    TParamType ParamType() const { return param_type_; }
    void SetParamType(TParamType type) { param_type_ = type; }

    void SetString(const std::string& value);
    void SetInteger(int32_t value);
    void SetFloat(double value);
    void SetDate(double value);  // day count with the time of day as fraction
    void Clear();                // back to null

    // The value as held by the entry that holds it for this name.
    bool IsNull() const;
    bool Bound() const;
    const std::string& AsString() const;
    int32_t AsInteger() const;
    double AsFloat() const;  // numbers and dates

    int Size = 0, Precision = 0, Scale = 0;

  private:
    friend class TParams;
    using Value = std::variant<std::monostate, std::string, int32_t, double>;
    TParam& Holder();
    const TParam& Holder() const { return const_cast<TParam*>(this)->Holder(); }
    void Store(TFieldType type, Value value);

    std::string name_;
    TFieldType data_type_ = TFieldType::ftUnknown;
    TParamType param_type_ = TParamType::ptUnknown;
    Value value_;
    bool null_ = true;
    bool bound_ = false;
    TParam* holder_ = nullptr;  // resolved on first use
    class TParams* list_ = nullptr;
};

// The parameter list of a query: one entry per marker, in text order.
class TParams {
  public:
    explicit TParams(const TComponent* owner = nullptr) : owner_(owner) {}

    int Count() const { return static_cast<int>(items_.size()); }
    TParam& operator[](int i) { return *items_.at(static_cast<size_t>(i)); }
    const TParam& operator[](int i) const { return *items_.at(static_cast<size_t>(i)); }
    // The entry holding the value for position i (the first of its name).
    TParam& ValueAt(int i) { return (*this)[i].Holder(); }

    // First entry of that name ignoring case; nullptr when none.
    TParam* FindParam(const std::string& name);
    // Same, raising "Parameter '%s' not found" (prefixed with the owner's name).
    TParam& ParamByName(const std::string& name);

    // Replaces the list by the markers of `names`, carrying values over by
    // name from the current entries.
    void Rebuild(const std::vector<std::string>& names);
    void Clear();

  private:
    friend class TParam;
    TParam* FirstNamed(const std::string& name);
    void Adopt(std::vector<std::unique_ptr<TParam>> items);

    const TComponent* owner_;
    std::vector<std::unique_ptr<TParam>> items_;
};

// Markers of a statement text as the query layer sees them, and the text
// with each marker replaced by "?" ("::" stands for one colon).
struct ParsedMarkers {
    std::vector<std::string> names;
    std::string parsed_text;
};
ParsedMarkers ScanParamMarkers(const std::string& text);

}  // namespace db
