// The result-set side of a query: open, the row cache and its display
// window, navigation, fields, and notifications to linked grids.
#include <algorithm>
#include <unordered_map>

#include "db/errors.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "runtime/text.h"

namespace db {

void TIBQuery::AdoptField(std::unique_ptr<TField> field) {
    field->SetDataSet(this);
    fields_.push_back(std::move(field));
    persistent_fields_ = true;
    field_index_valid_ = false;
    bound_layout_.reset();
}

TField* TIBQuery::FindField(const std::string& name) {
    if (!field_index_valid_) {
        field_index_.clear();
        for (auto& field : fields_) field_index_.emplace(field->FieldName(), field.get());
        field_index_valid_ = true;
    }
    const auto found = field_index_.find(std::string_view(name));
    return found == field_index_.end() ? nullptr : found->second;
}

TField& TIBQuery::FieldNamed(const std::string& name) {
    TField* field = FindField(name);
    if (field == nullptr) RaiseDatabaseError(this, "Field '" + name + "' not found");
    return *field;
}

void TIBQuery::Open() {
    if (active_) return;
    try {
        StartTransactionImplicitly(base_);
        EnsurePrepared();
        if (statement_.Text().empty()) RaiseClientError(kEmptyQuery);
        if (params_.Count() > 0) BindParams();
        if (statement_.SQLType() != SQLSelect) {
            statement_.ExecQuery();
            cache_.Release();
            window_first_ = window_count_ = active_record_ = 0;
            at_end_ = bof_ = true;
            active_ = true;
        } else {
            if (!persistent_fields_) {
                field_index_valid_ = false;
                fields_.clear();
                for (const TFieldDef& def : layout_->Defs()) {
                    if (auto field = MakeAutomaticField(def)) {
                        field->SetDataSet(this);
                        fields_.push_back(std::move(field));
                    }
                }
            }
            // The row layout first: bound fields keep their column's slot.
            cache_.Configure(statement_.Current(), buffer_chunks_);
            BindFields();
            statement_.ExecQuery();
            statement_at_end_ = false;
            window_first_ = window_count_ = active_record_ = 0;
            FillWindowForward();
            bof_ = true;
            at_end_ = window_count_ == 0;
            active_ = true;
        }
    } catch (...) {
        ReleaseResultSet(true);
        throw;
    }
    Notify(TDataEvent::deUpdateState);
    if (AfterOpen) AfterOpen(*this);
    if (window_count_ > 0) FireAfterScroll();
}

void TIBQuery::BindFields() {
    const TIBXSQLDA& columns = statement_.Current();
    // Declared fields bind to the same definitions as long as neither the
    // fields nor the layout changed: only the first open of a text looks
    // them up by name.
    const bool known =
        persistent_fields_ && bound_layout_ == layout_ && bound_defs_.size() == fields_.size();
    if (!known) {
        bound_layout_.reset();
        bound_defs_.clear();
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        TField* field = fields_[i].get();
        const TFieldDef* def = known ? bound_defs_[i] : layout_->Find(field->FieldName());
        if (def == nullptr)
            RaiseDatabaseError(this, "Field '" + field->FieldName() + "' not found");
        if (!known) bound_defs_.push_back(def);
        if (FieldTypeClass(field->DataType()) != FieldTypeClass(def->data_type)) {
            RaiseDatabaseError(this, "Type mismatch for field '" + field->FieldName() +
                                         "', expecting: " + FieldTypeName(field->DataType()) +
                                         " actual: " + FieldTypeName(def->data_type));
        }
        const TFieldType t = field->DataType();
        if ((t == TFieldType::ftBCD || t == TFieldType::ftBytes || t == TFieldType::ftVarBytes ||
             t == TFieldType::ftReference) &&
            field->Size() != def->size) {
            RaiseDatabaseError(this, "Size mismatch for field '" + field->FieldName() +
                                         "', expecting: " + std::to_string(field->Size()) +
                                         " actual: " + std::to_string(def->size));
        }
        if (FieldTypeClass(t) == FieldTypeClass(TFieldType::ftBlob)) field->SetSize(def->size);
        if (field->SizeFromServer() && FieldTypeClass(t) == FieldTypeClass(TFieldType::ftString)) {
            field->SetSize(def->size);
        }
        if (!persistent_fields_) {
            const XSQLVAR& var = const_cast<TIBXSQLDA&>(columns)[def->column].Var();
            const std::string relation(var.relname, static_cast<size_t>(var.relname_length));
            if (!relation.empty()) field->Origin = relation + "." + def->name;
        }
        field->Bind(this, def->column, def->field_no,
                    &cache_.Columns()[static_cast<size_t>(def->column)]);
    }
    if (!known && persistent_fields_) bound_layout_ = layout_;
}

void TIBQuery::Close() {
    if (!active_) return;
    if (BeforeClose) BeforeClose(*this);
    active_ = false;
    Notify(TDataEvent::deUpdateState);
    FirstFailure failure;
    if (Transaction() != nullptr) failure.Run([this] { Transaction()->CheckAutoStop(); });
    failure.Run([this] { ReleaseResultSet(false); });
    failure.Rethrow();
}

void TIBQuery::ReleaseResultSet(bool quiet) {
    active_ = false;
    FirstFailure failure;
    failure.Run([this] { statement_.Close(); });
    if (failure.Failed()) {
        // The server's cursor may still be open: drop the statement, so
        // the next open prepares afresh instead of meeting that cursor.
        Unprepare();
        CleanUpAfterFailure([this] { statement_.FreeHandle(); });
    }
    cache_.Release();
    window_first_ = window_count_ = active_record_ = 0;
    fields_row_ = -1;
    at_end_ = bof_ = false;
    statement_at_end_ = false;
    for (auto& field : fields_) field->Unbind();
    if (!persistent_fields_) {
        fields_.clear();
        field_index_valid_ = false;
    }
    if (!quiet) failure.Rethrow();
}

bool TIBQuery::ReadRow(int index) {
    if (index < cache_.Count()) return true;
    if (statement_at_end_ || !statement_.Open()) return false;
    if (!statement_.Next()) {
        statement_at_end_ = true;
        return false;
    }
    cache_.Append(statement_.Current());
    return true;
}

int TIBQuery::WindowSize() const {
    int size = 1;
    for (const TDataSource* source : data_sources_) {
        for (const TDataLink* link : source->Links()) size = std::max(size, link->BufferCount());
    }
    return size;
}

void TIBQuery::FillWindowForward() {
    const int size = WindowSize();
    while (window_count_ < size && ReadRow(window_first_ + window_count_)) ++window_count_;
}

void TIBQuery::FetchAll() {
    if (!active_) return;
    while (ReadRow(cache_.Count())) {
    }
}

void TIBQuery::First() {
    if (!active_) RaiseDatabaseError(this, "Cannot perform this operation on a closed dataset");
    window_first_ = window_count_ = active_record_ = 0;
    FillWindowForward();
    bof_ = true;
    at_end_ = window_count_ == 0;
    Notify(TDataEvent::deDataSetChange);
    FireAfterScroll();
}

bool TIBQuery::StepForward(int& slid, bool& grew) {
    if (active_record_ < window_count_ - 1) {
        ++active_record_;
    } else if (!ReadRow(window_first_ + window_count_)) {
        return false;
    } else if (window_count_ < WindowSize()) {
        ++window_count_;
        ++active_record_;
        grew = true;
    } else {
        ++window_first_;
        ++slid;
    }
    return true;
}

void TIBQuery::NotifyMove(int slid, bool grew) {
    if (grew) {
        Notify(TDataEvent::deDataSetChange);
    } else {
        Notify(TDataEvent::deDataSetScroll, slid);
    }
}

void TIBQuery::Next() {
    if (!active_) RaiseDatabaseError(this, "Cannot perform this operation on a closed dataset");
    if (at_end_) return;
    bof_ = false;
    int slid = 0;
    bool grew = false;
    if (!StepForward(slid, grew)) at_end_ = true;  // the current row stays the last one
    NotifyMove(slid, grew);
    FireAfterScroll();
}

bool TIBQuery::HasFollowingRow() {
    if (!active_ || at_end_) return false;
    return ReadRow(window_first_ + active_record_ + 1);
}

void TIBQuery::Last() {
    if (!active_) RaiseDatabaseError(this, "Cannot perform this operation on a closed dataset");
    while (ReadRow(cache_.Count())) {
    }
    window_count_ = std::min(WindowSize(), cache_.Count());
    window_first_ = cache_.Count() - window_count_;
    active_record_ = std::max(window_count_ - 1, 0);
    bof_ = false;
    at_end_ = true;
    Notify(TDataEvent::deDataSetChange);
    FireAfterScroll();
}

void TIBQuery::MoveBy(int distance) {
    if (!active_ || distance == 0) return;
    int slid = 0;
    bool grew = false;
    if (distance > 0) {
        bof_ = false;
        for (int step = 0; step < distance && !at_end_; ++step) {
            if (!StepForward(slid, grew)) at_end_ = true;
        }
    } else {
        at_end_ = false;
        for (int step = 0; step < -distance; ++step) {
            if (active_record_ > 0) {
                --active_record_;
            } else if (window_first_ > 0) {
                --window_first_;
                --slid;
            } else {
                bof_ = true;
                break;
            }
        }
    }
    NotifyMove(slid, grew);
    FireAfterScroll();
}

void TIBQuery::SetWindowActiveRecord(int row) {
    if (window_count_ == 0) return;
    active_record_ = std::clamp(row, 0, window_count_ - 1);
}

void TIBQuery::UpdateWindowSize() {
    if (!active_) return;
    const int size = WindowSize();
    if (size == window_count_) return;
    if (size > window_count_) {
        FillWindowForward();
        while (window_count_ < size && window_first_ > 0) {
            --window_first_;
            ++window_count_;
            ++active_record_;
        }
    } else {
        if (active_record_ >= size) {
            const int shift = active_record_ - (size - 1);
            window_first_ += shift;
            active_record_ -= shift;
        }
        window_count_ = size;
    }
    Notify(TDataEvent::deDataSetChange);
}

void TIBQuery::AddDataSource(TDataSource* source) {
    if (std::find(data_sources_.begin(), data_sources_.end(), source) == data_sources_.end()) {
        data_sources_.push_back(source);
    }
    UpdateWindowSize();
}

void TIBQuery::RemoveDataSource(TDataSource* source) {
    data_sources_.erase(std::remove(data_sources_.begin(), data_sources_.end(), source),
                        data_sources_.end());
}

void TIBQuery::SuspendDisplay() {
    if (suspend_count_ == 0) {
        suspended_state_ = active_;
        pending_event_ = TDataEvent::deDataSetChange;
    }
    ++suspend_count_;
}

void TIBQuery::ResumeDisplay() {
    if (suspend_count_ == 0) return;
    if (--suspend_count_ > 0) return;
    if (active_ != suspended_state_) Deliver(TDataEvent::deUpdateState, 0);
    if (suspended_state_ && active_) Deliver(pending_event_, 0);
}

void TIBQuery::Notify(TDataEvent event, int info) {
    if (suspend_count_ > 0) {
        if (event == TDataEvent::deUpdateState) {
            event = TDataEvent::deDisabledStateChange;
            info = active_ ? 1 : 0;
        } else {
            if (event == TDataEvent::deLayoutChange) pending_event_ = event;
            return;
        }
    }
    Deliver(event, info);
}

void TIBQuery::Deliver(TDataEvent event, int info) {
    // By index, without a copy: every move of a shown set comes through
    // here, and a notified control may still unlink itself.
    for (size_t i = 0; i < data_sources_.size(); ++i) data_sources_[i]->NotifyLinks(event, info);
}

void TIBQuery::FireAfterScroll() {
    if (AfterScroll) AfterScroll(*this);
}

}  // namespace db
