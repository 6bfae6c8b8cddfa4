#pragma once

#include <ibase.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace db {

class TIBXSQLDA;

// One descriptor of a statement's parameters or columns: the client
// library's XSQLVAR plus the buffers it points at, owned here.
class TIBXSQLVAR {
  public:
    int Index() const { return index_; }
    const std::string& Name() const { return name_; }
    XSQLVAR& Var() { return *var_; }
    const XSQLVAR& Var() const { return *var_; }
    int SqlType() const { return var_->sqltype & ~1; }
    bool Nullable() const { return (var_->sqltype & 1) != 0; }
    bool IsNull() const { return Nullable() && var_->sqlind != nullptr && *var_->sqlind == -1; }
    int MaxLen() const { return max_len_; }
    bool Modified() const { return modified_; }

    // Setters act on every descriptor of the list with this one's name, so
    // repeated markers receive the value together.
    void SetAsLong(int32_t value);
    void SetAsShort(int16_t value);
    void SetAsDouble(double value);
    void SetAsDateTime(double value);
    void SetAsDate(double value);      // the date-time setter in dialects 1 and 2
    void SetAsTime(double value);      // likewise
    void SetAsCurrency(double value);  // the double setter in dialects 1 and 2
    void SetAsString(const std::string& value);
    void SetIsNull(bool null);

  private:
    friend class TIBXSQLDA;
    template <typename Fn>
    void ForEachSameNamed(Fn&& fn);
    void Rewrite(short sqltype, short sqllen, short sqlscale);
    void SetTextOn(TIBXSQLVAR& target, const std::string& value);

    TIBXSQLDA* list_ = nullptr;
    XSQLVAR* var_ = nullptr;
    int index_ = 0;
    std::string name_;
    int max_len_ = 0;
    bool modified_ = false;
    std::vector<char> data_;
    short indicator_ = 0;
};

// A descriptor list with its XSQLDA block.
class TIBXSQLDA {
  public:
    TIBXSQLDA() = default;
    TIBXSQLDA(const TIBXSQLDA&) = delete;
    TIBXSQLDA& operator=(const TIBXSQLDA&) = delete;

    int Count() const { return static_cast<int>(vars_.size()); }
    TIBXSQLVAR& operator[](int i) { return *vars_.at(static_cast<size_t>(i)); }
    const TIBXSQLVAR& operator[](int i) const { return *vars_.at(static_cast<size_t>(i)); }
    // The block passed to the client library; nullptr while empty.
    XSQLDA* Block() { return vars_.empty() ? nullptr : reinterpret_cast<XSQLDA*>(block_.data()); }

    // Resizes the block for `count` descriptors (contents reset).
    void SetCount(int count);
    void SetName(int i, std::string name) {
        vars_.at(static_cast<size_t>(i))->name_ = std::move(name);
    }
    void Clear() { SetCount(0); }
    // Exchanges the contents, buffers included, with another list.
    void Swap(TIBXSQLDA& other);

    // After a describe of parameters: buffers sized as described.
    void InitializeInput();
    // After a describe of columns: buffers for fetching.
    void InitializeOutput();

    int dialect = 1;

  private:
    friend class TIBXSQLVAR;
    std::vector<char> block_;
    std::vector<std::unique_ptr<TIBXSQLVAR>> vars_;
};

}  // namespace db
