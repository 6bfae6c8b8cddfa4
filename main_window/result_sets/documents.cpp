// The documents applied to the selected loan (one union over several tables)
// and their grid.
#include "main_window/result_sets/field_declaration.h"
#include "main_window/result_sets/result_sets.h"

namespace main_window {
namespace {
using namespace declare;

constexpr FieldDeclaration kDocumentFields[] = {
    FixedText("TIPO", 1),   Integer("REN_PRESTAMONO"),  Date("REN_FECHAVENCE"),
    Integer("REN_CUOTANO"), Amount("REN_CUOTACAPITAL"), Amount("REN_CUOTAINTERES"),
};

}  // namespace

void DeclareDocumentFields(db::TIBQuery& query) {
    DeclareFields(query, kDocumentFields);
}

void AddDocumentColumns(ui::TDBGrid& grid) {
    grid.AddColumn("TIPO", "", 33);
    grid.AddColumn("REN_PRESTAMONO", "DOCUMENTO", 78);
    grid.AddColumn("REN_FECHAVENCE", "FECHA", 96);
    grid.AddColumn("REN_CUOTANO", "CUOTA", 39);
    grid.AddColumn("REN_CUOTACAPITAL", "VALOR", 96);
    grid.AddColumn("REN_CUOTAINTERES", "INTERES");
}

}  // namespace main_window
