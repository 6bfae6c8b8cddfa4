#pragma once

// What the two repairs and an undo would write, worked out from the rows
// they read, writing nothing: for a connection that may not write the
// books (an analyst where repairs need approval), the preview a request
// keeps and shows. Each works on a copy of the loan's rows as ReadLoanImage
// reads them, and leaves there what the statements would leave, in the same
// text. No Qt.

#include <string>
#include <vector>

#include "loans/records/loan_image.h"
#include "loans/rules/repairs.h"

namespace loans {

// "Reindexar": the loan's movements become the opening movement and one
// per applied document (the schedule's own rows left out), as
// RebuildMovements writes them; columns the statements do not name come
// out null.
RepairCounts PlanRebuild(LoanImage& image, const LoanRow& loan,
                         const std::vector<AppliedDocument>& documents);

// "Corregir Tabla": every instalment's paid amounts from 0, each document's
// amounts added, negated, in the list's order, and the total paid moved by
// what they moved, with the server's double arithmetic, as CorrectSchedule
// writes them.
RepairCounts PlanCorrection(LoanImage& image, const std::vector<AppliedDocument>& documents);

// The receivable balance of the image's movements: their amounts added up.
double PlannedReceivableBalance(const LoanImage& image);

// A date-time as the server gives a dialect-1 DATE column cast to text:
// "04-JUN-2024", and " 9:05:00.0000" after it when there is a time of day.
// Fractions of a second are dropped, as the program writes dates.
std::string ServerDateText(double value);

}  // namespace loans
