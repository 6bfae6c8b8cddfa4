#include "loans/repairs/repair_plan.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "db/date_time.h"
#include "loans/rules/document_kinds.h"
#include "runtime/number_text.h"

namespace loans {
namespace {

// A value as ReadLoanImage would read it back from a column of `kind`.
ImageValue IntegerValue(ColumnKind kind, int32_t value) {
    if (kind == ColumnKind::kReal) return RealImageText(static_cast<double>(value));
    return std::to_string(value);
}

ImageValue RealValue(ColumnKind kind, double value) {
    if (kind == ColumnKind::kInteger) return std::to_string(static_cast<long long>(value));
    return RealImageText(value);
}

ImageValue DateValue(double value, bool null) {
    if (null) return std::nullopt;
    return ServerDateText(value);
}

// One movement as the insert statements write it, by column name.
struct PlannedMovement {
    std::string member;
    std::string kind;
    int32_t document = 0;
    double date = 0;
    bool date_null = false;
    int32_t loan = 0;
    double amount = 0;
    double due = 0;
    bool due_null = false;
    int32_t instalment = 0;
    int32_t register_number = 0;
    double interest = 0;
    int32_t type = 0;
};

ImageRow MovementRow(const std::vector<ImageColumn>& columns, const PlannedMovement& movement) {
    ImageRow row;
    for (const ImageColumn& column : columns) {
        const std::string_view name = column.name;
        ImageValue value;
        if (name == "CLIENTE") {
            value = movement.member;
        } else if (name == "TIPO_DOC") {
            value = movement.kind;
        } else if (name == "DOCUMENTO") {
            value = IntegerValue(column.kind, movement.document);
        } else if (name == "FECHA") {
            value = DateValue(movement.date, movement.date_null);
        } else if (name == "APLICA") {
            value = IntegerValue(column.kind, movement.loan);
        } else if (name == "VALOR") {
            value = RealValue(column.kind, movement.amount);
        } else if (name == "FECHAVENC") {
            value = DateValue(movement.due, movement.due_null);
        } else if (name == "CUOTA") {
            value = IntegerValue(column.kind, movement.instalment);
        } else if (name == "REGISTRONO") {
            value = IntegerValue(column.kind, movement.register_number);
        } else if (name == "INTERES") {
            value = RealValue(column.kind, movement.interest);
        } else if (name == "TIPO") {
            value = IntegerValue(column.kind, movement.type);
        }
        row.values.push_back(std::move(value));
    }
    return row;
}

// A stored amount as the repairs' statements read it: null as 0.
double AmountOf(const ImageValue& value) {
    if (!value) return 0;
    return runtime::ParseReal(*value).value_or(0);
}

}  // namespace

std::string ServerDateText(double value) {
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    // The very fields the client library's encoder gets when it is written.
    const std::tm parts = db::BrokenDownTime(value);
    char text[48];
    int length = std::snprintf(text, sizeof text, "%02d-%s-%04d", parts.tm_mday,
                               kMonths[parts.tm_mon % 12], parts.tm_year + 1900);
    if (parts.tm_hour != 0 || parts.tm_min != 0 || parts.tm_sec != 0) {
        std::snprintf(text + length, sizeof text - static_cast<size_t>(length),
                      " %d:%02d:%02d.0000", parts.tm_hour, parts.tm_min, parts.tm_sec);
    }
    return text;
}

RepairCounts PlanRebuild(LoanImage& image, const LoanRow& loan,
                         const std::vector<AppliedDocument>& documents) {
    RepairCounts counts;
    counts.deleted = static_cast<int64_t>(image.movements.size());
    image.movements.clear();
    PlannedMovement movement;
    movement.member = loan.member;
    movement.kind.assign(1, 'F');  // the loan's own opening row
    movement.document = loan.loan;
    movement.date = loan.date;
    movement.date_null = loan.date_null;
    movement.loan = loan.loan;
    movement.amount = loan.amount;
    movement.due = loan.date;
    movement.due_null = loan.date_null;
    movement.register_number = loan.register_number;
    movement.type = MovementType(loan.type);
    image.movements.push_back(MovementRow(image.movement_columns, movement));
    for (const AppliedDocument& document : documents) {
        if (IsScheduleRow(document.kind)) continue;
        movement.kind = document.kind;
        movement.document = document.number;
        movement.date = document.date;
        movement.date_null = document.date_null;
        movement.amount = document.capital;
        movement.instalment = document.instalment;
        movement.interest = document.interest;
        image.movements.push_back(MovementRow(image.movement_columns, movement));
    }
    counts.inserted = static_cast<int64_t>(image.movements.size());
    return counts;
}

RepairCounts PlanCorrection(LoanImage& image, const std::vector<AppliedDocument>& documents) {
    const size_t capital = SchedulePaidColumns()[0];
    const size_t interest = SchedulePaidColumns()[1];
    const size_t total = SchedulePaidColumns()[2];
    const size_t instalment = 3;  // REN_CUOTANO
    struct Paid {
        double capital = 0;
        double interest = 0;
    };
    std::vector<Paid> paid(image.schedule.size());
    for (const AppliedDocument& document : documents) {
        if (IsScheduleRow(document.kind)) continue;
        const std::string number = std::to_string(document.instalment);
        for (size_t row = 0; row < image.schedule.size(); ++row) {
            const ImageValue& cuota = image.schedule[row].values.at(instalment);
            if (!cuota || *cuota != number) continue;
            paid[row].capital =
                paid[row].capital + (document.capital_null ? 0.0 : -document.capital);
            paid[row].interest =
                paid[row].interest + (document.interest_null ? 0.0 : -document.interest);
        }
    }
    for (size_t row = 0; row < image.schedule.size(); ++row) {
        std::vector<ImageValue>& values = image.schedule[row].values;
        const double capital_before = AmountOf(values.at(capital));
        const double interest_before = AmountOf(values.at(interest));
        // A null total stays null; any other moves by what the paid
        // amounts moved, the difference first.
        if (values.at(total)) {
            values.at(total) = RealImageText(
                AmountOf(values.at(total)) +
                ((paid[row].capital - capital_before) + (paid[row].interest - interest_before)));
        }
        values.at(capital) = RealImageText(paid[row].capital);
        values.at(interest) = RealImageText(paid[row].interest);
    }
    RepairCounts counts;
    counts.updated = static_cast<int64_t>(image.schedule.size());
    return counts;
}

double PlannedReceivableBalance(const LoanImage& image) {
    size_t amount = image.movement_columns.size();
    for (size_t i = 0; i < image.movement_columns.size(); ++i) {
        if (image.movement_columns[i].name == "VALOR") amount = i;
    }
    double sum = 0;
    if (amount == image.movement_columns.size()) return sum;
    for (const ImageRow& row : image.movements) sum += AmountOf(row.values.at(amount));
    return sum;
}

}  // namespace loans
