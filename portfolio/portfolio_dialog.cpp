#include "portfolio/portfolio_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "loans/history/run_report.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/repair_statements.h"
#include "portfolio/flagged_loans_filter.h"
#include "portfolio/flagged_loans_model.h"
#include "portfolio/portfolio_jobs.h"
#include "portfolio/portfolio_texts.h"
#include "portfolio/portfolio_worker.h"
#include "portfolio/preview_model.h"
#include "portfolio/run_history_chart.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"
#include "ui/program_font.h"
#include "ui/window_memory.h"

namespace portfolio {
namespace {

// The file dialog's folder, kept with the dialog's layout.
const QString kLayoutKey = QStringLiteral("cartera");
const QString kExportFolder = QStringLiteral("carpeta_exportar");

// Room beside a column's widest text: the cell's margins and grid line.
constexpr int kCellRoom = 14;
// The dialog's height once the stored runs' chart shows under the list.
constexpr int kHeightWithChart = 720;

// A list's columns as wide as their titles (sort mark included) and the
// samples of what they hold; the last one stretches. Returns their width.
int FitColumns(QTableView& list, const std::vector<QString>& samples) {
    QHeaderView& header = *list.horizontalHeader();
    const QFontMetrics metrics(list.font());
    int total = 0;
    for (int column = 0; column < header.count(); ++column) {
        int width = header.sectionSizeHint(column);
        if (static_cast<size_t>(column) < samples.size()) {
            width = std::max(
                width, metrics.horizontalAdvance(samples[static_cast<size_t>(column)]) + kCellRoom);
        }
        list.setColumnWidth(column, width);
        total += width;
    }
    return total;
}

}  // namespace

TFcartera::TFcartera(ConnectionSetup setup, QWidget* parent, Chooser chooser)
    : QDialog(parent),
      chooser_(std::move(chooser)),
      worker_(std::make_unique<Worker>(
          std::move(setup), [this](JobOutcome outcome) { JobEnded(std::move(outcome)); })) {
    setObjectName("Fcartera");
    setWindowTitle(QString::fromLatin1("Revisi\xF3n de cartera"));
    setFont(ui::ProgramFont());
    Layout();
    progress_ = new QTimer(this);
    progress_->setInterval(50);
    connect(progress_, &QTimer::timeout, this, [this] { ShowProgress(); });
    // The main window closed under the dialog: the program is ending.
    if (parent != nullptr) parent->window()->installEventFilter(this);
}

TFcartera::~TFcartera() {
    worker_->StopAndWait();
}

void TFcartera::Layout() {
    progreso = new QProgressBar(this);
    progreso->setObjectName("progreso");
    progreso->setRange(0, 1000);
    progreso->setValue(0);
    progreso->setTextVisible(true);

    flagged_ = new FlaggedLoansModel(this);
    sorted_ = new FlaggedLoansFilter(*flagged_, this);
    gridcartera = new QTableView(this);
    gridcartera->setObjectName("gridcartera");
    gridcartera->setModel(sorted_);
    gridcartera->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Ctrl and Shift clicks pick the loans to repair.
    gridcartera->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridcartera->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridcartera->verticalHeader()->setDefaultSectionSize(17);
    gridcartera->horizontalHeader()->setStretchLastSection(true);
    gridcartera->setSortingEnabled(true);
    gridcartera->sortByColumn(0, Qt::AscendingOrder);
    gridcartera->setToolTip(QString::fromLatin1(
        "Doble Click o Enter: ver el pr\xE9stamo en la ventana principal (esta lista sigue "
        "abierta)\nCtrl+0: los anchos de columna y el tama\xF1o de la primera vez"));
    // A double click, or Enter (never a single click, whatever the desktop
    // says about activating items): the list stays open.
    connect(gridcartera, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { ChooseRow(index.row()); });
    gridcartera->installEventFilter(this);

    edfiltro = new QLineEdit(this);
    edfiltro->setObjectName("edfiltro");
    edfiltro->setPlaceholderText(
        QString::fromLatin1("C\xF3"
                            "digo o nombre del socio"));
    edfiltro->setClearButtonEnabled(true);
    connect(edfiltro, &QLineEdit::textChanged, this, [this](const QString& text) {
        sorted_->SetText(text);
        ShowListed();
    });
    cbreparacion = new QComboBox(this);
    cbreparacion->setObjectName("cbreparacion");
    cbreparacion->addItems({QString::fromLatin1("Todas las reparaciones"),
                            QString::fromLatin1(loans::kRebuildRepair),
                            QString::fromLatin1(loans::kCorrectRepair)});
    connect(cbreparacion, &QComboBox::currentIndexChanged, this, [this](int index) {
        sorted_->SetRepair(index == 1   ? FlaggedLoansFilter::Repair::kRebuild
                           : index == 2 ? FlaggedLoansFilter::Repair::kCorrect
                                        : FlaggedLoansFilter::Repair::kAny);
        ShowListed();
    });
    auto* filters = new QHBoxLayout;
    auto* filter_label = new QLabel("&Buscar:", this);
    filter_label->setBuddy(edfiltro);
    auto* repair_label = new QLabel(QString::fromLatin1("Re&paraci\xF3n:"), this);
    repair_label->setBuddy(cbreparacion);
    filters->addWidget(filter_label);
    filters->addWidget(edfiltro, 1);
    filters->addWidget(repair_label);
    filters->addWidget(cbreparacion);

    lblistados = new QLabel(this);
    lblistados->setObjectName("lblistados");
    lbtotales = new QLabel(this);
    lbtotales->setObjectName("lbtotales");

    btexportar = new QPushButton("&Exportar", this);
    btexportar->setObjectName("btexportar");
    btexportar->setToolTip(
        "Guardar la lista como CSV (con \";\" y coma decimal si el escritorio usa coma "
        "decimal) o como libro de Excel (.xlsx)");
    btexportar->setEnabled(false);
    btexportar->setAutoDefault(false);
    connect(btexportar, &QPushButton::clicked, this, [this] { Export(); });
    btreparar = new QPushButton("&Reparar", this);
    btreparar->setObjectName("btreparar");
    btreparar->setToolTip(QString::fromLatin1("Reparar los pr\xE9stamos seleccionados"));
    btreparar->setEnabled(false);
    btreparar->setAutoDefault(false);
    connect(btreparar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { RepairSelected(); }); });
    btprevia = new QPushButton("&Vista previa", this);
    btprevia->setObjectName("btprevia");
    btprevia->setToolTip(
        QString::fromLatin1("Lo que la reparaci\xF3n de los pr\xE9stamos seleccionados cambiar\xED"
                            "a, sin escribir nada"));
    btprevia->setEnabled(false);
    btprevia->setAutoDefault(false);
    connect(btprevia, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { PreviewSelected(); }); });
    btcancelar = new QPushButton("&Cancelar", this);
    btcancelar->setObjectName("btcancelar");
    btcancelar->setAutoDefault(false);
    connect(btcancelar, &QPushButton::clicked, this, [this] { reject(); });

    preview_ = new PreviewModel(this);
    gridprevia = new QTableView(this);
    gridprevia->setObjectName("gridprevia");
    gridprevia->setModel(preview_);
    gridprevia->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridprevia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridprevia->verticalHeader()->setVisible(false);
    gridprevia->verticalHeader()->setDefaultSectionSize(17);
    // The amounts at the right edge; the lines in words have the width
    // between the change's name and them.
    gridprevia->horizontalHeader()->setSectionResizeMode(PreviewModel::kTextColumn,
                                                         QHeaderView::Stretch);
    gridprevia->setWordWrap(false);
    gridprevia->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbtotales, 1);
    buttons->addWidget(btprevia);
    buttons->addWidget(btreparar);
    buttons->addWidget(btexportar);
    buttons->addWidget(btcancelar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progreso);
    layout->addLayout(filters);
    layout->addWidget(gridcartera, 1);
    layout->addWidget(lblistados);
    historial = new RunHistoryChart(this);
    historial->setVisible(false);
    layout->addWidget(historial, 1);
    layout->addWidget(gridprevia, 1);
    layout->addLayout(buttons);

    // Every title whole at the default size, and room for what the columns
    // hold: codes, names, amounts in the millions, both repairs.
    const QString amount = ui::ToQString(loans::ShownAmount(-99999999.99L));
    const int listed = FitColumns(
        *gridcartera,
        {"0000000000", QString(28, QChar('M')), "99999999", amount, amount, amount, "999",
         ui::ToQString(std::string(loans::kRebuildRepair) + " + " + loans::kCorrectRepair),
         "2 cuotas con lo pagado distinto de los documentos"});
    FitColumns(*gridprevia, {"0000000000", "99999999", "Balance documentos", "99999999",
                             "R Recibos Ingreso", "00/00/0000", amount, amount});
    const QSize margins(layout->contentsMargins().left() + layout->contentsMargins().right(), 0);
    const int frame = 2 * gridcartera->frameWidth() +
                      gridcartera->verticalHeader()->sizeHint().width() +
                      gridcartera->verticalScrollBar()->sizeHint().width();
    list_room_ = listed + frame + margins.width() + 8;
    resize(std::max(900, list_room_), 560);
    // F2 here as in the main window: the list checked again.
    auto* recheck = new QShortcut(QKeySequence(Qt::Key_F2), this);
    recheck->setContext(Qt::WindowShortcut);
    connect(recheck, &QShortcut::activated, this, [this] { Recheck(); });
    // The last run's size and widths, once the defaults are known.
    remembered_ = new ui::RememberedLayout(*this, kLayoutKey);
    remembered_->Add(*gridcartera, QStringLiteral("lista"));
    remembered_->Add(*gridprevia, QStringLiteral("vista_previa"));
}

