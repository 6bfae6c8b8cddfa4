#include "portfolio/portfolio_dialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
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
#include "loans/portfolio_workbook.h"
#include "loans/reconciliation.h"
#include "loans/report_file.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/latin1_text.h"
#include "ui/program_font.h"

namespace portfolio {

TFcartera* Fcartera = nullptr;

struct TFcartera::CheckState {
    std::atomic<int> permille{0};
    db::CallCanceller canceller;
    std::mutex lock;
    std::unique_ptr<loans::CheckResult> result;  // under the lock
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
    gridcartera->setSelectionMode(QAbstractItemView::SingleSelection);
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
    btcancelar = new QPushButton("&Cancelar", this);
    btcancelar->setObjectName("btcancelar");
    btcancelar->setAutoDefault(false);
    connect(btcancelar, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lbtotales, 1);
    buttons->addWidget(btexportar);
    buttons->addWidget(btcancelar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progreso);
    layout->addWidget(gridcartera, 1);
    layout->addLayout(buttons);

    poll_ = new QTimer(this);
    poll_->setInterval(50);
    connect(poll_, &QTimer::timeout, this, [this] { Poll(); });
}

TFcartera::~TFcartera() {
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
    // The worker owns its connection from start to end: nothing of the
    // data layer is shared with the GUI thread.
    worker_ = std::thread([state = state_, setup = setup_] {
        std::unique_ptr<loans::CheckResult> result;
        std::string failure;
        try {
            db::TIBDatabase database("PortfolioDatabase");
            db::TIBTransaction transaction("PortfolioDefault");
            setup(database, transaction);
            loans::CheckOptions options;
            options.canceller = &state->canceller;
            result = std::make_unique<loans::CheckResult>(loans::RunCheck(
                database,
                [&state](double done) {
                    state->permille = static_cast<int>(done * 1000);
                    return true;
                },
                options));
        } catch (const loans::ECheckCancelled&) {
        } catch (const std::exception& error) {
            failure = error.what();
            if (failure.empty()) failure = "Error";
        }
        {
            std::lock_guard lock(state->lock);
            state->result = std::move(result);
            state->failure = failure;
        }
        state->done = true;
    });
    poll_->start();
}

void TFcartera::Poll() {
    progreso->setValue(state_->permille.load());
    if (!state_->done) return;
    poll_->stop();
    worker_.join();  // it has nothing left to do
    std::unique_ptr<loans::CheckResult> result;
    {
        std::lock_guard lock(state_->lock);
        result = std::move(state_->result);
        failure_ = state_->failure;
    }
    finished_ = true;
    if (cancelled_) {
        QDialog::reject();
        return;
    }
    ShowResult(std::move(result));
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
    lbtotales->setText(QString("Prestamos revisados: %1   Con diferencias: %2   Reindexar: %3   "
                               "Corregir Tabla: %4")
                           .arg(checked_)
                           .arg(flagged_.size())
                           .arg(reindex)
                           .arg(fix));
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
