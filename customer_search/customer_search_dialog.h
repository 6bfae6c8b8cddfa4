#pragma once

#include <QDialog>
#include <QIcon>
#include <string>

#include "db/data_source.h"
#include "db/ib_query.h"
#include "ui/grid/db_grid.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace customer_search {

// The member search: up to six criteria, the matching members of the main
// window's member set in a grid, and the chosen one handed back through
// that set's current row and the caller's `cancelado` flag.
class TFclientes : public QDialog {
  public:
    TFclientes(db::TIBQuery& qsocios, db::TDataSource& sqsocios, bool& cancelado,
               QWidget* parent = nullptr);
    ~TFclientes() override;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* edcodigo;
    QLineEdit* ednombres;
    QLineEdit* edapellidos;
    QLineEdit* edtelefono;
    QLineEdit* edcedula;
    QLineEdit* edempresa;
    QPushButton* btbuscar;
    QPushButton* btlimpiar;
    QPushButton* btsalir;
    QPushButton* btescoger;
    ui::TDBGrid* gridclt;

    void btlimpiarClick();
    void btbuscarClick();
    void btescogerClick();
    void btsalirClick();
    void FormKeyDown(int key);

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // column_length: the length of the column the box is compared with.
    QLineEdit* MakeEdit(const char* name, int x, int y, int width, int column_length);

    db::TIBQuery& qsocios_;
    bool& cancelado_;
};

// The dialog that is showing, while one is.
extern TFclientes* Fclientes;

// The search statement for the criteria given (empty texts are left out),
// one line per piece, and the parameter values by marker name.
struct SearchStatement {
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, std::string>> values;
};
SearchStatement BuildSearch(const std::string& codigo, const std::string& telefono,
                            const std::string& cedula, const std::string& nombres,
                            const std::string& apellidos, const std::string& empresa);

// A button's picture from resources/buttons, in its 16- and 32-pixel sizes;
// the same icon every time it is asked for.
QIcon ButtonPicture(const char* glyph);

}  // namespace customer_search
