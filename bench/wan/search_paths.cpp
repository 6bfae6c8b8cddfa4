#include "bench/wan/search_paths.h"

#include "customer_search/customer_search_dialog.h"
#include "db/sql_preprocessor.h"
#include "loans/rules/connection_profile.h"
#include "main_window/result_sets/result_sets.h"

namespace bench {

std::string SearchByNameText(const std::string& fragment) {
    // A statement's text is its lines, each followed by CR LF.
    std::string text;
    for (const std::string& line :
         customer_search::BuildSearch("", "", "", fragment, "", "").lines) {
        text += line + "\r\n";
    }
    return text;
}

LayerSearch::LayerSearch(const std::string& database_name) {
    loans::ConfigureProgramConnection(database_, transaction_, database_name);
    members_.SetDatabase(&database_);
    members_.SetTransaction(&transaction_);
    main_window::DeclareMemberFields(members_);
    database_.Open();
}

int LayerSearch::Run(const std::string& fragment) {
    const customer_search::SearchStatement search =
        customer_search::BuildSearch("", "", "", fragment, "", "");
    members_.Close();
    members_.SQL().Clear();
    for (const std::string& line : search.lines) members_.SQL().Add(line);
    for (const auto& [marker, value] : search.values) members_.ParamNamed(marker).SetString(value);
    members_.Open();
    int rows = 0;
    for (members_.First(); !members_.AtEnd(); members_.Next()) ++rows;
    return rows;
}

RawSearch::RawSearch(const std::string& database_name, bool prepare_once)
    : prepare_once_(prepare_once), attachment_(database_name) {}

int RawSearch::Run(const std::string& fragment) {
    const std::string sql = db::PreprocessSql(SearchByNameText(fragment)).text;
    if (!prepare_once_)
        return static_cast<int>(demo::SelectRows(transaction_, sql, {fragment}).size());
    if (!kept_) kept_ = std::make_unique<demo::Statement>(transaction_, sql);
    return static_cast<int>(kept_->Select({fragment}).size());
}

}  // namespace bench
