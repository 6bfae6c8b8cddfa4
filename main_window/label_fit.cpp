// Labels whose text comes from the data never hide part of it: the totals
// lines wrap within their width and push the lines below them down, and the
// message strip above the member box puts the inactive banner beside the
// mismatch message when three lines would run into the box.
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <algorithm>

#include "main_window/main_window.h"

namespace main_window {
namespace {

constexpr int kTotalsLineHeight = 13;  // one line of the totals, as laid out
constexpr int kTotalsGap = 4;          // between the totals lines

int TextHeight(const QLabel& label, const QString& text) {
    return QFontMetrics(label.font()).boundingRect(QRect(0, 0, 4000, 4000), 0, text).height();
}

}  // namespace

void TFmain::FitTotals() {
    int y = lbtot1->y();
    for (QLabel* line : {lbtot1, lbtot2}) {
        const bool one_line =
            QFontMetrics(line->font()).horizontalAdvance(line->text()) <= line->width();
        const int height = one_line
                               ? kTotalsLineHeight
                               : std::max(kTotalsLineHeight, line->heightForWidth(line->width()));
        line->setGeometry(line->x(), y, line->width(), height);
        y += height + kTotalsGap;
    }
    lbtot3->move(lbtot3->x(), y);
    lbbal->move(lbbal->x(), y);
}

void TFmain::FitMessages() {
    const int room = GroupBox1->y() - lbmensajes->y() - 1;
    QStringList lines = lbmensajes->text().split(QLatin1Char('\n'));
    while (lines.size() > 1 && TextHeight(*lbmensajes, lines.join(QLatin1Char('\n'))) > room) {
        lines[0] += QStringLiteral("  ") + lines[1];
        lines.removeAt(1);
    }
    lbmensajes->setText(lines.join(QLatin1Char('\n')));
    lbmensajes->adjustSize();
}

}  // namespace main_window
