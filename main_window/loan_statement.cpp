// Ctrl+P: the current loan's statement for a member who disputes a balance,
// printed or saved as PDF through the platform's print dialog. Every page
// carries the loan's heading and "Página N de M"; a table that runs over a
// page repeats its column titles; no amount is ever broken over lines: each
// column is as wide as its widest text, the page turns landscape when the
// widest table needs it, and the tables' type gets smaller only when even
// that is not enough.
#include <QAbstractTextDocumentLayout>
#include <QBrush>
#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QShortcut>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <vector>

#include "formats/date_format.h"
#include "main_window/main_window.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"

namespace main_window {
namespace {

// The statement's type, in points: its text, its tables (smaller, as long
// as they fit), the running heading and page numbers.
constexpr qreal kTextPoints = 8;
constexpr qreal kTablePoints = 7;
constexpr qreal kSmallestTablePoints = 4;
constexpr qreal kRunningPoints = 7;
// A table cell's padding and border, in points.
constexpr qreal kCellPadding = 1.5;
constexpr qreal kCellBorder = 0.5;

QString Escaped(const QString& text) {
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\r'), QStringLiteral("<br>"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return html;
}

QString Escaped(const std::string& latin1) {
    return Escaped(ui::ToQString(latin1));
}

// A cell as the grid shows it, but a date always by the window's date
// pattern: a column shown in the system's short form (whose year may have
// two digits, its day and month either way round) would print a date that
// reads differently from the dates beside it.
std::string CellText(const db::TField& field) {
    if (field.DataType() != db::TFieldType::ftDateTime || !field.DisplayFormat.empty() ||
        field.IsNullValue()) {
        return field.DisplayText();
    }
    const double value = field.GetDateTime();
    const bool has_time = value != std::floor(value);
    return formats::FormatDateTime(has_time ? "dd/mm/yyyy hh:nn:ss" : "dd/mm/yyyy", value);
}

// A grid as it shows: its titles and every row of its result set.
struct PrintedTable {
    QString caption;
    QStringList titles;
    std::vector<QStringList> rows;
};

PrintedTable TableOf(ui::TDBGrid& grid, const char* caption) {
    PrintedTable table;
    table.caption = QString::fromLatin1(caption);
    if (db::TIBQuery* query = grid.DataSet(); query != nullptr && query->Active()) {
        query->FetchAll();  // the statement lists the rows not yet scrolled to as well
    }
    for (const std::string& title : grid.TitleTexts()) table.titles.append(ui::ToQString(title));
    const db::TIBQuery* query = grid.DataSet();
    const int rows = query != nullptr && query->Active() ? query->FetchedRowCount() : 0;
    table.rows.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        QStringList cells;
        for (const std::string& cell : grid.RowTexts(row, CellText)) {
            cells.append(ui::ToQString(cell));
        }
        table.rows.push_back(std::move(cells));
    }
    return table;
}

QFont PointFont(const QFont& base, qreal points, bool bold = false) {
    QFont font(base);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

qreal PointsToPixels(qreal points, const QPaintDevice& device) {
    return points * device.logicalDpiX() / 72.0;
}

// A format's lengths (widths, padding, borders, margins) are given as at
// 96 dots per inch; the document's layout scales them to its device.
qreal FormatLength(qreal device_pixels, const QPaintDevice& device) {
    return device_pixels * 96.0 / device.logicalDpiX();
}

// Each column as wide as its widest text (titles in bold, never broken),
// in the device's pixels, padding and borders included.
std::vector<qreal> ColumnWidths(const PrintedTable& table, const QFont& base, qreal points,
                                QPaintDevice& device) {
    const QFontMetricsF cells(PointFont(base, points), &device);
    const QFontMetricsF titles(PointFont(base, points, true), &device);
    const qreal room = 2 * PointsToPixels(kCellPadding + kCellBorder, device) + 2;
    std::vector<qreal> widths(static_cast<size_t>(table.titles.size()), 0);
    for (qsizetype column = 0; column < table.titles.size(); ++column) {
        widths[static_cast<size_t>(column)] = titles.horizontalAdvance(table.titles[column]);
    }
    for (const QStringList& row : table.rows) {
        for (qsizetype column = 0; column < row.size() && column < table.titles.size(); ++column) {
            qreal& width = widths[static_cast<size_t>(column)];
            width = std::max(width, cells.horizontalAdvance(row[column]));
        }
    }
    for (qreal& width : widths) width = std::ceil(width + room);
    return widths;
}

qreal TableWidth(const PrintedTable& table, const QFont& base, qreal points, QPaintDevice& device) {
    const std::vector<qreal> widths = ColumnWidths(table, base, points, device);
    qreal total = 0;
    for (const qreal width : widths) total += width;
    return total + PointsToPixels(kCellBorder, device) * 2;
}

// The largest type, down from the tables' own, at which every table fits
// `width`.
qreal FittingPoints(const std::vector<PrintedTable>& tables, const QFont& base, qreal width,
                    QPaintDevice& device) {
    qreal points = kTablePoints;
    for (const PrintedTable& table : tables) {
        while (points > kSmallestTablePoints && TableWidth(table, base, points, device) > width) {
            points -= 0.25;
        }
    }
    return points;
}

void AddTable(QTextCursor& cursor, const PrintedTable& table, const QFont& base, qreal points,
              QPaintDevice& device) {
    QTextBlockFormat caption_block;
    caption_block.setTopMargin(FormatLength(PointsToPixels(6, device), device));
    caption_block.setBottomMargin(FormatLength(PointsToPixels(2, device), device));
    QTextCharFormat caption_text;
    caption_text.setFont(PointFont(base, kTextPoints, true));
    cursor.insertBlock(caption_block, caption_text);
    cursor.insertText(table.caption);

    const std::vector<qreal> widths = ColumnWidths(table, base, points, device);
    QTextTableFormat format;
    format.setHeaderRowCount(1);  // repeated at the top of every page it runs onto
    format.setCellSpacing(0);
    format.setCellPadding(FormatLength(PointsToPixels(kCellPadding, device), device));
    format.setBorder(FormatLength(PointsToPixels(kCellBorder, device), device));
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QBrush(Qt::black));
    format.setAlignment(Qt::AlignLeft);
    QList<QTextLength> constraints;
    for (const qreal width : widths) {
        constraints.append(QTextLength(QTextLength::FixedLength, FormatLength(width, device)));
    }
    format.setColumnWidthConstraints(constraints);
    const int columns = static_cast<int>(table.titles.size());
    if (columns == 0) return;
    QTextTable* printed =
        cursor.insertTable(static_cast<int>(table.rows.size()) + 1, columns, format);
    QTextCharFormat title_text;
    title_text.setFont(PointFont(base, points, true));
    QTextCharFormat cell_text;
    cell_text.setFont(PointFont(base, points));
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setNonBreakableLines(true);
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    right.setNonBreakableLines(true);
    for (int column = 0; column < columns; ++column) {
        QTextCursor cell = printed->cellAt(0, column).firstCursorPosition();
        cell.setBlockFormat(centred);
        cell.setBlockCharFormat(title_text);
        cell.insertText(table.titles[column], title_text);
    }
    for (size_t row = 0; row < table.rows.size(); ++row) {
        const QStringList& cells = table.rows[row];
        for (int column = 0; column < columns && column < cells.size(); ++column) {
            QTextCursor cell =
                printed->cellAt(static_cast<int>(row) + 1, column).firstCursorPosition();
            cell.setBlockFormat(right);
            // An empty cell as high as the others.
            cell.setBlockCharFormat(cell_text);
            cell.insertText(cells[column], cell_text);
        }
    }
    cursor.movePosition(QTextCursor::End);
}

QString Line(const char* name, const QString& value) {
    return QStringLiteral("<b>%1</b> %2<br>").arg(QString::fromUtf8(name), Escaped(value));
}

// The heading every page carries, and "Página N de M" under it.
void PaintRunningText(QPainter& painter, const QRectF& page, const QString& heading, int page_no,
                      int pages, const QFont& base) {
    painter.save();
    painter.setFont(PointFont(base, kRunningPoints));
    const QFontMetricsF metrics(painter.font(), painter.device());
    const QRectF top(page.left(), page.top(), page.width(), metrics.height());
    painter.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, heading);
    painter.drawLine(QPointF(page.left(), top.bottom() + metrics.descent()),
                     QPointF(page.right(), top.bottom() + metrics.descent()));
    const QRectF bottom(page.left(), page.bottom() - metrics.height(), page.width(),
                        metrics.height());
    painter.drawText(bottom, Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("P\u00E1gina %1 de %2").arg(page_no).arg(pages));
    painter.restore();
}

}  // namespace

