#pragma once

#include <QKeySequence>
#include <QObject>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

class QTableView;
class QWidget;

namespace ui {

class TDBGrid;

// What the program remembers of its windows between runs: a window's size,
// the widths the analyst gave its lists' columns and a few texts (the
// folder a file was last saved in), one group per window
// in ventanas.ini of the user's configuration folder
// (~/.config/analisis-socios/, or under $XDG_CONFIG_HOME). Nothing is kept
// that equals the window's own default, so a default changed in a later
// version still reaches a user who never changed it. A file that cannot be
// read or written is no failure: the windows then show their defaults.
namespace window_memory {

// Where the file is; empty when there is no configuration folder.
QString FilePath();
// The saved size of `window`, if any.
std::optional<QSize> Size(const QString& window);
// Saves the size; nothing forgets it.
void SetSize(const QString& window, std::optional<QSize> size);
// The saved widths of a list of `window`, in column order; empty if none.
std::vector<int> Widths(const QString& window, const QString& list);
// Saves the widths; empty forgets them.
void SetWidths(const QString& window, const QString& list, const std::vector<int>& widths);
// A text kept for `window` under `name` (a folder last used), if any.
std::optional<QString> Text(const QString& window, const QString& name);
void SetText(const QString& window, const QString& name, const QString& text);
// Everything saved of `window`.
void Forget(const QString& window);

}  // namespace window_memory

// Keeps one window's size and its lists' column widths across runs. Made
// as a child of the window once the window has its default size; each list
// is added once its default widths are set, and takes the saved widths at
// once. Only the columns a list has when added are kept: one its model
// adds later (a mark that comes with some data) has no width of the
// analyst's, nor has a column stretched to the list's edge when added. The
// window's size and its lists' widths are saved when the window is
// hidden, a grid's widths also as soon as a column is dragged. The reset
// key (Ctrl+0) in the window puts every default back and forgets what was
// saved.
class RememberedLayout : public QObject {
  public:
    static inline const QKeySequence kResetKey{Qt::CTRL | Qt::Key_0};

    // `key` names the window's group in the file. A window of fixed size
    // (`sized` false) keeps only its lists' widths. Restores the saved
    // size now.
    RememberedLayout(QWidget& window, QString key, bool sized = true);

    void Add(QTableView& list, const QString& name);
    // Takes over the grid's OnColumnResized.
    void Add(TDBGrid& grid, const QString& name);

    // The window's default size grows to at least `size`, for a part it
    // shows only now. A window still at its default size grows with it;
    // one the analyst sized keeps its size.
    void GrowDefaultSize(QSize size);

    // What differs from the defaults is written, the rest forgotten.
    void Save() const;
    // Defaults back, nothing saved.
    void Reset();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct List {
        QTableView* view = nullptr;
        TDBGrid* grid = nullptr;
        QString name;
        std::vector<int> defaults;
    };
    static std::vector<int> WidthsOf(const List& list);
    static void SetWidthsOf(const List& list, const std::vector<int>& widths);
    void SaveList(const List& list) const;

    QWidget& window_;
    QString key_;
    std::optional<QSize> default_size_;
    std::vector<List> lists_;
};

}  // namespace ui
