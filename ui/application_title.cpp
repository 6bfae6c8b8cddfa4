#include "ui/application_title.h"

#include <utility>

namespace ui {

namespace {
std::string& Title() {
    static std::string title;
    return title;
}
}  // namespace

void SetApplicationTitle(std::string title) {
    Title() = std::move(title);
}

const std::string& ApplicationTitle() {
    return Title();
}

}  // namespace ui
