#include "portfolio/portfolio_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>

#include "db/call_watch.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/report_file.h"
#include "loans/rules/reconciliation.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"
#include "ui/program_font.h"

namespace portfolio {

TFcartera* Fcartera = nullptr;

struct TFcartera::CheckState {
    std::atomic<int> permille{0};
    std::atomic<int> loans_done{0};  // of a repair run
    std::atomic<bool> stop{false};   // a repair run stops before its next loan
    db::CallCanceller canceller;
    std::mutex lock;
    std::unique_ptr<loans::CheckResult> result;  // under the lock
    std::unique_ptr<loans::BulkResult> repairs;  // under the lock
    std::string failure;                         // under the lock
    std::atomic<bool> done{false};               // set last
};

namespace {

constexpr int kIndexRole = Qt::UserRole + 1;  // position in the check's own order
constexpr int kKeyRole = Qt::UserRole + 2;    // what the column sorts by

// Sorts by the column's own key (numbers as numbers), equal keys in the
// check's order, so a sorted list is always the same list.
class Item : public QTableWidgetItem {
  public:
    Item(const QString& text, const QVariant& key, int index) : QTableWidgetItem(text) {
        setData(kKeyRole, key);
        setData(kIndexRole, index);
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kKeyRole);
        const QVariant b = other.data(kKeyRole);
        const int order = QVariant::compare(a, b) == QPartialOrdering::Less      ? -1
                          : QVariant::compare(a, b) == QPartialOrdering::Greater ? 1
                                                                                 : 0;
        if (order != 0) return order < 0;
        return data(kIndexRole).toInt() < other.data(kIndexRole).toInt();
    }
};

const char* const kTitles[] = {"SOCIO",       "NOMBRE",     "PRESTAMO", "BALANCE DOCUMENTOS",
                               "BALANCE CXC", "DIFERENCIA", "CUOTAS",   "REPARACION"};

}  // namespace