void TFcartera::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void TFcartera::Start() {
    if (started_) return;
    started_ = true;
    // The list stands still while it is checked again, and stands where it
    // stood once the check is shown.
    if (checks_ > 0) place_ = Place();
    lbtotales->setText("Revisando cartera...");
    RunJob(Job::kCheck, CheckJob());
}

bool TFcartera::Recheck() {
    if (job_ != Job::kNone || !finished_) return false;
    started_ = false;
    Start();
    return true;
}

void TFcartera::RunJob(Job job, Worker::Job work) {
    job_ = job;
    stopping_ = false;
    progreso->setValue(0);
    SetButtons();
    // Only while work runs: a quit must not leave it behind.
    QCoreApplication::instance()->installEventFilter(this);
    worker_->Run(std::move(work));
    progress_->start();
}

bool TFcartera::Running() const {
    return worker_->Running();
}

void TFcartera::ShowProgress() {
    progreso->setValue(worker_->State().permille.load());
    if (job_ == Job::kRepair && !stopping_) {
        lbtotales->setText(QString::fromLatin1("Reparando pr\xE9stamos: %1 de %2...")
                               .arg(worker_->State().loans_done.load())
                               .arg(repairing_));
    }
}

void TFcartera::JobEnded(JobOutcome outcome) {
    progress_->stop();
    QCoreApplication::instance()->removeEventFilter(this);
    if (ending_) {
        job_ = Job::kNone;
        return;
    }
    ShowProgress();
    // Done to the end: the bar says so, whatever the job last counted.
    if (outcome.failure.empty() && !cancelled_ && (outcome.check || outcome.repairs)) {
        progreso->setValue(progreso->maximum());
    }
    const Job job = job_;
    job_ = Job::kNone;
    failure_ = outcome.failure;
    if (cancelled_) {
        finished_ = true;
        QDialog::reject();
        return;
    }
    SetButtons();  // the list takes the focus back from here on
    switch (job) {
        case Job::kRepair:
            ShowRepairs(std::move(outcome.repairs));
            break;
        case Job::kPreview:
            ShowPreview(std::move(outcome.repairs), std::move(outcome.preview));
            break;
        case Job::kCheck:
        case Job::kNone:
            finished_ = true;
            approval_ = outcome.approval;
            // The marks come with the rows: none without a run to compare with.
            ShowResult(std::move(outcome.check), outcome.recorded && outcome.recorded->previous
                                                     ? &outcome.recorded->new_loans
                                                     : nullptr);
            ShowHistory(outcome);
            break;
    }
    SetButtons();
}

