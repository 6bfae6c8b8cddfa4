#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "loans/history/run_history.h"

class QChart;
class QChartView;
class QCategoryAxis;
class QLabel;
class QLineSeries;
class QTabWidget;
class QTableWidget;
class QValueAxis;

namespace portfolio {

// The portfolio check's stored runs over time: per finished run, the loans
// it flagged and the amount at stake (its differences without sign, added
// up), drawn as two lines over the runs in their order, each named by its
// day and time; and every run, unfinished ones
// too, as a table a screen reader can walk cell by cell. Shows only what it
// is given: the runs are read off the GUI thread.
class RunHistoryChart : public QWidget {
  public:
    explicit RunHistoryChart(QWidget* parent = nullptr);

    // Draws `runs` (oldest first) and fills the table.
    void SetRuns(const std::vector<loans::StoredRun>& runs);
    // A line under the chart: what became of this check's run (Latin-1).
    void SetNote(const std::string& note);

    // For tests and the window test driver: what is drawn and listed.
    const QLineSeries* FlaggedSeries() const { return flagged_; }
    const QLineSeries* AmountSeries() const { return amount_; }
    QTableWidget* Table() const { return table_; }
    QChartView* View() const { return view_; }
    QLabel* Note() const { return note_; }

  private:
    QTabWidget* tabs_;
    QChartView* view_;
    QTableWidget* table_;
    QLabel* note_;
    QLineSeries* flagged_;
    QLineSeries* amount_;
    QCategoryAxis* time_;
    QValueAxis* count_axis_;
    QValueAxis* amount_axis_;
};

}  // namespace portfolio
