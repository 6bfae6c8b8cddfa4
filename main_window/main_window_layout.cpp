// The window's controls, database components and wiring.
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "db/errors.h"
#include "loans/rules/connection_profile.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "main_window/result_sets/result_sets.h"
#include "ui/exception_report.h"
#include "ui/focus_navigation.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/program_font.h"
#include "ui/text_box_limits.h"
#include "ui/wait_cursor.h"
#include "ui/window_memory.h"

namespace main_window {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& text, int x, int y,
                  int w = -1, int h = -1, bool bold = false) {
    auto* label = new QLabel(ui::ToQString(text), parent);
    label->setObjectName(name);
    label->setFont(ui::ProgramFont(11, bold));
    label->setTextFormat(Qt::PlainText);
    if (w < 0) {
        label->adjustSize();
        label->move(x, y);
    } else {
        label->setGeometry(x, y, w, h);
    }
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int x,
                        const char* hint) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(name);
    button->setGeometry(x, 80, 101, 49);
    button->setToolTip(QString::fromLatin1(hint));
    return button;
}

}  // namespace

TFmain::TFmain(QWidget* parent) : QWidget(parent) {
    setObjectName("Fmain");
    setWindowTitle("QuilmaCOOP - Analisis de Socios");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(1089, 669);
    setFont(ui::ProgramFont());
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    ConfigureDatabase();
    // A connection known to be gone is closed at once, without trying
    // anything more on it; the next action opens it again.
    ui::SetFailureObserver([this](const std::exception_ptr& failure) {
        if (db::IsConnectionLost(failure)) IBDatabase1.ForcedClose();
    });
    ui::ShowWaitCursorDuringDatabaseCalls(true);
    CreateControls();
    CreateGrids();
    CreatePortfolioShortcut();
    CreateHistoryShortcut();
    CreateRequestsShortcut();
    CreatePrintShortcut();
    idle_release_ = new QTimer(this);
    idle_release_->setSingleShot(true);
    idle_release_->setInterval(kIdleReleaseMs);
    connect(idle_release_, &QTimer::timeout, this, [this] { IBDatabase1.ReleaseIdleStatements(); });
    idle_release_->start();
    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);
}

TFmain::~TFmain() {
    ui::SetFailureObserver(nullptr);
    ui::ShowWaitCursorDuringDatabaseCalls(false);
    qApp->removeEventFilter(this);
    // The grids go before the data sources they follow.
    for (ui::TDBGrid* grid : {DBGrid1, DBGrid2, DBGrid3}) grid->SetDataSource(nullptr);
    sqsocios.SetDataSet(nullptr);
}

void TFmain::ConfigureDatabase() {
    loans::ConfigureProgramConnection(IBDatabase1, IBTransaction1, kDefaultDatabaseName);
    for (db::TIBQuery* query : {&IBQuery1, &IBQuery2, &qsocios, &qpres, &qcuotas, &qcxc}) {
        query->SetDatabase(&IBDatabase1);
        query->SetTransaction(&IBTransaction1);
        query->SetBufferChunks(1000);
    }
    qsocios.SQL().Add("select * from clientes");
    qpres.SQL().Add("select * from solicitudpres");
    qcuotas.SQL().Add("select * from renglones");
    DeclareMemberFields(qsocios);
    DeclareLoanFields(qpres);
    DeclareScheduleFields(qcuotas);
    DeclareDocumentFields(qcxc);
    qpres.AfterScroll = [this](db::TIBQuery&) { ui::Guard([this] { qpresAfterScroll(); }); };
    sqsocios.SetDataSet(&qsocios);
    sqpres.SetDataSet(&qpres);
    sqcuotas.SetDataSet(&qcuotas);
    sqcxc.SetDataSet(&qcxc);
}

