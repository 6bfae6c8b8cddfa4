// The selected loan's payment schedule (RENGLONES) and its grid.
#include "main_window/result_sets/field_declaration.h"
#include "main_window/result_sets/result_sets.h"

namespace main_window {
namespace {
using namespace declare;

constexpr FieldDeclaration kScheduleFields[] = {
    Integer("REN_PRESTAMONO"),
    Date("REN_FECHAPRESTAMO"),
    Date("REN_FECHAVENCE"),
    Integer("REN_CUOTANO"),
    Integer("REN_RECIBONO"),
    DateTime("REN_FECHAECIBO"),
    Amount("REN_CUOTACAPITAL"),
    Amount("REN_CUOTAINTERES"),
    Amount("REN_CUOTAMORA"),
    Amount("REN_TOTALCUOTA"),
    Amount("REN_BALANCE"),
    Amount("REN_PAGADOCAPITAL"),
    Amount("REN_PAGADOINTERES"),
    Amount("REN_TOTALPAGADO"),
    Text("CARTERA", 2),
    Amount("SEGURO"),
    Amount("NETO"),
    Amount("GASTOSCIERRE"),
};

}  // namespace

void DeclareScheduleFields(db::TIBQuery& query) {
    DeclareFields(query, kScheduleFields);
}

void AddScheduleColumns(ui::TDBGrid& grid) {
    grid.AddColumn("REN_CUOTANO", "CUOTA", 50);
    grid.AddColumn("REN_FECHAVENCE", "FECHA VENC.", 80);
    grid.AddColumn("REN_CUOTACAPITAL", "CAPITAL", 73);
    grid.AddColumn("REN_CUOTAINTERES", "INTERES");
    grid.AddColumn("REN_TOTALCUOTA", "CUOTA TOTAL", 85);
    grid.AddColumn("REN_BALANCE", "BALANCE", 71);
    grid.AddColumn("REN_PAGADOCAPITAL", "PAGO CAPITAL", 92);
    grid.AddColumn("REN_PAGADOINTERES", "PAGO INTERES");
    grid.AddColumn("REN_CUOTAMORA", "MORA PAGADA");
    grid.AddColumn("REN_TOTALPAGADO", "TOTAL PAGADO");
    grid.AddColumn("SEGURO");
    grid.AddColumn("GASTOSCIERRE");
    grid.AddColumn("NETO");
    grid.AddColumn("REN_FECHAECIBO", "FECHA REC");
    grid.AddColumn("REN_RECIBONO", "RECIBO NO.");
}

}  // namespace main_window
