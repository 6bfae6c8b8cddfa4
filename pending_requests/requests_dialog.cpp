#include "pending_requests/requests_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "portfolio/preview_model.h"
#include "repair_history/requests_model.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"
#include "ui/program_font.h"

namespace pending_requests {

TFsolicitudes::TFsolicitudes(loans::Approvals& approvals, Approve approve, QWidget* parent)
    : QDialog(parent), approvals_(approvals), approve_(std::move(approve)) {
    setObjectName("Fsolicitudes");
    setWindowTitle("Solicitudes pendientes");
    setFont(ui::ProgramFont());
    resize(900, 560);

    lbpendientes = new QLabel(this);
    lbpendientes->setObjectName("lbpendientes");

    requests_ = new repair_history::RequestsModel(this);
    gridsolicitudes = new QTableView(this);
    gridsolicitudes->setObjectName("gridsolicitudes");
    gridsolicitudes->setModel(requests_);
    gridsolicitudes->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridsolicitudes->setSelectionMode(QAbstractItemView::SingleSelection);
    gridsolicitudes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridsolicitudes->verticalHeader()->setDefaultSectionSize(17);
    gridsolicitudes->horizontalHeader()->setStretchLastSection(true);
    connect(gridsolicitudes->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { ui::Guard([this] { ShowCurrent(); }); });

    // What the current request would change, as the portfolio dialog's
    // preview shows a repair.
    preview_ = new portfolio::PreviewModel(this);
    gridprevia = new QTableView(this);
    gridprevia->setObjectName("gridprevia");
    gridprevia->setModel(preview_);
    gridprevia->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridprevia->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridprevia->verticalHeader()->setVisible(false);
    gridprevia->verticalHeader()->setDefaultSectionSize(17);
    gridprevia->horizontalHeader()->setSectionResizeMode(portfolio::PreviewModel::kTextColumn,
                                                         QHeaderView::Stretch);
    gridprevia->setWordWrap(false);

    btaprobar = new QPushButton("&Aprobar", this);
    btaprobar->setObjectName("btaprobar");
    // Latin-1: "reparación", "revisión".
    btaprobar->setToolTip(
        QString::fromLatin1("Hacer la reparaci\xF3n solicitada, si el pr\xE9stamo no cambi\xF3"));
    btaprobar->setAutoDefault(false);
    connect(btaprobar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { ApproveCurrent(); }); });
    btrechazar = new QPushButton("Rec&hazar", this);
    btrechazar->setObjectName("btrechazar");
    btrechazar->setToolTip("Rechazar la solicitud, con su motivo");
    btrechazar->setAutoDefault(false);
    connect(btrechazar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { RejectCurrent(); }); });
    btcerrar = new QPushButton("&Cerrar", this);
    btcerrar->setObjectName("btcerrar");
    btcerrar->setAutoDefault(false);
    connect(btcerrar, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btaprobar);
    buttons->addWidget(btrechazar);
    buttons->addWidget(btcerrar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbpendientes);
    layout->addWidget(gridsolicitudes, 1);
    layout->addWidget(gridprevia, 1);
    layout->addLayout(buttons);

    Reload();
}

void TFsolicitudes::Reload() {
    requests_->SetRequests(approvals_.Pending());
    const size_t count = requests_->Requests().size();
    // Latin-1: "aprobación".
    lbpendientes->setText(
        QString::fromLatin1("Solicitudes pendientes de aprobaci\xF3n: %1").arg(count));
    gridsolicitudes->resizeColumnsToContents();
    if (count > 0) {
        gridsolicitudes->setCurrentIndex(requests_->index(0, 0));
    } else {
        preview_->SetLines({});
    }
    ShowCurrent();
}

std::optional<loans::Request> TFsolicitudes::Current() const {
    const int row = gridsolicitudes->currentIndex().row();
    if (row < 0 || row >= static_cast<int>(requests_->Requests().size())) return std::nullopt;
    return requests_->Requests()[static_cast<size_t>(row)];
}

void TFsolicitudes::ShowCurrent() {
    SetButtons();
    const std::optional<loans::Request> current = Current();
    if (!current) {
        preview_->SetLines({});
        return;
    }
    // Read whole, with what it would change, when it is looked at.
    const std::optional<loans::Request> whole = approvals_.Find(current->id);
    preview_->SetLines(whole ? loans::RequestPreview(*whole) : std::vector<loans::PreviewLine>{});
    gridprevia->clearSpans();
    for (int row = 0; row < preview_->rowCount(); ++row) {
        if (preview_->Spanned(row)) {
            gridprevia->setSpan(
                row, portfolio::PreviewModel::kTextColumn, 1,
                portfolio::PreviewModel::kColumns - portfolio::PreviewModel::kTextColumn);
        }
    }
    gridprevia->resizeColumnsToContents();
}

void TFsolicitudes::SetButtons() {
    const bool chosen = Current().has_value();
    btaprobar->setEnabled(chosen);
    btrechazar->setEnabled(chosen);
}

bool TFsolicitudes::ApproveCurrent() {
    const std::optional<loans::Request> current = Current();
    if (!current) return false;
    // Read again whatever happened: a refusal may follow someone else's
    // resolution, which the list should then show.
    bool done = false;
    try {
        done = approve_(*current);
    } catch (...) {
        Reload();
        throw;
    }
    Reload();
    return done;
}

bool TFsolicitudes::RejectCurrent() {
    const std::optional<loans::Request> current = Current();
    if (!current) return false;
    // Latin-1: "préstamo".
    const std::optional<std::string> reason = ui::AskText(
        "Rechazar la solicitud", "Motivo del rechazo de la solicitud " +
                                     std::to_string(current->id) + " (" + current->repair +
                                     " del pr\xE9stamo " + std::to_string(current->loan) + "):");
    if (!reason) return false;
    try {
        approvals_.Reject(current->id, *reason);
    } catch (...) {
        Reload();
        throw;
    }
    Reload();
    ui::ShowMessage("Solicitud " + std::to_string(current->id) + " rechazada.");
    return true;
}

}  // namespace pending_requests
