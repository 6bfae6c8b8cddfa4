#pragma once

#include <ibase.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/component.h"
#include "db/field_types.h"

namespace db {

class TIBQuery;
class RowCache;
struct ColumnSlot;

// What the server described for one usable output column.
struct TFieldDef {
    std::string name;
    int field_no = 0;  // 1-based column position
    TFieldType data_type = TFieldType::ftUnknown;
    int size = 0;
    int precision = 0;
    bool required = false;
    bool fixed = false;      // SQL_TEXT
    bool read_only = false;  // computed column
    int column = -1;         // index among the output columns
};

// Fills the type, size, precision and flags of the definition for an
// output column; false for a type no field can read.
bool DescribeFieldDef(const XSQLVAR& column, TFieldDef& def);

// What bound fields read: the current row and the cache holding its text.
// Datasets are one; the row decoding tests and fuzzer bring their own.
class TFieldRowSource {
  public:
    virtual ~TFieldRowSource() = default;
    // The row the fields read, or nullptr when there is none.
    virtual const char* ActiveRow() const = 0;
    virtual const RowCache& Cache() const = 0;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// One column of the current row of a result set. Declared fields live with
// their window; automatic ones are made at open and destroyed at close.
class TField : public TComponent {
  public:
    TField(TFieldType type, std::string field_name, int size = 0, std::string name = {});

    const std::string& FieldName() const { return field_name_; }
    TFieldType DataType() const { return data_type_; }
    int Size() const { return size_; }
    void SetSize(int size) { size_ = size; }
    // A text field whose size is whatever the server describes for its
    // column at each open, for columns whose size the program does not fix.
    bool SizeFromServer() const { return size_from_server_; }
    void SetSizeFromServer(bool on) { size_from_server_ = on; }
    int FieldNo() const { return field_no_; }
    TIBQuery* DataSet() const { return dataset_; }

    std::string DisplayFormat;
    std::string DisplayLabel;  // empty: the field name
    std::string Origin;
    bool Required = false;
    bool FixedChar = false;
    int DisplayWidth = 0;  // 0: the type's default

    const std::string& DisplayName() const {
        return DisplayLabel.empty() ? field_name_ : DisplayLabel;
    }
    int EffectiveDisplayWidth() const;
    TAlignment Alignment() const;

    bool IsNullValue() const;
    virtual std::string GetString() const;
    // The same text written into `into`, whose storage is reused: for
    // loops that read a field of every fetched row.
    virtual void ReadString(std::string& into) const { into = GetString(); }
    virtual int32_t GetInteger() const;
    virtual double GetFloat() const;
    virtual double GetDateTime() const;
    // The text a grid shows: the display pattern applied; empty for null.
    virtual std::string DisplayText() const;

    // Binding to a result set's column (set by the dataset).
    void Bind(TIBQuery* dataset, int column, int field_no, const ColumnSlot* slot);
    // Binding to rows that no dataset holds.
    void BindRows(const TFieldRowSource* rows, int column, int field_no, const ColumnSlot* slot);
    void Unbind();
    void SetDataSet(TIBQuery* dataset) { dataset_ = dataset; }
    bool Bound() const { return column_ >= 0; }

  protected:
    [[noreturn]] void AccessError(const char* type_name) const;
    // The current row's stored value, or nullptr when null or no row.
    const char* Value() const;
    const ColumnSlot& Slot() const { return *slot_; }
    const TFieldRowSource& Rows() const { return *rows_; }

  private:
    TFieldType data_type_;
    std::string field_name_;
    int size_;
    bool size_from_server_ = false;
    int field_no_ = 0;
    TIBQuery* dataset_ = nullptr;
    const TFieldRowSource* rows_ = nullptr;
    int column_ = -1;
    const ColumnSlot* slot_ = nullptr;  // the column's storage while bound
};

class TIBStringField : public TField {
  public:
    TIBStringField(std::string field_name, int size, std::string name = {})
        : TField(TFieldType::ftString, std::move(field_name), size, std::move(name)) {}
    std::string GetString() const override;
    void ReadString(std::string& into) const override;
    int32_t GetInteger() const override;
    double GetFloat() const override;
    double GetDateTime() const override;
    std::string DisplayText() const override { return GetString(); }

