#include "loans/rules/document_kinds.h"

namespace loans {

std::size_t KindIndex(std::string_view letter) {
    if (letter.size() != 1) return kKindCount;
    for (std::size_t i = 0; i < kKindCount; ++i) {
        if (kDocumentKinds[i].letter == letter[0]) return i;
    }
    return kKindCount;
}

bool IsScheduleRow(std::string_view letter) {
    return letter.size() == 1 && letter[0] == kScheduleLetter;
}

}  // namespace loans
