#pragma once

#include <vector>

#include "db/component.h"

namespace db {

class TIBQuery;
class TDataSource;

// Notifications a dataset sends to the controls that show it.
enum class TDataEvent {
    deDataSetChange,  // the whole set or the window changed
    deDataSetScroll,  // the window slid by `info` rows
    deLayoutChange,
    dePropertyChange,
    deUpdateState,          // opened or closed
    deDisabledStateChange,  // opened or closed while the display is suspended
};

// A control's link to a data source (a grid is one). Nothing here knows
// how the control draws; it only learns when to.
class TDataLink {
  public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return data_source_; }
    void SetDataSource(TDataSource* source);
    TIBQuery* DataSet() const;
    bool Active() const;

    // Rows the control shows; the dataset keeps at least that many in its
    // window, fetching them as they come into view.
    int BufferCount() const { return buffer_count_; }
    void SetBufferCount(int count);
    // Rows currently in the window (fewer at the end of a short set).
    int RecordCount() const;
    // Window position of the current row. Setting it points the fields at
    // another row of the window, for painting; put it back afterwards.
    int ActiveRecord() const;
    void SetActiveRecord(int row);
    // A move of the current row caused by the control.
    void MoveBy(int distance);

    // Called by the data source.
    void DataEvent(TDataEvent event, int info);

  protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void PropertyChanged() {}
    virtual void DisabledStateChanged(bool /*active*/) {}

  private:
    TDataSource* data_source_ = nullptr;
    int buffer_count_ = 1;
};

// Joins one dataset to the controls that show it.
class TDataSource : public TComponent {
  public:
    explicit TDataSource(std::string name = {}) : TComponent(std::move(name)) {}
    ~TDataSource() override;

    TIBQuery* DataSet() const { return dataset_; }
    void SetDataSet(TIBQuery* dataset);
    const std::vector<TDataLink*>& Links() const { return links_; }

    void NotifyLinks(TDataEvent event, int info);

  private:
    friend class TDataLink;
    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

    TIBQuery* dataset_ = nullptr;
    std::vector<TDataLink*> links_;
};

}  // namespace db