bool TFcartera::eventFilter(QObject* watched, QEvent* event) {
    if (watched == gridcartera && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            ChooseRow(gridcartera->currentIndex().row());
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }
    const bool quit = event->type() == QEvent::Quit && watched == QCoreApplication::instance();
    // Hidden by the program, not minimised by the window system.
    const bool window_closed = event->type() == QEvent::Hide && !event->spontaneous() &&
                               parentWidget() != nullptr && watched == parentWidget()->window();
    if (quit || window_closed) EndWithTheProgram();
    // Open beside the main window, the list goes with it.
    if (window_closed && job_ == Job::kNone && isVisible()) QDialog::reject();
    return QDialog::eventFilter(watched, event);
}

// Closes at once, so that the application's quit goes through (a dialog
// that stays open refuses it); the destructor then waits for the loan
// under way to be committed or rolled back as a whole.
void TFcartera::EndWithTheProgram() {
    if (job_ == Job::kNone || ending_) return;
    ending_ = true;
    worker_->Stop();
    worker_->Cancel();
    QDialog::reject();
}

void TFcartera::SetButtons() {
    const bool idle = job_ == Job::kNone;
    const bool listed = idle && finished_ && sorted_->rowCount() > 0;
    btreparar->setEnabled(listed);
    btprevia->setEnabled(listed);
    // Rows stay put while a run works through them.
    gridcartera->setEnabled(idle);
    btcancelar->setEnabled(true);
    btcancelar->setText(idle && finished_ ? "&Cerrar" : "&Cancelar");
}

