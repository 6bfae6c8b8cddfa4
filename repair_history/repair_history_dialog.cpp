#include "repair_history/repair_history_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "repair_history/repair_records_model.h"
#include "repair_history/requests_model.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/program_font.h"
#include "ui/sorted_list.h"
#include "ui/window_memory.h"

namespace repair_history {

bool Undoable(const loans::RepairRecord& record) {
    return !record.rolled_back && !record.id.empty() &&
           (record.undo_kept || !record.undo.after_fingerprint.empty());
}

TFhistorial::TFhistorial(std::string member, int32_t loan, loans::RecordStore& records, Undo undo,
                         QWidget* parent, Requests requests)
    : QDialog(parent),
      read_requests_(std::move(requests)),
      member_(std::move(member)),
      loan_(loan),
      records_store_(records),
      undo_(std::move(undo)) {
    setObjectName("Fhistorial");
    setWindowTitle("Historial de reparaciones");
    setFont(ui::ProgramFont());
    resize(820, 320);

    lbprestamo = new QLabel(
        ui::ToQString("Socio: " + member_ + "   Préstamo: " + std::to_string(loan_)), this);
    lbprestamo->setObjectName("lbprestamo");
    lborigen = new QLabel(ui::ToQString(records_store_.Where()), this);
    lborigen->setObjectName("lborigen");

    // Listed as the journal gives them, newest first: the list is not sorted.
    records_ = new RepairRecordsModel(this);
    listed_ = new ui::SortedList(this);
    listed_->setSourceModel(records_);
    gridhistorial = new QTableView(this);
    gridhistorial->setObjectName("gridhistorial");
    gridhistorial->setModel(listed_);
    gridhistorial->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridhistorial->setSelectionMode(QAbstractItemView::SingleSelection);
    gridhistorial->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridhistorial->verticalHeader()->setDefaultSectionSize(17);
    gridhistorial->horizontalHeader()->setStretchLastSection(true);
    connect(gridhistorial->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { SetButtons(); });

    btdeshacer = new QPushButton("&Deshacer", this);
    btdeshacer->setObjectName("btdeshacer");
    btdeshacer->setToolTip("Dejar el préstamo como estaba antes de la reparación seleccionada");
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
    // Latin-1: "aprobación", "préstamo".
    lbsolicitudes =
        new QLabel(QString::fromLatin1("Solicitudes de aprobaci\xF3n de este pr\xE9stamo"), this);
    lbsolicitudes->setObjectName("lbsolicitudes");
    requests_ = new RequestsModel(this);
    gridsolicitudes = new QTableView(this);
    gridsolicitudes->setObjectName("gridsolicitudes");
    gridsolicitudes->setModel(requests_);
    gridsolicitudes->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridsolicitudes->setSelectionMode(QAbstractItemView::SingleSelection);
    gridsolicitudes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridsolicitudes->verticalHeader()->setDefaultSectionSize(17);
    gridsolicitudes->horizontalHeader()->setStretchLastSection(true);
    lbsolicitudes->setVisible(static_cast<bool>(read_requests_));
    gridsolicitudes->setVisible(static_cast<bool>(read_requests_));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbprestamo);
    layout->addWidget(lborigen);
    layout->addWidget(gridhistorial, 2);
    layout->addWidget(lbsolicitudes);
    layout->addWidget(gridsolicitudes, 1);
    layout->addLayout(buttons);

    Reload();
    // Wide enough for every column's whole text, the last one included
    // (it stretches to the edge, never below what it holds).
    const QAbstractItemView& view = *gridhistorial;
    int columns = 0;
    for (int column = 0; column < listed_->columnCount(); ++column) {
        columns += std::max(view.sizeHintForColumn(column),
                            gridhistorial->horizontalHeader()->sectionSizeHint(column));
    }
    const QMargins margins = layout->contentsMargins();
    const int frame = 2 * gridhistorial->frameWidth() +
                      gridhistorial->verticalHeader()->sizeHint().width() +
                      gridhistorial->verticalScrollBar()->sizeHint().width();
    resize(std::max(820, columns + frame + margins.left() + margins.right() + 8),
           read_requests_ ? 480 : 320);
    // The last run's size and widths, once the defaults are known.
    remembered_ = new ui::RememberedLayout(*this, QStringLiteral("historial"));
    remembered_->Add(*gridhistorial, QStringLiteral("lista"));
}

const std::vector<loans::RepairRecord>& TFhistorial::Shown() const {
    return records_->Records();
}

void TFhistorial::Reload() {
    records_->SetRecords(records_store_.RecordsOf(member_, loan_));
    if (read_requests_) {
        requests_->SetRequests(read_requests_());
        gridsolicitudes->resizeColumnsToContents();
    }
    // Whole titles and texts: the columns fit what they hold. Once the
    // analyst may have set widths, a column only grows to a longer text
    // (an undo's "Deshecha el ...").
    std::vector<int> before;
    for (int column = 0; column < listed_->columnCount(); ++column) {
        before.push_back(gridhistorial->columnWidth(column));
    }
    gridhistorial->resizeColumnsToContents();
    for (int column = 0; remembered_ != nullptr && column < listed_->columnCount(); ++column) {
        const size_t kept = static_cast<size_t>(column);
        if (kept < before.size() && gridhistorial->columnWidth(column) < before[kept]) {
            gridhistorial->setColumnWidth(column, before[kept]);
        }
    }
    if (!Shown().empty()) gridhistorial->setCurrentIndex(listed_->index(0, 0));
    SetButtons();
}

void TFhistorial::SetButtons() {
    const int row = gridhistorial->currentIndex().row();
    btdeshacer->setEnabled(row >= 0 && row < static_cast<int>(Shown().size()) &&
                           Undoable(Shown()[static_cast<size_t>(row)]) &&
                           !records_->Undone(static_cast<size_t>(row)));
}

bool TFhistorial::UndoCurrent() {
    const int row = gridhistorial->currentIndex().row();
    if (row < 0 || row >= static_cast<int>(Shown().size())) return false;
    const loans::RepairRecord record = Shown()[static_cast<size_t>(row)];
    if (!Undoable(record) || records_->Undone(static_cast<size_t>(row))) return false;
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
