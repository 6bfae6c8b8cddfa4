#include "ui/window_memory.h"

#include <QEvent>
#include <QHeaderView>
#include <QSettings>
#include <QShortcut>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "config/login.h"
#include "ui/grid/db_grid.h"

namespace ui {
namespace window_memory {
namespace {

constexpr const char* kFileName = "ventanas.ini";

// Opened per use: another instance of the program may have written since.
std::unique_ptr<QSettings> Open() {
    const QString path = FilePath();
    if (path.isEmpty()) return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString SizeKey(const QString& window) {
    return window + QStringLiteral("/tamano");
}

QString WidthsKey(const QString& window, const QString& list) {
    return window + QStringLiteral("/anchos_") + list;
}

}  // namespace

QString FilePath() {
    return QString::fromStdString(config::UserConfigPlace(kFileName));
}

std::optional<QSize> Size(const QString& window) {
    const std::unique_ptr<QSettings> settings = Open();
    if (!settings) return std::nullopt;
    const QSize size = settings->value(SizeKey(window)).toSize();
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return size;
}

void SetSize(const QString& window, std::optional<QSize> size) {
    const std::unique_ptr<QSettings> settings = Open();
    if (!settings) return;
    if (size) {
        settings->setValue(SizeKey(window), *size);
    } else {
        settings->remove(SizeKey(window));
    }
}

std::vector<int> Widths(const QString& window, const QString& list) {
    const std::unique_ptr<QSettings> settings = Open();
    if (!settings) return {};
    std::vector<int> widths;
    // Written as one text: a list of numbers reads back the same way from
    // any version of the toolkit. Anything but whole numbers is no list.
    for (const QString& part : settings->value(WidthsKey(window, list)).toString().split(',')) {
        bool number = false;
        const int width = part.trimmed().toInt(&number);
        if (!number || width < -1 || width > 10000) return {};
        widths.push_back(width);
    }
    return widths;
}

void SetWidths(const QString& window, const QString& list, const std::vector<int>& widths) {
    const std::unique_ptr<QSettings> settings = Open();
    if (!settings) return;
    if (widths.empty()) {
        settings->remove(WidthsKey(window, list));
        return;
    }
    QStringList parts;
    for (const int width : widths) parts.append(QString::number(width));
    settings->setValue(WidthsKey(window, list), parts.join(','));
}

std::optional<QString> Text(const QString& window, const QString& name) {
    const std::unique_ptr<QSettings> settings = Open();
    if (!settings) return std::nullopt;
    const QVariant value = settings->value(window + QChar('/') + name);
    if (!value.isValid()) return std::nullopt;
    return value.toString();
}

void SetText(const QString& window, const QString& name, const QString& text) {
    const std::unique_ptr<QSettings> settings = Open();
    if (settings) settings->setValue(window + QChar('/') + name, text);
}

void Forget(const QString& window) {
    const std::unique_ptr<QSettings> settings = Open();
    if (settings) settings->remove(window);
}

}  // namespace window_memory

RememberedLayout::RememberedLayout(QWidget& window, QString key, bool sized)
    : QObject(&window), window_(window), key_(std::move(key)) {
    if (sized) {
        default_size_ = window.size();
        if (const std::optional<QSize> saved = window_memory::Size(key_)) window.resize(*saved);
    }
    window.installEventFilter(this);
    auto* reset = new QShortcut(kResetKey, &window);
    reset->setContext(Qt::WindowShortcut);
    connect(reset, &QShortcut::activated, this, [this] { Reset(); });
}

std::vector<int> RememberedLayout::WidthsOf(const List& list) {
    std::vector<int> widths;
    if (list.view != nullptr) {
        const QHeaderView* header = list.view->horizontalHeader();
        // Once the defaults are known, only their columns.
        const int count = list.defaults.empty()
                              ? header->count()
                              : std::min(header->count(), static_cast<int>(list.defaults.size()));
        for (int column = 0; column < count; ++column) {
            // A column stretched to fill the list is as wide as the list
            // leaves it: nothing of the analyst's to keep. So is one that
            // was when added, until a later column took the stretch.
            const bool stretched =
                header->sectionResizeMode(column) == QHeaderView::Stretch ||
                (column == header->count() - 1 && header->stretchLastSection()) ||
                (!list.defaults.empty() && list.defaults[static_cast<size_t>(column)] < 0);
            widths.push_back(stretched ? -1 : header->sectionSize(column));
        }
    } else {
        for (const TColumn& column : list.grid->Columns()) widths.push_back(column.Width);
    }
    return widths;
}

void RememberedLayout::SetWidthsOf(const List& list, const std::vector<int>& widths) {
    if (list.view != nullptr) {
        for (size_t column = 0; column < widths.size(); ++column) {
            if (widths[column] >= 0)
                list.view->setColumnWidth(static_cast<int>(column), widths[column]);
        }
    } else {
        for (size_t column = 0; column < widths.size(); ++column) {
            list.grid->SetColumnWidth(static_cast<int>(column), widths[column]);
        }
    }
}

void RememberedLayout::Add(QTableView& view, const QString& name) {
    lists_.push_back({&view, nullptr, name, {}});
    List& list = lists_.back();
    list.defaults = WidthsOf(list);
    const std::vector<int> saved = window_memory::Widths(key_, name);
    // Saved by a version with other columns: not these columns' widths.
    if (saved.size() == list.defaults.size()) SetWidthsOf(list, saved);
}

void RememberedLayout::Add(TDBGrid& grid, const QString& name) {
    lists_.push_back({nullptr, &grid, name, {}});
    List& list = lists_.back();
    list.defaults = WidthsOf(list);
    const std::vector<int> saved = window_memory::Widths(key_, name);
    if (saved.size() == list.defaults.size()) SetWidthsOf(list, saved);
    // The main window lives as long as the program, which may be ended in
    // any way: a drag is kept at once.
    const size_t index = lists_.size() - 1;
    grid.OnColumnResized = [this, index](int) { SaveList(lists_[index]); };
}

void RememberedLayout::GrowDefaultSize(QSize size) {
    if (!default_size_) return;
    const QSize grown = default_size_->expandedTo(size);
    if (window_.size() == *default_size_) window_.resize(grown);
    default_size_ = grown;
}

void RememberedLayout::SaveList(const List& list) const {
    const std::vector<int> widths = WidthsOf(list);
    window_memory::SetWidths(key_, list.name,
                             widths == list.defaults ? std::vector<int>{} : widths);
}

void RememberedLayout::Save() const {
    if (default_size_) {
        const QSize size = window_.size();
        window_memory::SetSize(key_,
                               size == *default_size_ ? std::nullopt : std::optional<QSize>(size));
    }
    for (const List& list : lists_) SaveList(list);
}

void RememberedLayout::Reset() {
    if (default_size_) window_memory::SetSize(key_, std::nullopt);
    for (const List& list : lists_) window_memory::SetWidths(key_, list.name, {});
    if (default_size_) window_.resize(*default_size_);
    for (const List& list : lists_) SetWidthsOf(list, list.defaults);
}

bool RememberedLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Hide && !event->spontaneous()) Save();
    return QObject::eventFilter(watched, event);
}

}  // namespace ui