void TFmain::CreatePrintShortcut() {
    auto* shortcut = new QShortcut(QKeySequence::Print, this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this,
                     [this] { ui::Guard([this] { ImprimirEstado(); }); });
}

QString TFmain::StatementHeading() {
    return QStringLiteral("QuilmaCOOP - Estado de cuenta del pr\u00E9stamo %1 - Socio %2 %3")
        .arg(ui::ToQString(qpres.FieldNamed("NO_DOCUMENTO").DisplayText()),
             ui::ToQString(looked_up_code_), lbnombre->text());
}

QString TFmain::LoanStatementHtml() {
    const auto field = [this](const char* name) {
        return ui::ToQString(qpres.FieldNamed(name).DisplayText());
    };
    QString html = QStringLiteral("<html><body>");
    html += "<h2>" + Escaped(std::string("QuilmaCOOP")) + "</h2>";
    html += "<h3>Estado de cuenta del pr&eacute;stamo " + Escaped(field("NO_DOCUMENTO")) + "</h3>";
    html += "<p>Fecha de emisi&oacute;n: " + QDate::currentDate().toString("dd/MM/yyyy") + "</p>";
    html += "<p>";
    html += Line("Socio:", ui::ToQString(looked_up_code_));
    html += Line("Nombre:", lbnombre->text());
    html += Line(
        "C\xC3\xA9"
        "dula:",
        lbcedula->text());
    html += Line("Empresa:", lbempresa->text());
    html += Line("Balance Socio CXC:", lbbalance->text());
    html += "</p><p>";
    html += Line("Pr\xC3\xA9stamo:", field("NO_DOCUMENTO"));
    html += Line("Fecha:", field("FECHA"));
    html += Line("Valor:", field("VALOR"));
    html += Line("Balance:", field("BALANCE_PENDIENTE"));
    html += "</p>";
    return html + "</body></html>";
}

