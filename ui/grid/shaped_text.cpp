#include "ui/grid/shaped_text.h"

#include <QTransform>

#include "ui/latin1_text.h"

namespace ui {
namespace {

// A grid screen shows a few hundred texts; a search scrolled through the
// whole member table would otherwise keep every text it ever showed.
constexpr std::size_t kTextsPerFont = 4096;
constexpr std::size_t kFonts = 4;

}  // namespace

const ShapedText& ShapedTextCache::Get(const QFont& font, int dpi, const std::string& latin1) {
    InFont* in_font = nullptr;
    for (InFont& kept : fonts_) {
        if (kept.dpi == dpi && kept.font == font) {
            in_font = &kept;
            break;
        }
    }
    if (in_font == nullptr) {
        if (fonts_.size() >= kFonts) fonts_.erase(fonts_.begin());
        fonts_.push_back(InFont{font, dpi, {}});
        in_font = &fonts_.back();
    }
    auto& texts = in_font->texts;
    if (const auto found = texts.find(latin1); found != texts.end()) return found->second;
    if (texts.size() >= kTextsPerFont) texts.clear();
    ShapedText shaped;
    shaped.text.setText(ToQString(latin1));
    // Cell values are data, never markup.
    shaped.text.setTextFormat(Qt::PlainText);
    shaped.text.prepare(QTransform(), font);
    return texts.emplace(latin1, std::move(shaped)).first->second;
}

}  // namespace ui