void TFmain::CreateControls() {
    Label1 = MakeLabel(this, "Label1", "Socio:", 16, 24, 37, 13, true);
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(navy);

    edsocio = new TEdit(this);
    edsocio->setObjectName("edsocio");
    edsocio->setGeometry(56, 22, 73, 21);
    ui::LimitToColumn(edsocio, 10);  // CLT_CODIGO
    edsocio->setToolTip(QString::fromLatin1(
        "Introduzca el codigo del socio o haga <Doble Click> para buscar por nombre\n"
        "F2: Revisi\xF3n de cartera\n"
        "F3: Historial de reparaciones del pr\xE9stamo\n"
        "F4: Solicitudes pendientes de aprobaci\xF3n\n"
        "Ctrl+0: los anchos de columna de la primera vez"));
    edsocio->OnExit = [this] { ui::Guard([this] { edsocioExit(); }); };
    edsocio->OnDblClick = [this] { ui::Guard([this] { edsocioDblClick(); }); };

    lbmensajes = MakeLabel(this, "lbmensajes", " *** SOCIO INACTIVO *** ", 152, 22, 127, 16);
    lbmensajes->setFont(ui::ProgramFont(13, true, "Arial Narrow"));
    // Style sheets, because a style may ignore a label's own palette.
    lbmensajes->setStyleSheet("QLabel { background-color: rgb(255, 0, 0); color: white; }");
    lbmensajes->adjustSize();
    lbmensajes->hide();

    GroupBox1 = new QGroupBox(QStringLiteral("Informacion del socio"), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(16, 56, 617, 81);
    Label2 = MakeLabel(GroupBox1, "Label2", "Nombre:", 8, 16, -1, -1, true);
    Label2->setFont(ui::ProgramFont(11, true));
    Label2->adjustSize();
    lbnombre = MakeLabel(GroupBox1, "lbnombre", "", 56, 16, 545, 13);
    Label4 = MakeLabel(GroupBox1, "Label4", "Cedula:", 8, 38, -1, -1, true);
    Label4->setFont(ui::ProgramFont(11, true));
    Label4->adjustSize();
    lbcedula = MakeLabel(GroupBox1, "lbcedula", "", 56, 38, 137, 13);
    Label6 = MakeLabel(GroupBox1, "Label6", "Empresa:", 224, 38, -1, -1, true);
    Label6->setFont(ui::ProgramFont(11, true));
    Label6->adjustSize();
    lbempresa = MakeLabel(GroupBox1, "lbempresa", "", 280, 38, 321, 13);
    Label3 = MakeLabel(GroupBox1, "Label3", "Balance Socio CXC:", 8, 60, -1, -1, true);
    Label3->setFont(ui::ProgramFont(11, true));
    Label3->adjustSize();
    lbbalance = MakeLabel(GroupBox1, "lbbalance", "0.00", 128, 60);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(16, 144, 1057, 481);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, QStringLiteral("Prestamos"));

    lbtot1 = MakeLabel(TabSheet1, "lbtot1", "", 608, 392, 430, 13, true);
    lbtot2 = MakeLabel(TabSheet1, "lbtot2", "", 608, 409, 430, 13, true);
    lbtot3 = MakeLabel(TabSheet1, "lbtot3", "", 608, 426, 215, 13, true);
    for (QLabel* total : {lbtot1, lbtot2, lbtot3}) total->setFont(ui::ProgramFont(11, true));
    // Every payment kind at once is longer than the line: it wraps.
    for (QLabel* total : {lbtot1, lbtot2}) total->setWordWrap(true);
    lbbal = MakeLabel(TabSheet1, "lbbal", "Balance CXC", 948, 426, 91, 16);
    lbbal->setFont(ui::ProgramFont(13, true));
    lbbal->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbbal->setStyleSheet("QLabel { background-color: rgb(255, 128, 0); color: white; }");
    SetBalanceLabel("Balance CXC");

    btlimpiar = MakeButton(this, "btlimpiar", "&Limpiar", 640, "Limpiar el formulario");
    btreindexar = MakeButton(this, "btreindexar", "&Reindexar", 749,
                             "Recrear el archivo de movimientos cxc a partir de los documentos "
                             "originales");
    btcorregir = MakeButton(this, "btcorregir", "&Corregir Tabla", 858,
                            "Corrige la tabla de amortizacion o plan de pago acorde con los datos "
                            "de los documentos aplicados");
    btsalir = MakeButton(this, "btsalir", "&Salir", 968, "Salida del Program");
    connect(btlimpiar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btlimpiarClick(); }); });
    connect(btsalir, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btsalirClick(); }); });
    connect(btreindexar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btreindexarClick(); }); });
    connect(btcorregir, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btcorregirClick(); }); });

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setGeometry(0, 669 - 19, 1089, 19);
    StatusBar1->setSizeGripEnabled(false);
    const char* panels[][2] = {{"Modulo de analisis balances cxc Socios", "500"},
                               {"Version 1.0.01 (Rel. 5.12.24)", "300"}};
    for (const auto& panel : panels) {
        auto* text = new QLabel(QString::fromLatin1(panel[0]));
        text->setAlignment(Qt::AlignCenter);
        text->setFixedWidth(std::atoi(panel[1]));
        text->setFrameShape(QFrame::Panel);
        text->setFrameShadow(QFrame::Sunken);
        StatusBar1->addWidget(text);
    }
    // Beside the two panels of the layout, in the room the bar leaves.
    lbpendiente = new QLabel(StatusBar1);
    lbpendiente->setObjectName("lbpendiente");
    lbpendiente->setStyleSheet("QLabel { color: rgb(128, 0, 0); }");
    StatusBar1->addWidget(lbpendiente, 1);
    lbpendiente->hide();
}