void TFcartera::ShowResult(std::unique_ptr<loans::CheckResult> result,
                           const std::vector<loans::LoanKey>* new_loans) {
    btcancelar->setText("&Cerrar");
    if (!result) {
        lbtotales->setText(ui::ToQString("No se pudo revisar la cartera: " + failure_));
        return;
    }
    progreso->setValue(progreso->maximum());
    checked_ = result->loans.size();
    preview_->SetLines({});
    gridprevia->setVisible(false);
    const bool marked_before = sorted_->columnCount() > FlaggedLoansModel::kNewColumn;
    flagged_->SetRows(result->Flagged(), new_loans);
    if (!marked_before && sorted_->columnCount() > FlaggedLoansModel::kNewColumn) {
        // As wide as its title, not the toolkit's default: ShowHistory makes
        // room for that much beside the other columns.
        gridcartera->setColumnWidth(
            FlaggedLoansModel::kNewColumn,
            gridcartera->horizontalHeader()->sectionSizeHint(FlaggedLoansModel::kNewColumn));
    }
    result.reset();
    if (checks_++ == 0) {
        if (sorted_->rowCount() > 0) gridcartera->setCurrentIndex(sorted_->index(0, 0));
    } else {
        GoTo(place_);
    }
    if (sorted_->rowCount() > 0) gridcartera->setFocus();
    totals_ = TotalsLine(checked_, flagged_->Rows());
    lbtotales->setText(totals_);
    ShowListed();
    btexportar->setEnabled(true);
}

void TFcartera::ShowHistory(const JobOutcome& outcome) {
    if (!outcome.has_history) return;
    historial->SetRuns(outcome.runs);
    historial->SetNote(outcome.recorded
                           ? loans::RecordedRunLines(*outcome.recorded).front()
                           : "No se pudo registrar la revisi\xF3n: " + outcome.history_failure);
    historial->setVisible(true);
    // Room for the chart, and for the NUEVO column beside the others; a
    // size the analyst gave the dialog stays as it is.
    int wide = list_room_;
    if (sorted_->columnCount() > FlaggedLoansModel::kNewColumn) {
        wide += gridcartera->horizontalHeader()->sectionSizeHint(FlaggedLoansModel::kNewColumn);
    }
    remembered_->GrowDefaultSize(QSize(wide, kHeightWithChart));
}

