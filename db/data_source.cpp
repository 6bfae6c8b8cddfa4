#include "db/data_source.h"

#include <algorithm>

#include "db/ib_query.h"

namespace db {

TDataLink::~TDataLink() {
    SetDataSource(nullptr);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == data_source_) return;
    if (data_source_ != nullptr) data_source_->RemoveLink(this);
    data_source_ = source;
    if (data_source_ != nullptr) data_source_->AddLink(this);
    if (TIBQuery* query = DataSet()) query->UpdateWindowSize();
    ActiveChanged();
}

TIBQuery* TDataLink::DataSet() const {
    return data_source_ ? data_source_->DataSet() : nullptr;
}

bool TDataLink::Active() const {
    TIBQuery* query = DataSet();
    return query != nullptr && query->Active();
}

void TDataLink::SetBufferCount(int count) {
    if (count < 1) count = 1;
    if (count == buffer_count_) return;
    buffer_count_ = count;
    if (TIBQuery* query = DataSet()) query->UpdateWindowSize();
}

int TDataLink::RecordCount() const {
    return Active() ? DataSet()->WindowRecordCount() : 0;
}

int TDataLink::ActiveRecord() const {
    return Active() ? DataSet()->WindowActiveRecord() : 0;
}

void TDataLink::SetActiveRecord(int row) {
    if (Active()) DataSet()->SetWindowActiveRecord(row);
}

void TDataLink::MoveBy(int distance) {
    if (Active()) DataSet()->MoveBy(distance);
}

void TDataLink::DataEvent(TDataEvent event, int info) {
    switch (event) {
        case TDataEvent::deUpdateState:
            ActiveChanged();
            break;
        case TDataEvent::deDisabledStateChange:
            DisabledStateChanged(info != 0);
            break;
        case TDataEvent::deDataSetChange:
            DataSetChanged();
            break;
        case TDataEvent::deDataSetScroll:
            DataSetScrolled(info);
            break;
        case TDataEvent::deLayoutChange:
            LayoutChanged();
            break;
        case TDataEvent::dePropertyChange:
            PropertyChanged();
            break;
    }
}

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    while (!links_.empty()) links_.back()->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TIBQuery* dataset) {
    if (dataset == dataset_) return;
    if (dataset_ != nullptr) dataset_->RemoveDataSource(this);
    dataset_ = dataset;
    if (dataset_ != nullptr) dataset_->AddDataSource(this);
    NotifyLinks(TDataEvent::deUpdateState, 0);
}

void TDataSource::NotifyLinks(TDataEvent event, int info) {
    // By index, without a copy: a notified control may unlink itself.
    for (size_t i = 0; i < links_.size(); ++i) links_[i]->DataEvent(event, info);
}

void TDataSource::AddLink(TDataLink* link) {
    links_.push_back(link);
}

void TDataSource::RemoveLink(TDataLink* link) {
    links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
    if (dataset_ != nullptr) dataset_->UpdateWindowSize();
}

}  // namespace db
