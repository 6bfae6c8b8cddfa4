#include "repair_history/repair_history_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>
#include <map>

#include "formats/date_format.h"
#include "formats/date_time.h"
#include "loans/rules/reconciliation.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/program_font.h"

namespace repair_history {

TFhistorial* Fhistorial = nullptr;

namespace {

const char* const kTitles[] = {"FECHA",     "USUARIO",           "REPARACION",
                               "RESULTADO", "BALANCE CXC ANTES", "BALANCE CXC DESPUES",
                               "FILAS"};

// The journal keeps UTC; people read their own clock, in the program's
// date and time formats.
std::string LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    return formats::FormatDefaultDateTime(formats::EncodeDateTime(formats::PartsOf(parts)));
}

// What became of the record: rolled back (the server's words in the
// tooltip), undone later by another record, or standing.
std::string Outcome(const loans::RepairRecord& record,
                    const std::map<std::string, const loans::RepairRecord*>& undone_by) {
    if (record.rolled_back) return "Revertida";
    const auto undo = undone_by.find(record.id);
    if (undo != undone_by.end()) return "Deshecha el " + LocalTime(undo->second->time);
    return "Realizada";
}

QTableWidgetItem* Cell(const std::string& text, bool right = false) {
    auto* item = new QTableWidgetItem(ui::ToQString(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (right) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

bool Undoable(const loans::RepairRecord& record) {
    return !record.rolled_back && !record.id.empty() && !record.undo.after_fingerprint.empty();
}

TFhistorial::TFhistorial(std::string member, int32_t loan, Undo undo, QWidget* parent)
    : QDialog(parent), member_(std::move(member)), loan_(loan), undo_(std::move(undo)) {
    setObjectName("Fhistorial");
    setWindowTitle("Historial de reparaciones");
    setFont(ui::ProgramFont());
    resize(820, 320);

    lbprestamo = new QLabel(
        ui::ToQString("Socio: " + member_ + "   Prestamo: " + std::to_string(loan_)), this);
    lbprestamo->setObjectName("lbprestamo");

    gridhistorial = new QTableWidget(0, static_cast<int>(std::size(kTitles)), this);
    gridhistorial->setObjectName("gridhistorial");
    QStringList titles;
    for (const char* title : kTitles) titles << QString::fromLatin1(title);
    gridhistorial->setHorizontalHeaderLabels(titles);
    gridhistorial->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridhistorial->setSelectionMode(QAbstractItemView::SingleSelection);
    gridhistorial->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridhistorial->verticalHeader()->setDefaultSectionSize(17);
    gridhistorial->horizontalHeader()->setStretchLastSection(true);
    gridhistorial->setColumnWidth(0, 140);
    connect(gridhistorial, &QTableWidget::currentCellChanged, this, [this] { SetButtons(); });

    btdeshacer = new QPushButton("&Deshacer", this);
    btdeshacer->setObjectName("btdeshacer");
    btdeshacer->setToolTip("Dejar el prestamo como estaba antes de la reparacion seleccionada");
    btdeshacer->setAutoDefault(false);
    connect(btdeshacer, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { UndoCurrent(); }); });
    btcerrar = new QPushButton("&Cerrar", this);
    btcerrar->setObjectName("btcerrar");
    btcerrar->setAutoDefault(false);
    connect(btcerrar, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btdeshacer);
    buttons->addWidget(btcerrar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbprestamo);
    layout->addWidget(gridhistorial, 1);
    layout->addLayout(buttons);

    Reload();
}

void TFhistorial::Reload() {
    std::vector<loans::RepairRecord> records = loans::RecordsOf(member_, loan_);
    std::map<std::string, const loans::RepairRecord*> undone_by;
    for (const loans::RepairRecord& record : records) {
        if (!record.undoes.empty() && !record.rolled_back) undone_by[record.undoes] = &record;
    }
    gridhistorial->setRowCount(static_cast<int>(records.size()));
    // Newest first: the last repair is the one an analyst looks for.
    for (size_t i = 0; i < records.size(); ++i) {
        const loans::RepairRecord& record = records[records.size() - 1 - i];
        const int row = static_cast<int>(i);
        gridhistorial->setItem(row, 0, Cell(LocalTime(record.time)));
        gridhistorial->setItem(row, 1, Cell(record.user));
        gridhistorial->setItem(row, 2, Cell(record.repair));
        QTableWidgetItem* outcome = Cell(Outcome(record, undone_by));
        if (record.rolled_back) outcome->setToolTip(ui::ToQString(record.message));
        gridhistorial->setItem(row, 3, outcome);
        gridhistorial->setItem(row, 4,
                               Cell(loans::ShownAmount(record.receivable_balance_before), true));
        gridhistorial->setItem(row, 5,
                               Cell(loans::ShownAmount(record.receivable_balance_after), true));
        gridhistorial->setItem(row, 6,
                               Cell(std::to_string(record.rows_deleted) + " borradas, " +
                                    std::to_string(record.rows_inserted) + " insertadas, " +
                                    std::to_string(record.rows_updated) + " actualizadas"));
    }
    records_.assign(records.rbegin(), records.rend());
    if (!records_.empty()) gridhistorial->setCurrentCell(0, 0);
    SetButtons();
}

void TFhistorial::SetButtons() {
    const int row = gridhistorial->currentRow();
    btdeshacer->setEnabled(row >= 0 && row < static_cast<int>(records_.size()) &&
                           Undoable(records_[static_cast<size_t>(row)]));
}

bool TFhistorial::UndoCurrent() {
    const int row = gridhistorial->currentRow();
    if (row < 0 || row >= static_cast<int>(records_.size())) return false;
    const loans::RepairRecord record = records_[static_cast<size_t>(row)];
    if (!Undoable(record)) return false;
    // Read again whatever happened: a refusal may follow someone else's
    // undo, which the list should then show.
    bool done = false;
    try {
        done = undo_(record);
    } catch (...) {
        Reload();
        throw;
    }
    Reload();
    return done;
}

}  // namespace repair_history