void TFcartera::ShowListed() {
    // What is at stake: a loan short by 3.000,00 does not make up for one
    // over by 10.000,00.
    long double differences = 0;
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        differences += std::fabs(loans::Difference(*ShownRow(row)));
    }
    lblistados->setText(
        ListedLine(static_cast<size_t>(sorted_->rowCount()), flagged_->Rows().size(), differences));
    if (job_ == Job::kNone) SetButtons();
}

std::pair<std::string, int32_t> TFcartera::KeyOf(int row) const {
    const loans::LoanCheck* loan = ShownRow(row);
    return loan != nullptr ? std::pair{loan->member, loan->loan} : std::pair{std::string(), 0};
}

TFcartera::ListPlace TFcartera::Place() const {
    ListPlace place;
    const QItemSelectionModel* selection = gridcartera->selectionModel();
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        if (selection->isSelected(sorted_->index(row, 0))) place.selected.push_back(KeyOf(row));
    }
    place.current_row = gridcartera->currentIndex().row();
    if (place.current_row >= 0) place.current = KeyOf(place.current_row);
    place.scrolled = gridcartera->verticalScrollBar()->value();
    return place;
}

// The sort stays the proxy's own; the rows selected and the current one are
// found again by member and loan (a loan repaired since has left the list:
// the row that took its place becomes current), and the list scrolls as far
// as it had.
void TFcartera::GoTo(const ListPlace& place) {
    const int rows = sorted_->rowCount();
    if (rows == 0) return;
    std::map<std::pair<std::string, int32_t>, int> row_of;
    for (int row = 0; row < rows; ++row) row_of.emplace(KeyOf(row), row);
    QItemSelection selection;
    for (const auto& key : place.selected) {
        const auto found = row_of.find(key);
        if (found == row_of.end()) continue;
        selection.select(sorted_->index(found->second, 0),
                         sorted_->index(found->second, sorted_->columnCount() - 1));
    }
    int current = std::clamp(place.current_row, 0, rows - 1);
    if (place.current) {
        if (const auto found = row_of.find(*place.current); found != row_of.end()) {
            current = found->second;
        }
    }
    QItemSelectionModel* model = gridcartera->selectionModel();
    model->setCurrentIndex(sorted_->index(current, 0), QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    gridcartera->verticalScrollBar()->setValue(place.scrolled);
}

const loans::LoanCheck* TFcartera::ShownRow(int row) const {
    if (row < 0 || row >= sorted_->rowCount()) return nullptr;
    const int index = sorted_->mapToSource(sorted_->index(row, 0)).row();
    return &flagged_->Rows().at(static_cast<size_t>(index));
}

std::vector<loans::LoanCheck> TFcartera::ShownRows() const {
    std::vector<loans::LoanCheck> rows;
    for (int row = 0; row < sorted_->rowCount(); ++row) rows.push_back(*ShownRow(row));
    return rows;
}

std::vector<loans::LoanCheck> TFcartera::ListedRows() const {
    std::vector<loans::LoanCheck> rows;
    for (size_t row = 0; row < flagged_->Rows().size(); ++row) {
        if (sorted_->Listed(row)) rows.push_back(flagged_->Rows()[row]);
    }
    return rows;
}

std::vector<loans::LoanCheck> TFcartera::SelectedRows() const {
    std::vector<loans::LoanCheck> rows;
    const QItemSelectionModel* selection = gridcartera->selectionModel();
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        if (selection->isSelected(sorted_->index(row, 0))) rows.push_back(*ShownRow(row));
    }
    return rows;
}

