// The member's loans (SOLICITUDPRES) and the loan grid.
#include "main_window/result_sets/field_declaration.h"
#include "main_window/result_sets/result_sets.h"

namespace main_window {
namespace {
using namespace declare;

constexpr FieldDeclaration kLoanFields[] = {
    Integer("REGISTRO_NO"),
    Integer("SOLICITUD_NO"),
    Date("FECHA"),
    Amount("VALOR"),
    Text("CONCEPTO", 5000),
    Text("SOCIO", 10),
    Integer("EMPRESA"),
    Amount("BALANCE_PENDIENTE"),
    Float("TASA"),
    Integer("CONDICIONES"),
    Text("FORMA_PAGO", 10),
    Amount("TOTAL_COBRAR"),
    Amount("TOTAL_CUOTAS"),
    Text("FICHA", 10),
    Integer("CANT_CUOTAS"),
    Text("ESTATUS", 2),
    Float("INTERES"),
    Integer("PAGADO_CHEKENO"),
    Float("PRIMA"),
    Text("TIPO_DOC", 3),
    Integer("NO_DOCUMENTO"),
    Integer("TIPO"),
    Integer("DIA1"),
    Integer("DIA2"),
    Text("TIPOCALCULO", 1),
    Text("CARTERA", 2),
    Amount("VALORSEGURO"),
    Amount("CUOTASEGURO"),
    Amount("GASTOSLEGALES"),
    Text("PENALIZACION", 1),
    Text("TIPOPRESTAMO", 1),
    Integer("TIPOTASA"),
    Text("REFERENCIA", 50),
    Date("FECHAPRIMERACUOTA"),
    Date("FECHAULTIMACUOTA"),
    Integer("ORIGENID"),
    Text("RENEGOZIADOSN", 1),
    Text("ENLEGAL", 1),
    Text("TIPOGARANTIA", 300),
    Text("EST", 1),
    Amount("BALANCE_INTERES"),
    Amount("VALOR_CHEQUE"),
    Amount("DEDUCCION_SEGURO"),
    Amount("DEDUCCION_OTROS"),
    Text("DEDUCCION_RAZON", 255),
    Text("CALCULARSEGURO", 1),
    Integer("REENGANCHE_REG"),
    Text("COMENTARIO_ANALISTA", 3000),
    Date("FECHAINI"),
    Date("FECHAFIN"),
    Text("CALCULARGASTOSCIERRE", 1),
    Date("FECHAREGISTRO"),
    Text("REGISTRADOPOR", 10),
    Date("FECHAAUTORIZACION"),
    Text("AUTORIZADOPOR", 10),
    Date("FECHACIERRE"),
    Date("FECHA_ULTMOV"),
    Text("WEBSN", 1),
    Text("FORMA_DESEMBOLSO", 1),
    Date("FECHA_DESEMBOLSO"),
    Text("SEGUROENCUOTAS", 1),
};

}  // namespace

void DeclareLoanFields(db::TIBQuery& query) {
    DeclareFields(query, kLoanFields);
}

void AddLoanColumns(ui::TDBGrid& grid) {
    grid.AddColumn("ESTATUS", "EST.");
    grid.AddColumn("NO_DOCUMENTO", "PRESTAMO");
    grid.AddColumn("SOLICITUD_NO", "SOLICITUD");
    grid.AddColumn("REFERENCIA", "PRESTAMO REF.", 88);
    grid.AddColumn("FECHA", "", 68);
    grid.AddColumn("VALOR", "", 81);
    grid.AddColumn("BALANCE_PENDIENTE", "BALANCE", 75);
    for (const char* column : {"TASA",
                               "CONDICIONES",
                               "FORMA_PAGO",
                               "TOTAL_CUOTAS",
                               "TOTAL_COBRAR",
                               "INTERES",
                               "PAGADO_CHEKENO",
                               "TIPO_DOC",
                               "TIPO",
                               "DIA1",
                               "DIA2",
                               "TIPOCALCULO",
                               "CARTERA",
                               "VALORSEGURO",
                               "CUOTASEGURO",
                               "GASTOSLEGALES",
                               "PENALIZACION",
                               "TIPOPRESTAMO",
                               "TIPOTASA",
                               "FECHAPRIMERACUOTA",
                               "CONCEPTO",
                               "FECHAULTIMACUOTA",
                               "ORIGENID",
                               "RENEGOZIADOSN",
                               "ENLEGAL",
                               "TIPOGARANTIA",
                               "EST",
                               "BALANCE_INTERES",
                               "VALOR_CHEQUE",
                               "DEDUCCION_SEGURO",
                               "DEDUCCION_OTROS",
                               "DEDUCCION_RAZON",
                               "CALCULARSEGURO",
                               "REENGANCHE_REG",
                               "COMENTARIO_ANALISTA",
                               "FECHAINI",
                               "FECHAFIN",
                               "CALCULARGASTOSCIERRE",
                               "FECHAREGISTRO",
                               "REGISTRADOPOR",
                               "FECHAAUTORIZACION",
                               "AUTORIZADOPOR",
                               "FECHACIERRE",
                               "FECHA_ULTMOV",
                               "WEBSN",
                               "FORMA_DESEMBOLSO",
                               "FECHA_DESEMBOLSO",
                               "SEGUROENCUOTAS"}) {
        grid.AddColumn(column);
    }
}

}  // namespace main_window
