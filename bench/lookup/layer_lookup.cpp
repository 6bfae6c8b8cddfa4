#include "bench/lookup/layer_lookup.h"

#include "loans/rules/connection_profile.h"
#include "loans/rules/statements.h"
#include "main_window/result_sets/result_sets.h"

namespace bench {

using namespace loans;  // the lookup statements

namespace {

void SetText(db::TIBQuery& query, std::initializer_list<std::string> lines) {
    query.Close();
    query.SQL().Clear();
    for (const std::string& line : lines) query.SQL().Add(line);
}

void Walk(db::TIBQuery& query) {
    for (query.First(); !query.AtEnd(); query.Next()) {
    }
}

}  // namespace

LayerLookup::LayerLookup(const std::string& database_name) {
    ConfigureProgramConnection(database_, transaction_, database_name);
    for (db::TIBQuery* query : {&scratch_, &members_, &loans_, &schedule_, &documents_}) {
        query->SetDatabase(&database_);
        query->SetTransaction(&transaction_);
    }
    main_window::DeclareMemberFields(members_);
    main_window::DeclareLoanFields(loans_);
    main_window::DeclareScheduleFields(schedule_);
    main_window::DeclareDocumentFields(documents_);
    database_.Open();
}

void LayerLookup::Run(const std::string& code) {
    SetText(members_, {kMemberByCodeStatement});
    members_.ParamNamed("c").SetString(code);
    members_.Open();
    SetText(scratch_, {kEmployerByCodeStatement});
    scratch_.ParamNamed("c").SetInteger(members_.FieldNamed("empresa").GetInteger());
    scratch_.Open();
    SetText(loans_, {kLoansOfMemberStatement});
    loans_.ParamNamed("c").SetString(code);
    loans_.Open();
    loans_.First();
    const int loan = loans_.FieldNamed("no_documento").GetInteger();
    if (loan > 0) {
        SetText(schedule_, {kScheduleOfLoanStatement});
        schedule_.ParamNamed("p").SetInteger(loan);
        schedule_.Open();
        Walk(schedule_);
        SetText(documents_, {AppliedDocumentsStatement()});
        documents_.ParamNamed("p").SetInteger(loan);
        documents_.Open();
        Walk(documents_);
        SetText(scratch_, {kBalanceFirstLine, kBalanceLoanLine});
        scratch_.ParamNamed("a").SetInteger(loan);
        scratch_.ParamNamed("c").SetString(code);
        scratch_.Open();
    }
    SetText(scratch_, {kBalanceFirstLine});
    scratch_.ParamNamed("c").SetString(code);
    scratch_.Open();
}

}  // namespace bench