QString TFmain::LoanStatementClosingHtml() {
    QString html = "<p><b>" + Escaped(lbtot1->text()) + "</b><br><b>" + Escaped(lbtot2->text()) +
                   "</b><br><b>" + Escaped(lbtot3->text()) + "</b><br><b>" +
                   Escaped(lbbal->text()) + "</b></p>";
    if (!mismatch_.empty()) {
        html += "<p><font color=\"#c00000\"><b>" + Escaped(mismatch_) + "</b></font></p>";
    }
    return html;
}

void TFmain::ImprimirEstado() {
    if (RepairableLoan() == 0) {
        ui::ShowMessage("No hay un pr�stamo cargado para imprimir");
        return;
    }
    const std::vector<PrintedTable> tables = {TableOf(*DBGrid2, "Plan de pagos"),
                                              TableOf(*DBGrid3, "Documentos aplicados")};
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Prestamo %1").arg(RepairableLoan()));
    QTextDocument document;
    const QFont base = document.defaultFont();
    // Upright while every table fits across the page at its own type.
    printer.setPageOrientation(QPageLayout::Portrait);
    const qreal upright = printer.pageRect(QPrinter::DevicePixel).width();
    bool fits = true;
    for (const PrintedTable& table : tables) {
        fits = fits && TableWidth(table, base, kTablePoints, printer) <= upright;
    }
    if (!fits) printer.setPageOrientation(QPageLayout::Landscape);
    if (!ui::PrintSetup(printer)) return;

    // As the page chosen is: its printable part, less a line at the top for
    // the heading and one at the bottom for the page number.
    const QRectF page(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    const qreal running = QFontMetricsF(PointFont(base, kRunningPoints), &printer).height() * 2;
    const QRectF body(page.left(), page.top() + running, page.width(), page.height() - 2 * running);
    document.documentLayout()->setPaintDevice(&printer);
    document.setDocumentMargin(0);
    document.setDefaultFont(PointFont(base, kTextPoints));
    document.setPageSize(body.size());
    const qreal points = FittingPoints(tables, base, body.width(), printer);
    QTextCursor cursor(&document);
    // Laid out once, at the end, not after every cell.
    cursor.beginEditBlock();
    cursor.insertHtml(LoanStatementHtml());
    for (const PrintedTable& table : tables) AddTable(cursor, table, base, points, printer);
    cursor.insertBlock();
    cursor.insertHtml(LoanStatementClosingHtml());
    cursor.endEditBlock();

    const int pages = document.pageCount();
    const QString heading = StatementHeading();
    QPainter painter(&printer);
    for (int index = 0; index < pages; ++index) {
        if (index > 0) printer.newPage();
        PaintRunningText(painter, page, heading, index + 1, pages, base);
        painter.save();
        painter.translate(body.left(), body.top() - index * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, index * body.height(), body.width(), body.height());
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

}  // namespace main_window
