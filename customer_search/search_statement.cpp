#include "customer_search/customer_search_dialog.h"

namespace customer_search {

SearchStatement BuildSearch(const std::string& codigo, const std::string& telefono,
                            const std::string& cedula, const std::string& nombres,
                            const std::string& apellidos, const std::string& empresa) {
    SearchStatement search;
    search.lines.push_back("SELECT * FROM clientes WHERE  clt_codigo IS NOT NULL");
    // Each criterion has a marker of its own: one name carries one value.
    const struct {
        const std::string& text;
        const char* line;
        const char* marker;
    } criteria[] = {
        {codigo, " and clt_codigo =:co", "co"},
        {telefono, " and clt_telres =:te", "te"},
        {cedula, " and clt_cedula =:ce", "ce"},
        {nombres, " and clt_nombresyapellidos  containing :no", "no"},
        {apellidos, " and clt_nombresyapellidos containing :ap", "ap"},
        {empresa, " and empresa in (select codigo from empresas where nombre containing :em) ",
         "em"},
    };
    for (const auto& criterion : criteria) {
        if (criterion.text.empty()) continue;  // blanks are a criterion
        search.lines.push_back(criterion.line);
        search.values.emplace_back(criterion.marker, criterion.text);
    }
    search.lines.push_back(" ORDER by clt_codigo");
    return search;
}

}  // namespace customer_search
