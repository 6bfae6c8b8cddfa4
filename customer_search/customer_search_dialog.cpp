#include "customer_search/customer_search_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <map>
#include <string>

#include "ui/dialog_responder.h"
#include "ui/focus_navigation.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"
#include "ui/program_font.h"
#include "ui/text_box_limits.h"
#include "ui/window_memory.h"

static void InitSearchResources() {
    Q_INIT_RESOURCE(resources);
}

namespace customer_search {

TFclientes* Fclientes = nullptr;

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(name);
    label->setFont(ui::ProgramFont(11, true));
    QPalette navy = label->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    label->setPalette(navy);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* glyph,
                        int x, int y) {
    auto* button = new QPushButton(ButtonPicture(glyph), QString::fromLatin1(caption), parent);
    button->setObjectName(name);
    button->setGeometry(x, y, 75, 25);
    // Neither default nor cancel: Enter presses only the focused button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

TFclientes::TFclientes(db::TIBQuery& qsocios, db::TDataSource& sqsocios, bool& cancelado,
                       QWidget* parent)
    : QDialog(parent), qsocios_(qsocios), cancelado_(cancelado) {
    InitSearchResources();
    setObjectName("Fclientes");
    setWindowTitle("Quilma 2.0 - Consulta de Clientes");
    // A fixed frame with no title-bar buttons at all: only the dialog's own
    // buttons close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(800, 553);
    setFont(ui::ProgramFont());

    Label1 = MakeLabel(this, "Label1", "Codigo", 16, 24);
    Label2 = MakeLabel(this, "Label2", "Nombres", 16, 48);
    Label3 = MakeLabel(this, "Label3", "Apellidos", 16, 72);
    Label4 = MakeLabel(this, "Label4", "Telefono", 16, 96);
    Label5 = MakeLabel(this, "Label5", "Cedula", 160, 96);
    Label6 = MakeLabel(this, "Label6", "Empresa", 332, 96);
    // Each box holds no more than the column it is compared with: CLT_CODIGO,
    // CLT_NOMBRESYAPELLIDOS (both name boxes), CLT_TELRES, CLT_CEDULA and
    // EMPRESAS.NOMBRE.
    edcodigo = MakeEdit("edcodigo", 76, 23, 121, 10);
    ednombres = MakeEdit("ednombres", 76, 47, 237, 250);
    edapellidos = MakeEdit("edapellidos", 76, 71, 237, 250);
    edtelefono = MakeEdit("edtelefono", 76, 95, 61, 15);
    edcedula = MakeEdit("edcedula", 204, 95, 109, 15);
    edempresa = MakeEdit("edempresa", 387, 95, 183, 100);

    btbuscar = MakeButton(this, "btbuscar", "&Buscar", "buscar", 616, 56);
    btlimpiar = MakeButton(this, "btlimpiar", "&Limpiar", "limpiar", 616, 88);
    btsalir = MakeButton(this, "btsalir", "&Salir", "salir", 704, 88);
    btescoger = MakeButton(this, "btescoger", "&Escoger", "escoger", 704, 56);
    connect(btbuscar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btbuscarClick(); }); });
    connect(btlimpiar, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btlimpiarClick(); }); });
    connect(btsalir, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btsalirClick(); }); });
    connect(btescoger, &QPushButton::clicked, this,
            [this] { ui::Guard([this] { btescogerClick(); }); });

    gridclt = new ui::TDBGrid(this);
    gridclt->setObjectName("gridclt");
    gridclt->setGeometry(13, 124, 772, 413);
    gridclt->Color = palette().color(QPalette::ToolTipBase);
    gridclt->FixedColor = Qt::yellow;
    gridclt->TitleFont = ui::ProgramFont(11, true);
    const struct {
        const char* field;
        const char* title;
        int width;
    } columns[] = {
        {"CLT_CODIGO", "Codigo", -1},    {"CLT_APELLIDOS", "Apellidos", 206},
        {"CLT_NOMBRES", "Nombres", 208}, {"CLT_BALANCE", "Balance  ", 78},
        {"CLT_CEDULA", "Cedula", 127},   {"CLT_ESTATUS", "Estatus", -1},
    };
    for (const auto& c : columns) {
        ui::TColumn& column = gridclt->AddColumn(c.field, c.title, c.width);
        column.Title.Alignment = db::TAlignment::taCenter;
        column.Title.Font = ui::ProgramFont(11, true);
    }
    gridclt->OnDblClick = [this] { ui::Guard([this] { btescogerClick(); }); };
    gridclt->SetDataSource(&sqsocios);
    // The widths the analyst dragged the columns to; the dialog's size is
    // fixed by its layout.
    auto* remembered = new ui::RememberedLayout(*this, QStringLiteral("busqueda"), false);
    remembered->Add(*gridclt, QStringLiteral("socios"));

    // Tab order: the six boxes, Buscar, Limpiar, the grid, Salir, Escoger.
    QWidget* order[] = {edcodigo, ednombres, edapellidos, edtelefono, edcedula, edempresa,
                        btbuscar, btlimpiar, gridclt,     btsalir,    btescoger};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    // Key preview over the boxes and the grid.
    for (QWidget* w : order) w->installEventFilter(this);
    gridclt->viewport()->installEventFilter(this);
}

