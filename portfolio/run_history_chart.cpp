#include "portfolio/run_history_chart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "loans/rules/reconciliation.h"
#include "ui/latin1_text.h"

namespace portfolio {
namespace {

const char* const kColumnTitles[] = {"REVISION", "FECHA",    "REVISADOS", "CON DIFERENCIAS",
                                     "MONTO",    "DURACION", "TERMINADA", "USUARIO"};
constexpr int kColumnCount = sizeof kColumnTitles / sizeof kColumnTitles[0];

// A run's place on the time axis: its number and the server's day and
// time (the cooperative's clock).
QString AxisLabel(const loans::StoredRun& run) {
    return QString::fromStdString("#" + std::to_string(run.id) + " " +
                                  formats::FormatDateTime("dd/mm hh:nn", run.time));
}

// At most this many runs are named under the axis; the others are drawn.
constexpr int kAxisLabels = 8;

QTableWidgetItem* Cell(const QString& text, bool right = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// An axis from 0 to a round value over the highest, never a flat line at 0.
void Span(QValueAxis& axis, double highest) {
    axis.setRange(0, highest <= 0 ? 1 : highest * 1.1);
    axis.applyNiceNumbers();
}

}  // namespace

RunHistoryChart::RunHistoryChart(QWidget* parent) : QWidget(parent) {
    setObjectName("historial");
    flagged_ = new QLineSeries(this);
    flagged_->setName(QString::fromLatin1("Pr\xE9stamos con diferencias"));
    flagged_->setPointsVisible(true);
    amount_ = new QLineSeries(this);
    amount_->setName("Monto en juego");
    amount_->setPointsVisible(true);

    auto* chart = new QChart;
    chart->setTitle("Revisiones de cartera");
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Amounts on the axis as the analyst's desktop writes numbers.
    chart->setLocalizeNumbers(true);
    chart->addSeries(flagged_);
    chart->addSeries(amount_);
    // Runs side by side in their order, each named by number, day and
    // time: nightly runs fall evenly, and runs of one afternoon stay apart.
    time_ = new QCategoryAxis(this);
    time_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time_->setTitleText(QString::fromLatin1("Revisi\xF3n (fecha)"));
    count_axis_ = new QValueAxis(this);
    count_axis_->setTitleText(QString::fromLatin1("Pr\xE9stamos"));
    count_axis_->setLabelFormat("%.0f");
    amount_axis_ = new QValueAxis(this);
    amount_axis_->setTitleText("Monto");
    amount_axis_->setLabelFormat("%.0f");
    chart->addAxis(time_, Qt::AlignBottom);
    chart->addAxis(count_axis_, Qt::AlignLeft);
    chart->addAxis(amount_axis_, Qt::AlignRight);
    flagged_->attachAxis(time_);
    flagged_->attachAxis(count_axis_);
    amount_->attachAxis(time_);
    amount_->attachAxis(amount_axis_);

    view_ = new QChartView(chart, this);
    view_->setObjectName("grafico");
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setAccessibleName(
        QString::fromLatin1("Gr\xE1"
                            "fico de revisiones"));
    view_->setAccessibleDescription(
        QString::fromLatin1("Las mismas cifras est\xE1n en la pesta\xF1"
                            "a Tabla"));

    table_ = new QTableWidget(0, kColumnCount, this);
    table_->setObjectName("tablarevisiones");
    table_->setAccessibleName("Revisiones de cartera");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(17);
    table_->horizontalHeader()->setStretchLastSection(true);
    QStringList titles;
    for (const char* title : kColumnTitles) titles << QString::fromLatin1(title);
    table_->setHorizontalHeaderLabels(titles);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(view_, QString::fromLatin1("&Gr\xE1"
                                             "fico"));
    tabs_->addTab(table_, "&Tabla");
    note_ = new QLabel(this);
    note_->setObjectName("lbrevision");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_, 1);
    layout->addWidget(note_);
}

void RunHistoryChart::SetRuns(const std::vector<loans::StoredRun>& runs) {
    std::vector<const loans::StoredRun*> finished;
    // Unfinished runs saw part of the portfolio: their counts are no point
    // on a line of whole ones. The table lists them.
    for (const loans::StoredRun& run : runs) {
        if (run.finished) finished.push_back(&run);
    }
    QList<QPointF> flagged;
    QList<QPointF> amounts;
    int most = 0;
    double highest = 0;
    for (const QString& label : time_->categoriesLabels()) time_->remove(label);
    const int count = static_cast<int>(finished.size());
    const int step = std::max(1, (count + kAxisLabels - 1) / kAxisLabels);
    for (int i = 0; i < count; ++i) {
        const loans::StoredRun& run = *finished[static_cast<size_t>(i)];
        flagged.append(QPointF(i, run.flagged));
        amounts.append(QPointF(i, run.amount));
        most = std::max(most, run.flagged);
        highest = std::max(highest, run.amount);
        if (i % step == 0 || i == count - 1) time_->append(AxisLabel(run), i);
    }
    flagged_->replace(flagged);
    amount_->replace(amounts);
    // Half a place either side: the first and last points off the edges.
    time_->setRange(-0.5, std::max(0, count - 1) + 0.5);
    Span(*count_axis_, most);
    Span(*amount_axis_, highest);

    table_->setRowCount(static_cast<int>(runs.size()));
    for (int row = 0; row < static_cast<int>(runs.size()); ++row) {
        const loans::StoredRun& run = runs[static_cast<size_t>(row)];
        std::string user = run.user;
        if (!run.workstation.empty()) user += " (" + run.workstation + ")";
        const QString cells[kColumnCount] = {
            QString::number(run.id),
            ui::ToQString(formats::FormatDefaultDateTime(run.time)),
            QString::number(run.checked),
            QString::number(run.flagged),
            ui::ToQString(loans::ShownAmount(run.amount)),
            ui::ToQString(formats::FormatFloat(formats::kAmountPattern, run.duration_ms / 1000.0) +
                          " s"),
            run.finished ? QString::fromLatin1("s\xED") : QString("no"),
            ui::ToQString(user)};
        for (int column = 0; column < kColumnCount; ++column) {
            table_->setItem(row, column, Cell(cells[column], column != 1 && column < 6));
        }
    }
    table_->resizeColumnsToContents();
}

void RunHistoryChart::SetNote(const std::string& note) {
    note_->setText(ui::ToQString(note));
}

}  // namespace portfolio
