#include "loans/rules/statements.h"

#include "loans/rules/document_kinds.h"

namespace loans {

const std::string& AppliedDocumentsStatement() {
    static const std::string statement = [] {
        std::string text;
        for (const DocumentKind& kind : kDocumentKinds) {
            if (!text.empty()) text += " union  ";
            text += kind.loan_branch;
        }
        return text + " order by 4,3";
    }();
    return statement;
}

}  // namespace loans
