#pragma once

#include <QFont>

namespace ui {

// The windows' font: "MS Sans Serif" 8 point is 11 pixels high. Where it
// is missing, Arial's metrics (or Liberation Sans, which shares them) keep
// labels as wide as the layouts expect; any sans font will do after that.
inline QFont ProgramFont(int pixels = 11, bool bold = false, const char* family = "MS Sans Serif") {
    QFont font(QString::fromLatin1(family));
    font.setFamilies({QString::fromLatin1(family), "Arial", "Liberation Sans"});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace ui
