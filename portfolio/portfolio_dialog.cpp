#include "portfolio/portfolio_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "portfolio/flagged_loans_model.h"
#include "portfolio/portfolio_jobs.h"
#include "portfolio/portfolio_texts.h"
#include "portfolio/portfolio_worker.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"
#include "ui/program_font.h"
#include "ui/sorted_list.h"

namespace portfolio {

TFcartera::TFcartera(ConnectionSetup setup, QWidget* parent)
    : QDialog(parent),
      worker_(std::make_unique<Worker>(
          std::move(setup), [this](JobOutcome outcome) { JobEnded(std::move(outcome)); })) {
    setObjectName("Fcartera");
    setWindowTitle("Revision de cartera");
    setFont(ui::ProgramFont());
    resize(900, 480);
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
    sorted_ = new ui::SortedList(this);
    sorted_->setSourceModel(flagged_);
    gridcartera = new QTableView(this);
    gridcartera->setObjectName("gridcartera");
    gridcartera->setModel(sorted_);
    gridcartera->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Ctrl and Shift clicks pick the loans to repair.
    gridcartera->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridcartera->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridcartera->verticalHeader()->setDefaultSectionSize(17);
    gridcartera->horizontalHeader()->setStretchLastSection(true);
    gridcartera->setColumnWidth(1, 220);
    gridcartera->setSortingEnabled(true);
    gridcartera->setToolTip("Doble Click o Enter: ver el prestamo en la ventana principal");
    // Enter and double click both activate the current row.
    connect(gridcartera, &QTableView::activated, this,
            [this](const QModelIndex& index) { ChooseRow(index.row()); });
    connect(gridcartera, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { ChooseRow(index.row()); });

    lbtotales = new QLabel(this);
    lbtotales->setObjectName("lbtotales");

    btexportar = new QPushButton("&Exportar", this);
    btexportar->setObjectName("btexportar");
    btexportar->setToolTip("Guardar la lista como CSV o como libro de Excel (.xlsx)");
    btexportar->setEnabled(false);
    btexportar->setAutoDefault(false);
    connect(btexportar, &QPushButton::clicked, this, [this] { Export(); });
    btreparar = new QPushButton("&Reparar", this);
    btreparar->setObjectName("btreparar");
    btreparar->setToolTip("Reparar los prestamos seleccionados");
    btreparar->setEnabled(false);
    btreparar->setAutoDefault(false);
    connect(btreparar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { RepairSelected(); }); });
    btprevia = new QPushButton("&Vista previa", this);
    btprevia->setObjectName("btprevia");
    btprevia->setToolTip("Lo que la reparacion del prestamo actual cambiaria, sin escribir nada");
    btprevia->setEnabled(false);
    btprevia->setAutoDefault(false);
    connect(btprevia, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { PreviewCurrent(); }); });
    btcancelar = new QPushButton("&Cancelar", this);
    btcancelar->setObjectName("btcancelar");
    btcancelar->setAutoDefault(false);
    connect(btcancelar, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbtotales, 1);
    buttons->addWidget(btprevia);
    buttons->addWidget(btreparar);
    buttons->addWidget(btexportar);
    buttons->addWidget(btcancelar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progreso);
    layout->addWidget(gridcartera, 1);
    mmprevia = new QPlainTextEdit(this);
    mmprevia->setObjectName("mmprevia");
    mmprevia->setReadOnly(true);
    mmprevia->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmprevia->setVisible(false);
    layout->addWidget(mmprevia, 1);
    layout->addLayout(buttons);
}

void TFcartera::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void TFcartera::Start() {
    if (started_) return;
    started_ = true;
    lbtotales->setText("Revisando cartera...");
    RunJob(Job::kCheck, CheckJob());
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
        lbtotales->setText(QString("Reparando prestamos: %1 de %2...")
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
            ShowPreview(std::move(outcome.repairs));
            break;
        case Job::kCheck:
        case Job::kNone:
            finished_ = true;
            ShowResult(std::move(outcome.check));
            break;
    }
    SetButtons();
}

bool TFcartera::eventFilter(QObject* watched, QEvent* event) {
    const bool quit = event->type() == QEvent::Quit && watched == QCoreApplication::instance();
    // Hidden by the program, not minimised by the window system.
    const bool window_closed = event->type() == QEvent::Hide && !event->spontaneous() &&
                               parentWidget() != nullptr && watched == parentWidget()->window();
    if (quit || window_closed) EndWithTheProgram();
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
    const bool listed = idle && finished_ && !flagged_->Rows().empty();
    btreparar->setEnabled(listed);
    btprevia->setEnabled(listed);
    // Rows stay put while a run works through them.
    gridcartera->setEnabled(idle);
    btcancelar->setEnabled(true);
    btcancelar->setText(idle && finished_ ? "&Cerrar" : "&Cancelar");
}

void TFcartera::ShowResult(std::unique_ptr<loans::CheckResult> result) {
    btcancelar->setText("&Cerrar");
    if (!result) {
        lbtotales->setText(ui::ToQString("No se pudo revisar la cartera: " + failure_));
        return;
    }
    progreso->setValue(1000);
    checked_ = result->loans.size();
    mmprevia->clear();
    mmprevia->setVisible(false);
    flagged_->SetRows(result->Flagged());
    result.reset();
    gridcartera->sortByColumn(0, Qt::AscendingOrder);
    if (!flagged_->Rows().empty()) {
        gridcartera->setCurrentIndex(sorted_->index(0, 0));
        gridcartera->setFocus();
    }
    totals_ = TotalsLine(checked_, flagged_->Rows());
    lbtotales->setText(totals_);
    btexportar->setEnabled(true);
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
        ui::ShowMessage("Seleccione los prestamos a reparar");
        return false;
    }
    if (ui::MessageDlgConfirm(RepairQuestion(rows)) != ui::kModalYes) return false;
    repairing_ = static_cast<int>(rows.size());
    repaired_.reset();
    lbtotales->setText(QString("Reparando prestamos: 0 de %1...").arg(repairing_));
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

bool TFcartera::PreviewCurrent() {
    if (job_ != Job::kNone || !finished_) return false;
    const loans::LoanCheck* row = ShownRow(gridcartera->currentIndex().row());
    if (row == nullptr) return false;
    lbtotales->setText("Preparando la vista previa...");
    RunJob(Job::kPreview, PreviewJob(*row));
    return true;
}

void TFcartera::ShowPreview(std::unique_ptr<loans::BulkResult> result) {
    mmprevia->setPlainText(ui::ToQString(PreviewText(result.get(), failure_)));
    mmprevia->setVisible(true);
    lbtotales->setText(totals_);
}

bool TFcartera::ChooseRow(int row) {
    const loans::LoanCheck* loan = ShownRow(row);
    if (chosen_ || loan == nullptr) return false;
    chosen_ = Choice{loan->member, loan->loan};
    accept();
    return true;
}

bool TFcartera::ExportTo(const std::string& path) {
    return ExportList(path, flagged_->Rows());
}

void TFcartera::Export() {
    const QString path = QFileDialog::getSaveFileName(this, "Exportar", "revision-cartera.csv",
                                                      "CSV (*.csv);;Libro de Excel (*.xlsx)");
    if (!path.isEmpty()) ExportTo(path.toLocal8Bit().toStdString());
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
        worker_->Cancel();
        btcancelar->setEnabled(false);
        lbtotales->setText("Cancelando...");
        return;
    }
    QDialog::reject();
}

}  // namespace portfolio
