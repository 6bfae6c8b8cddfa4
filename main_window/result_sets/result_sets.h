#pragma once

// The window's four result sets. Each one's file holds its declared fields
// and, where a grid shows it, the grid's columns: a column shown is a
// field declared a few lines above it.

#include "db/ib_query.h"
#include "ui/grid/db_grid.h"

namespace main_window {

void DeclareMemberFields(db::TIBQuery& query);  // CLIENTES (members.cpp)

void DeclareLoanFields(db::TIBQuery& query);  // SOLICITUDPRES (loans.cpp)
void AddLoanColumns(ui::TDBGrid& grid);

void DeclareScheduleFields(db::TIBQuery& query);  // RENGLONES (schedule.cpp)
void AddScheduleColumns(ui::TDBGrid& grid);

void DeclareDocumentFields(db::TIBQuery& query);  // applied documents (documents.cpp)
void AddDocumentColumns(ui::TDBGrid& grid);

}  // namespace main_window