TFcartera::TFcartera(ConnectionSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), state_(std::make_shared<CheckState>()) {
    setObjectName("Fcartera");
    setWindowTitle("Revision de cartera");
    setFont(ui::ProgramFont());
    resize(900, 480);

    progreso = new QProgressBar(this);
    progreso->setObjectName("progreso");
    progreso->setRange(0, 1000);
    progreso->setValue(0);
    progreso->setTextVisible(true);

    gridcartera = new QTableWidget(0, 8, this);
    gridcartera->setObjectName("gridcartera");
    QStringList titles;
    for (const char* title : kTitles) titles << QString::fromLatin1(title);
    gridcartera->setHorizontalHeaderLabels(titles);
    gridcartera->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Ctrl and Shift clicks pick the loans to repair.
    gridcartera->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridcartera->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridcartera->verticalHeader()->setDefaultSectionSize(17);
    gridcartera->horizontalHeader()->setStretchLastSection(true);
    gridcartera->setColumnWidth(1, 220);
    gridcartera->setToolTip("Doble Click o Enter: ver el prestamo en la ventana principal");
    // Enter and double click both activate the current row.
    connect(gridcartera, &QTableWidget::activated, this,
            [this](const QModelIndex& index) { ChooseRow(index.row()); });
    connect(gridcartera, &QTableWidget::doubleClicked, this,
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

    poll_ = new QTimer(this);
    poll_->setInterval(50);
    connect(poll_, &QTimer::timeout, this, [this] { Poll(); });
}

TFcartera::~TFcartera() {
    state_->stop = true;
    state_->canceller.Cancel();
    // A worker still running ends on its own, holding all it uses; the
    // window never waits for it.
    if (!worker_.joinable()) return;
    if (state_->done) {
        worker_.join();
    } else {
        worker_.detach();
    }
}

void TFcartera::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void TFcartera::Start() {
    if (started_) return;
    started_ = true;
    lbtotales->setText("Revisando cartera...");
    RunWorker(Job::kCheck, [](db::TIBDatabase& database, CheckState& state) {
        loans::CheckOptions options;
        options.canceller = &state.canceller;
        auto result = std::make_unique<loans::CheckResult>(loans::RunCheck(
            database,
            [&state](double done) {
                state.permille = static_cast<int>(done * 1000);
                return true;
            },
            options));
        std::lock_guard lock(state.lock);
        state.result = std::move(result);
    });
}

void TFcartera::RunWorker(Job job, Work work) {
    job_ = job;
    state_ = std::make_shared<CheckState>();
    progreso->setValue(0);
    SetButtons();
    // The worker owns its connection from start to end: nothing of the
    // data layer is shared with the GUI thread.
    worker_ = std::thread([state = state_, setup = setup_, work = std::move(work)] {
        std::string failure;
        try {
            db::TIBDatabase database("PortfolioDatabase");
            db::TIBTransaction transaction("PortfolioDefault");
            setup(database, transaction);
            work(database, *state);
        } catch (const loans::ECheckCancelled&) {
        } catch (const std::exception& error) {
            failure = error.what();
            if (failure.empty()) failure = "Error";
        }
        {
            std::lock_guard lock(state->lock);
            state->failure = failure;
        }
        state->done = true;
    });
    poll_->start();
}

void TFcartera::Poll() {
    progreso->setValue(state_->permille.load());
    if (job_ == Job::kRepair && !state_->stop) {
        lbtotales->setText(QString("Reparando prestamos: %1 de %2...")
                               .arg(state_->loans_done.load())
                               .arg(repairing_));
    }
    if (!state_->done) return;
    poll_->stop();
    worker_.join();  // it has nothing left to do
    std::unique_ptr<loans::CheckResult> result;
    std::unique_ptr<loans::BulkResult> repairs;
    {
        std::lock_guard lock(state_->lock);
        result = std::move(state_->result);
        repairs = std::move(state_->repairs);
        failure_ = state_->failure;
    }
    const Job job = job_;
    job_ = Job::kNone;
    if (cancelled_) {
        finished_ = true;
        QDialog::reject();
        return;
    }
    SetButtons();  // the list takes the focus back from here on
    switch (job) {
        case Job::kRepair:
            ShowRepairs(std::move(repairs));
            break;
        case Job::kPreview:
            ShowPreview(std::move(repairs));
            break;
        case Job::kCheck:
        case Job::kNone:
            finished_ = true;
            ShowResult(std::move(result));
            break;
    }
    SetButtons();
}

void TFcartera::SetButtons() {
    const bool idle = job_ == Job::kNone;
    const bool listed = idle && finished_ && !flagged_.empty();
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
    flagged_ = result->Flagged();
    mmprevia->clear();
    mmprevia->setVisible(false);
    result.reset();

    gridcartera->setSortingEnabled(false);
    gridcartera->setRowCount(static_cast<int>(flagged_.size()));
    int reindex = 0;
    int fix = 0;
    for (int row = 0; row < static_cast<int>(flagged_.size()); ++row) {
        const loans::LoanCheck& loan = flagged_[static_cast<size_t>(row)];
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
        const long double difference = loans::Difference(loan);
        const QVariant cells[][2] = {
            {ui::ToQString(loan.member), ui::ToQString(loan.member)},
            {ui::ToQString(loan.name), ui::ToQString(loan.name)},
            {QString::number(loan.loan), loan.loan},
            {ui::ToQString(loans::ShownAmount(loan.documents_balance)),
             static_cast<double>(loan.documents_balance)},
            {ui::ToQString(loans::ShownAmount(loan.receivable_balance)), loan.receivable_balance},
            {ui::ToQString(loans::ShownAmount(difference)), static_cast<double>(difference)},
            {QString::number(loan.differing_instalments), loan.differing_instalments},
            {ui::ToQString(loans::RepairName(loan)), ui::ToQString(loans::RepairName(loan))},
        };
        for (int column = 0; column < 8; ++column) {
            auto* item = new Item(cells[column][0].toString(), cells[column][1], row);
            if (column != 1 && column != 7 && column != 0) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            gridcartera->setItem(row, column, item);
        }
    }
    gridcartera->setSortingEnabled(true);
    gridcartera->sortByColumn(0, Qt::AscendingOrder);
    if (!flagged_.empty()) {
        gridcartera->setCurrentCell(0, 0);
        gridcartera->setFocus();
    }
    totals_ = QString(
                  "Prestamos revisados: %1   Con diferencias: %2   Reindexar: %3   "
                  "Corregir Tabla: %4")
                  .arg(checked_)
                  .arg(flagged_.size())
                  .arg(reindex)
                  .arg(fix);
    lbtotales->setText(totals_);
    btexportar->setEnabled(true);
}

std::vector<loans::LoanCheck> TFcartera::ShownRows() const {
    std::vector<loans::LoanCheck> rows;
    for (int row = 0; row < gridcartera->rowCount(); ++row) {
        const int index = gridcartera->item(row, 0)->data(kIndexRole).toInt();
        rows.push_back(flagged_.at(static_cast<size_t>(index)));
    }
    return rows;
}

std::vector<loans::LoanCheck> TFcartera::SelectedRows() const {
    std::vector<loans::LoanCheck> rows;
    for (int row = 0; row < gridcartera->rowCount(); ++row) {
        if (!gridcartera->item(row, 0)->isSelected()) continue;
        const int index = gridcartera->item(row, 0)->data(kIndexRole).toInt();
        rows.push_back(flagged_.at(static_cast<size_t>(index)));
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
    int reindex = 0;
    int fix = 0;
    for (const loans::LoanCheck& loan : rows) {
        reindex += loan.reindex ? 1 : 0;
        fix += loan.fix_schedule ? 1 : 0;
    }
    // Latin-1: "repararán", "préstamos", "¿".
    const std::string question = "Se reparar\xE1n " + std::to_string(rows.size()) +
                                 " pr\xE9stamos: " + std::to_string(reindex) + " con Reindexar, " +
                                 std::to_string(fix) +
                                 " con Corregir Tabla. \xBF"
                                 "Desea continuar?";
    if (ui::MessageDlgConfirm(question) != ui::kModalYes) return false;
    // Before anything is written: a repair that could not be journaled is
    // not made.
    std::shared_ptr<loans::JournalFile> journal;
    try {
        journal = std::make_shared<loans::JournalFile>();
    } catch (const runtime::Exception& failure) {
        ui::ShowMessage("No se puede abrir el registro de reparaciones: " + failure.Message());
        return false;
    }
    repairing_ = static_cast<int>(rows.size());
    repaired_.reset();
    lbtotales->setText(QString("Reparando prestamos: 0 de %1...").arg(repairing_));
    RunWorker(Job::kRepair, [rows = std::move(rows), journal](db::TIBDatabase& database,
                                                              CheckState& state) {
        loans::BulkOptions options;
        options.journal = journal.get();
        options.database_name = database.DatabaseName();
        options.stop = [&state] { return state.stop.load(); };
        options.done = [&state](const loans::LoanRepair&, size_t done, size_t total) {
            state.loans_done = static_cast<int>(done);
            state.permille = static_cast<int>(done * 1000 / (total == 0 ? 1 : total));
        };
        auto result =
            std::make_unique<loans::BulkResult>(loans::RepairMany(database, rows, options));
        std::lock_guard lock(state.lock);
        state.repairs = std::move(result);
    });
    return true;
}

void TFcartera::ShowRepairs(std::unique_ptr<loans::BulkResult> result) {
    std::string text;
    if (!result) {
        text = "No se pudo reparar: " + failure_;
    } else {
        text = "Reparados: " + std::to_string(result->repaired) +
               "\nOmitidos (ya sin diferencias): " + std::to_string(result->skipped) +
               "\nFallidos: " + std::to_string(result->failed);
        for (const loans::LoanRepair& entry : result->loans) {
            if (entry.result != loans::LoanResult::kFailed) continue;
            text += "\n  " + entry.check.member + " prestamo " + std::to_string(entry.check.loan) +
                    ": " + entry.message;
        }
        text += "\nNo alcanzados: " + std::to_string(result->not_reached);
        if (!result->journal_failure.empty()) {
            text += "\nSe detuvo porque no se pudo registrar: " + result->journal_failure;
        }
        repaired_ = std::move(*result);
    }
    ui::ShowMessage(text);
    // What the list shows now is stale: check again.
    started_ = false;
    Start();
}

bool TFcartera::PreviewCurrent() {
    if (job_ != Job::kNone || !finished_) return false;
    const int row = gridcartera->currentRow();
    if (row < 0 || row >= gridcartera->rowCount()) return false;
    const int index = gridcartera->item(row, 0)->data(kIndexRole).toInt();
    std::vector<loans::LoanCheck> rows = {flagged_.at(static_cast<size_t>(index))};
    lbtotales->setText("Preparando la vista previa...");
    RunWorker(
        Job::kPreview, [rows = std::move(rows)](db::TIBDatabase& database, CheckState& state) {
            loans::BulkOptions options;
            options.simulate = true;
            auto result =
                std::make_unique<loans::BulkResult>(loans::RepairMany(database, rows, options));
            std::lock_guard lock(state.lock);
            state.repairs = std::move(result);
        });
    return true;
}

void TFcartera::ShowPreview(std::unique_ptr<loans::BulkResult> result) {
    std::string text;
    if (!result || result->loans.empty()) {
        text = "No se pudo preparar la vista previa: " + failure_;
    } else {
        const loans::LoanRepair& entry = result->loans.front();
        text = "Vista previa: socio " + entry.check.member + ", prestamo " +
               std::to_string(entry.check.loan) + ", " + loans::RepairNames(entry.asked) +
               " (no se ha escrito nada)\n";
        switch (entry.result) {
            case loans::LoanResult::kRepaired:
                for (const std::string& line : loans::ChangeLines(entry.outcome)) {
                    text += line + "\n";
                }
                break;
            case loans::LoanResult::kSkipped:
                text += "Ya no tiene diferencias: no hay nada que reparar\n";
                break;
            case loans::LoanResult::kFailed:
                text += "La reparacion fallaria: " + entry.message + "\n";
                break;
            case loans::LoanResult::kNotReached:
                break;
        }
    }
    mmprevia->setPlainText(ui::ToQString(text));
    mmprevia->setVisible(true);
    lbtotales->setText(totals_);
}

bool TFcartera::ChooseRow(int row) {
    if (chosen_ || row < 0 || row >= gridcartera->rowCount()) return false;
    const int index = gridcartera->item(row, 0)->data(kIndexRole).toInt();
    const loans::LoanCheck& loan = flagged_.at(static_cast<size_t>(index));
    chosen_ = Choice{loan.member, loan.loan};
    accept();
    return true;
}

bool TFcartera::ExportTo(const std::string& path) {
    try {
        if (loans::IsWorkbookName(path)) {
            loans::WriteWorkbook(path, flagged_);
        } else {
            loans::WriteWholeFile(path,
                                  [this](std::ostream& out) { loans::WriteCsv(out, flagged_); });
        }
    } catch (const runtime::Exception& failure) {
        ui::ShowMessage(failure.Message());
        return false;
    }
    return true;
}

void TFcartera::Export() {
    const QString path = QFileDialog::getSaveFileName(this, "Exportar", "revision-cartera.csv",
                                                      "CSV (*.csv);;Libro de Excel (*.xlsx)");
    if (!path.isEmpty()) ExportTo(path.toLocal8Bit().toStdString());
}

// Cancel (or Escape, or the close box) while the check runs cancels its
// statements; the dialog closes once the worker has let go of its
// connection, which the next poll sees.
void TFcartera::reject() {
    if (job_ == Job::kRepair && !state_->done) {
        // Between loans: the one under way finishes as a whole.
        state_->stop = true;
        btcancelar->setEnabled(false);
        lbtotales->setText("Deteniendo las reparaciones...");
        return;
    }
    if (worker_.joinable() && !state_->done) {
        cancelled_ = true;
        state_->canceller.Cancel();
        btcancelar->setEnabled(false);
        lbtotales->setText("Cancelando...");
        return;
    }
    QDialog::reject();
}

}  // namespace portfolio