void TFmain::CreateGrids() {
    auto make_grid = [this](const char* name, db::TDataSource& source, QRect place,
                            const char* hint) {
        auto* grid = new ui::TDBGrid(TabSheet1);
        grid->setObjectName(name);
        grid->setGeometry(place);
        grid->setToolTip(QString::fromLatin1(hint));
        grid->TitleFont = ui::ProgramFont();
        grid->SetDataSource(&source);
        return grid;
    };
    DBGrid1 = make_grid("DBGrid1", sqpres, {8, 8, 590, 121}, "Lista de Prestamos");
    AddLoanColumns(*DBGrid1);

    DBGrid2 =
        make_grid("DBGrid2", sqcuotas, {8, 144, 590, 297}, "Plan de pagos (Tabla de amortizacion)");
    AddScheduleColumns(*DBGrid2);

    DBGrid3 = make_grid("DBGrid3", sqcxc, {608, 8, 430, 377}, "Documentos aplicados al prestamo");
    AddDocumentColumns(*DBGrid3);
    DBGrid3->OnDrawColumnCell = [this](ui::TDBGrid& sender, const QRect& rect, int data_col,
                                       ui::TColumn& column, ui::TGridDrawState state) {
        ui::Guard([&] { DBGrid3DrawColumnCell(sender, rect, data_col, column, state); });
    };

    // The widths the analyst dragged the columns to, from the last run; the
    // window itself keeps its size.
    auto* remembered = new ui::RememberedLayout(*this, QStringLiteral("principal"), false);
    remembered->Add(*DBGrid1, QStringLiteral("prestamos"));
    remembered->Add(*DBGrid2, QStringLiteral("plan_de_pagos"));
    remembered->Add(*DBGrid3, QStringLiteral("documentos"));

    // Tab order: btsalir comes before btcorregir although it stands right of it.
    setTabOrder(edsocio, PageControl1);
    setTabOrder(PageControl1, DBGrid1);
    setTabOrder(DBGrid1, DBGrid2);
    setTabOrder(DBGrid2, DBGrid3);
    setTabOrder(DBGrid3, btlimpiar);
    setTabOrder(btlimpiar, btreindexar);
    setTabOrder(btreindexar, btsalir);
    setTabOrder(btsalir, btcorregir);
}

void TFmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_once_) return;
    shown_once_ = true;
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    if (OnFormShow) ui::Guard([this] { OnFormShow(); });
}

bool TFmain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) {
        idle_release_->start();
    }
    if (event->type() == QEvent::KeyPress && OnFormKeyDown) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only the first receiver: a key the focused control ignores travels
        // on to its parents and must not be seen twice.
        const QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        if (widget == first && widget->window() == this && isActiveWindow()) {
            // A focused button takes Enter first, as in the search dialog:
            // it is pressed, and the focus stays on it.
            const int qt_key = static_cast<QKeyEvent*>(event)->key();
            if ((qt_key == Qt::Key_Return || qt_key == Qt::Key_Enter) &&
                qobject_cast<QPushButton*>(widget) != nullptr) {
                static_cast<QPushButton*>(widget)->click();
                return true;
            }
            const int key = ui::VirtualKey(static_cast<QKeyEvent*>(event)->key());
            ui::Guard([this, key] { OnFormKeyDown(key); });
            // Qt buttons move the focus among themselves on arrow keys; here
            // the arrows already move it, once.
            if ((key == ui::kVkUp || key == ui::kVkDown) &&
                qobject_cast<QAbstractButton*>(widget) != nullptr) {
                return true;
            }
        }
    }
    return false;  // the key still reaches the focused control
}

}  // namespace main_window