  private:
    // The stored text; false when null or there is no row.
    bool Stored(std::string_view& text) const;
};

class TIntegerField : public TField {
  public:
    explicit TIntegerField(std::string field_name, std::string name = {},
                           TFieldType type = TFieldType::ftInteger)
        : TField(type, std::move(field_name), 0, std::move(name)) {}
    std::string GetString() const override;
    int32_t GetInteger() const override;
    double GetFloat() const override { return GetInteger(); }
    std::string DisplayText() const override { return GetString(); }
};

class TSmallintField : public TIntegerField {
  public:
    explicit TSmallintField(std::string field_name, std::string name = {})
        : TIntegerField(std::move(field_name), std::move(name), TFieldType::ftSmallint) {}
    int32_t GetInteger() const override;
};

class TLargeintField : public TField {
  public:
    explicit TLargeintField(std::string field_name, std::string name = {})
        : TField(TFieldType::ftLargeint, std::move(field_name), 0, std::move(name)) {}
    int64_t GetLargeint() const;
    std::string GetString() const override;
    int32_t GetInteger() const override;
    double GetFloat() const override { return static_cast<double>(GetLargeint()); }
    std::string DisplayText() const override { return GetString(); }
};

class TFloatField : public TField {
  public:
    explicit TFloatField(std::string field_name, std::string name = {},
                         TFieldType type = TFieldType::ftFloat)
        : TField(type, std::move(field_name), 0, std::move(name)) {}
    std::string GetString() const override;
    int32_t GetInteger() const override;
    double GetFloat() const override;
    std::string DisplayText() const override;
};

// Scaled integers of up to four decimals, held as currency.
class TIBBCDField : public TFloatField {
  public:
    TIBBCDField(std::string field_name, int size, std::string name = {})
        : TFloatField(std::move(field_name), std::move(name), TFieldType::ftBCD) {
        SetSize(size);
    }
};

class TDateTimeField : public TField {
  public:
    explicit TDateTimeField(std::string field_name, std::string name = {},
                            TFieldType type = TFieldType::ftDateTime)
        : TField(type, std::move(field_name), 0, std::move(name)) {}
    std::string GetString() const override;
    double GetFloat() const override { return GetDateTime(); }
    double GetDateTime() const override;
    std::string DisplayText() const override;
};

class TDateField : public TDateTimeField {
  public:
    explicit TDateField(std::string field_name, std::string name = {})
        : TDateTimeField(std::move(field_name), std::move(name), TFieldType::ftDate) {}
};

class TTimeField : public TDateTimeField {
  public:
    explicit TTimeField(std::string field_name, std::string name = {})
        : TDateTimeField(std::move(field_name), std::move(name), TFieldType::ftTime) {}
};

// Blob contents are read from the server only when asked for.
class TBlobField : public TField {
  public:
    explicit TBlobField(std::string field_name, std::string name = {},
                        TFieldType type = TFieldType::ftBlob)
        : TField(type, std::move(field_name), 8, std::move(name)) {}
    std::string GetString() const override;
    std::string DisplayText() const override;
};

class TMemoField : public TBlobField {
  public:
    explicit TMemoField(std::string field_name, std::string name = {})
        : TBlobField(std::move(field_name), std::move(name), TFieldType::ftMemo) {}
};

// Makes the field for a definition, or nullptr for a type no field reads.
// The one field factory: the automatic fields of an open and the fields a
// window declares both come from here.
std::unique_ptr<TField> MakeAutomaticField(const TFieldDef& def);

// The type class a field must share with its column's definition.
int FieldTypeClass(TFieldType type);

}  // namespace db