TFclientes::~TFclientes() {
    gridclt->SetDataSource(nullptr);
    if (Fclientes == this) Fclientes = nullptr;
}

QLineEdit* TFclientes::MakeEdit(const char* name, int x, int y, int width, int column_length) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(x, y, width, 21);
    ui::ForceUpperCase(edit);
    ui::LimitToColumn(edit, column_length);
    return edit;
}

void TFclientes::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    ui::Guard([this] { btlimpiarClick(); });  // every showing starts empty
}

void TFclientes::keyPressEvent(QKeyEvent* event) {
    // Escape presses no button and does not close the dialog.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

bool TFclientes::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (auto* button = qobject_cast<QPushButton*>(watched)) {
        // A focused button handles its own keys first: Enter presses it.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            button->click();
            return true;
        }
        return false;
    }
    if (watched == gridclt->viewport()) return false;  // the grid itself sees it
    const int code = ui::VirtualKey(key);
    ui::Guard([this, code] { FormKeyDown(code); });
    return false;  // the focused control still handles the key
}

void TFclientes::FormKeyDown(int key) {
    ui::QueueFocusMoveForKey(this, key);
}

void TFclientes::btlimpiarClick() {
    qsocios_.Close();
    for (QLineEdit* edit : {edcodigo, ednombres, edapellidos, edtelefono, edcedula, edempresa}) {
        edit->clear();
    }
    edcodigo->setFocus();
}

void TFclientes::btbuscarClick() {
    qsocios_.Close();
    const SearchStatement search =
        BuildSearch(ui::ToLatin1(edcodigo->text()), ui::ToLatin1(edtelefono->text()),
                    ui::ToLatin1(edcedula->text()), ui::ToLatin1(ednombres->text()),
                    ui::ToLatin1(edapellidos->text()), ui::ToLatin1(edempresa->text()));
    qsocios_.SQL().Clear();
    for (const std::string& line : search.lines) qsocios_.SQL().Add(line);
    for (const auto& [marker, value] : search.values) qsocios_.ParamNamed(marker).SetString(value);
    qsocios_.Open();
    if (qsocios_.FetchedRowCount() == 0) {
        ui::ShowMessage("No existen clientes con este Criterio.");
        btlimpiar->setFocus();
    }
}

void TFclientes::btescogerClick() {
    cancelado_ = false;
    close();
}

void TFclientes::btsalirClick() {
    cancelado_ = true;
    close();
}

QIcon ButtonPicture(const char* glyph) {
    // One icon per picture for the whole run. Qt keeps what it draws of an
    // icon in its pixmap cache under that icon's own key: a fresh icon for
    // every search dialog put the same pictures in again with each search,
    // and the program's memory grew with every search. Never destroyed: at
    // exit a picture must not go after the application object has.
    static auto& made = *new std::map<std::string, QIcon>;
    QIcon& icon = made[glyph];
    if (icon.isNull()) {
        // Both sizes named: on a screen at twice the density Qt then draws
        // the 32-pixel picture instead of enlarging the 16-pixel one.
        icon.addFile(QString(":/buttons/%1.png").arg(glyph), QSize(16, 16));
        icon.addFile(QString(":/buttons/%1@2x.png").arg(glyph), QSize(32, 32));
    }
    return icon;
}

}  // namespace customer_search