bool TFcartera::RepairSelected() {
    if (job_ != Job::kNone || !finished_) return false;
    std::vector<loans::LoanCheck> rows = SelectedRows();
    if (rows.empty()) {
        ui::ShowMessage("Seleccione los pr\xE9stamos a reparar");
        return false;
    }
    if (ui::MessageDlgConfirm(RepairQuestion(rows, approval_)) != ui::kModalYes) return false;
    repairing_ = static_cast<int>(rows.size());
    repaired_.reset();
    lbtotales->setText(QString::fromLatin1("Reparando pr\xE9stamos: 0 de %1...").arg(repairing_));
    RunJob(Job::kRepair, RepairJob(std::move(rows)));
    return true;
}

void TFcartera::ShowRepairs(std::unique_ptr<loans::BulkResult> result) {
    const std::string text = RepairSummary(result.get(), failure_);
    if (result) repaired_ = std::move(*result);
    ui::ShowMessage(text);
    // What the list shows now is stale: check again.
    started_ = false;
    Start();
}

bool TFcartera::PreviewSelected() {
    if (job_ != Job::kNone || !finished_) return false;
    std::vector<loans::LoanCheck> rows = SelectedRows();
    if (rows.empty()) {
        const loans::LoanCheck* current = ShownRow(gridcartera->currentIndex().row());
        if (current == nullptr) return false;
        rows.push_back(*current);
    }
    lbtotales->setText("Preparando la vista previa...");
    RunJob(Job::kPreview, PreviewJob(std::move(rows)));
    return true;
}

void TFcartera::ShowPreview(std::unique_ptr<loans::BulkResult> result,
                            std::vector<loans::PreviewLine> lines) {
    preview_->SetLines(PreviewLinesOf(result.get(), std::move(lines), failure_));
    gridprevia->clearSpans();
    for (int row = 0; row < preview_->rowCount(); ++row) {
        if (preview_->Spanned(row)) {
            gridprevia->setSpan(row, PreviewModel::kTextColumn, 1,
                                PreviewModel::kColumns - PreviewModel::kTextColumn);
        }
    }
    gridprevia->setVisible(true);
    lbtotales->setText(totals_);
}

bool TFcartera::ChooseRow(int row) {
    const loans::LoanCheck* loan = ShownRow(row);
    if (loan == nullptr || job_ != Job::kNone) return false;
    chosen_ = Choice{loan->member, loan->loan};
    const Choice choice = *chosen_;
    if (chooser_) ui::Guard([this, &choice] { chooser_(choice); });
    return true;
}

bool TFcartera::ExportTo(const std::string& path) {
    return ExportList(path, ListedRows());
}

void TFcartera::Export() {
    // The folder last written to, else the working folder.
    const QString folder =
        ui::window_memory::Text(kLayoutKey, kExportFolder).value_or(QDir::currentPath());
    const QString path = QFileDialog::getSaveFileName(this, "Exportar",
                                                      QDir(folder).filePath("revision-cartera.csv"),
                                                      "CSV (*.csv);;Libro de Excel (*.xlsx)");
    if (path.isEmpty()) return;
    if (ExportTo(path.toLocal8Bit().toStdString())) {
        ui::window_memory::SetText(kLayoutKey, kExportFolder, QFileInfo(path).absolutePath());
    }
}

// Cancel (or Escape, or the close box) while the check runs cancels its
// statements; the dialog closes once the job has let go of its
// connection, which its end tells.
void TFcartera::reject() {
    if (ending_) {
        QDialog::reject();
        return;
    }
    if (job_ == Job::kRepair) {
        // Between loans: the one under way finishes as a whole.
        stopping_ = true;
        worker_->Stop();
        btcancelar->setEnabled(false);
        lbtotales->setText("Deteniendo las reparaciones...");
        return;
    }
    if (job_ != Job::kNone) {
        cancelled_ = true;
        worker_->Stop();  // a preview, between loans
        worker_->Cancel();
        btcancelar->setEnabled(false);
        lbtotales->setText("Cancelando...");
        return;
    }
    QDialog::reject();
}

}  // namespace portfolio
