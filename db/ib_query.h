#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/component.h"
#include "db/data_source.h"
#include "db/field_layout.h"
#include "db/fields.h"
#include "db/ib_base.h"
#include "db/ib_database.h"
#include "db/ib_sql.h"
#include "db/params.h"
#include "db/row_cache.h"
#include "runtime/strings.h"
#include "runtime/text.h"

namespace db {

class TIBTransaction;

// The component every statement of the program runs through: statement
// text with named parameters, and for a select a buffered result set with
// typed fields that grids follow through data sources.
class TIBQuery : public TComponent, public TConnectionClient, public TFieldRowSource {
  public:
    explicit TIBQuery(std::string name = {});
    ~TIBQuery() override;

    // --- connection ---
    TIBDatabase* Database() const { return base_.Database(); }
    void SetDatabase(TIBDatabase* database);
    TIBTransaction* Transaction() const { return base_.Transaction(); }
    void SetTransaction(TIBTransaction* transaction);
    TIBBase& Base() { return base_; }

    // --- statement ---
    runtime::TStrings& SQL() { return sql_; }
    TParams& Params() { return params_; }
    TParam& ParamNamed(const std::string& name) { return params_.ParamByName(name); }
    bool Prepared() const { return prepared_; }
    void Prepare();
    void Unprepare();
    void Execute();
    // Rows the last execution inserted, updated or deleted (read at unprepare).
    int RowsAffected() const { return rows_affected_; }
    TIBSQL& Statement() { return statement_; }

    // --- result set ---
    void Open();
    void Close();
    bool Active() const { return active_; }
    void First();
    void Next();
    void Last();
    // A move caused by a grid: forwards fetching as needed, backwards from the cache.
    void MoveBy(int distance);
    bool AtEnd() const { return at_end_; }
    // Whether a row follows the current one, fetching it into the cache
    // when it is not there yet. Moves nothing and fires nothing.
    bool HasFollowingRow();
    bool Bof() const { return bof_; }
    int FetchedRowCount() const { return cache_.Count(); }
    // Fetches every remaining row into the cache; the current row, the
    // window and the linked grids stay as they are.
    void FetchAll();
    // Points the fields at any fetched row (for a grid or a report reading
    // rows outside the window); -1 points them back at the current row.
    // Moves nothing and fires nothing.
    void SetFieldsRow(int cache_row) { fields_row_ = cache_row; }
    int BufferChunks() const { return buffer_chunks_; }
    void SetBufferChunks(int rows) { buffer_chunks_ = rows > 0 ? rows : 1000; }

    const std::vector<TFieldDef>& FieldDefs() const;
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField& Field(int i) { return *fields_.at(static_cast<size_t>(i)); }
    TField* FindField(const std::string& name);
    TField& FieldNamed(const std::string& name);
    // Declares a persistent field, kept across opens with its properties.
    template <typename F, typename... Args>
    F& AddField(Args&&... args) {
        auto field = std::make_unique<F>(std::forward<Args>(args)...);
        F& ref = *field;
        AdoptField(std::move(field));
        return ref;
    }
    // Same, for a field already made.
    TField& AddField(std::unique_ptr<TField> field) {
        TField& ref = *field;
        AdoptField(std::move(field));
        return ref;
    }

    // Notifications to linked grids stop while suspended (nesting).
    void SuspendDisplay();
    void ResumeDisplay();
    bool DisplaySuspended() const { return suspend_count_ > 0; }

    std::function<void(TIBQuery&)> AfterOpen;
    std::function<void(TIBQuery&)> AfterScroll;
    std::function<void(TIBQuery&)> BeforeClose;

    // --- for fields and data links ---
    const RowCache& Cache() const override { return cache_; }
    const char* ActiveRow() const override {
        if (!active_) return nullptr;
        if (fields_row_ >= 0)
            return fields_row_ < cache_.Count() ? cache_.Row(fields_row_) : nullptr;
        if (window_count_ == 0) return nullptr;
        return cache_.Row(window_first_ + active_record_);
    }
    int WindowRecordCount() const { return window_count_; }
    int WindowFirstRow() const { return window_first_; }  // cache index
    int WindowActiveRecord() const { return active_record_; }
    void SetWindowActiveRecord(int row);
    void UpdateWindowSize();
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void ConnectionChanged(bool) override {}

  private:
    // statement side
    void TextChanged();
    void EnsurePrepared();
    std::shared_ptr<const FieldLayout> BuildFieldLayout();
    void BindParams();
    // result-set side
    void AdoptField(std::unique_ptr<TField> field);
    void BindFields();
    bool ReadRow(int index);
    // One row forward: inside the window, by growing it, or by sliding it
    // (counted in `slid`); false at the end of the set.
    bool StepForward(int& slid, bool& grew);
    void NotifyMove(int slid, bool grew);
    int WindowSize() const;
    void FillWindowForward();
    void Notify(TDataEvent event, int info = 0);
    void Deliver(TDataEvent event, int info);
    void FireAfterScroll();
    // Drops the result set. A failing cursor close is raised once all is
    // released, unless `quiet` (the failure path of Open, the destructor).
    void ReleaseResultSet(bool quiet);

    TIBBase base_;
    TIBSQL statement_;
    runtime::TStrings sql_;
    TParams params_;
    std::string parsed_text_;
    bool prepared_ = false;
    int rows_affected_ = -1;

    // The prepared statement's fields; null while unprepared.
    std::shared_ptr<const FieldLayout> layout_;
    std::vector<std::unique_ptr<TField>> fields_;
    bool persistent_fields_ = false;
    // Which definition each declared field bound to at the last open, and
    // for which layout: a returning text binds without a name lookup.
    std::shared_ptr<const FieldLayout> bound_layout_;
    std::vector<const TFieldDef*> bound_defs_;
    // Fields by name ignoring case; grids look every painted cell's field
    // up by name, so this is rebuilt only when the field list changes.
    mutable std::unordered_map<std::string, TField*, runtime::Latin1NoCaseHash,
                               runtime::Latin1NoCaseEqual>
        field_index_;
    mutable bool field_index_valid_ = false;
    RowCache cache_;
    int buffer_chunks_ = 1000;
    bool active_ = false;
    bool at_end_ = false;
    bool bof_ = false;
    bool statement_at_end_ = false;
    int fields_row_ = -1;    // overrides the current row for the fields
    int window_first_ = 0;   // cache index of the window's first row
    int window_count_ = 0;   // rows in the window
    int active_record_ = 0;  // window position of the current row

    int suspend_count_ = 0;
    bool suspended_state_ = false;
    TDataEvent pending_event_ = TDataEvent::deDataSetChange;
    std::vector<TDataSource*> data_sources_;
};

}  // namespace db
