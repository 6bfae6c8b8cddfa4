// Ctrl+P: the loan statement, saved as PDF through the print dialog's seam
// and read back as text.
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

// Chooses "Print to File (PDF)" with the given file, or cancels.
class PdfResponder : public probe::RecordingResponder {
  public:
    bool PrintSetup(QPrinter& printer) override {
        ++asked;
        if (file.empty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file));
        return true;
    }
    std::string file;
    int asked = 0;
};

// Words of the text separated by single blanks, so that line and cell
// breaks of the page do not matter.
std::string Words(const QString& text) {
    return text.simplified().toStdString();
}

// The text of a PDF as pdftotext reads it (with `layout`, line by line as
// the page shows it), its pages apart by form feeds.
std::string RawPdfText(const std::string& pdf, bool layout = false) {
    const std::string command = "'" COOP_PDFTOTEXT "' -enc UTF-8 " +
                                std::string(layout ? "-layout " : "") + "'" + pdf + "' -";
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    pclose(pipe);
    return text;
}

std::string PdfText(const std::string& pdf) {
    return Words(QString::fromUtf8(RawPdfText(pdf)));
}

// Each page's lines as the page shows them, each line's words.
std::vector<std::vector<std::string>> PdfPages(const std::string& pdf) {
    std::vector<std::vector<std::string>> pages;
    for (const QString& page : QString::fromUtf8(RawPdfText(pdf, true)).split(QChar('\f'))) {
        std::vector<std::string> lines;
        for (const QString& line : page.split(QChar('\n'))) {
            if (!line.trimmed().isEmpty()) lines.push_back(Words(line));
        }
        if (!lines.empty()) pages.push_back(lines);
    }
    return pages;
}

class StatementTest : public WindowTest {
  protected:
    void TearDown() override {
        ui::SetDialogResponder(nullptr);
        WindowTest::TearDown();
    }
    void PressCtrlP() {
        ui::SetDialogResponder(&printing_);
        QTest::keyClick(window_.get(), Qt::Key_P, Qt::ControlModifier);
        QApplication::processEvents();
    }
    PdfResponder printing_;
};

TEST_F(StatementTest, MismatchedLoanPrintsToPdfWithTheFiguresTheWindowShows) {
    if (std::string(COOP_PDFTOTEXT).empty()) GTEST_SKIP() << "pdftotext not installed";
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    window_->MakeLoanCurrent(demo::kLoanMismatchMissingDocs);
    const QJsonObject state = Do({});
    printing_.file = dir_.File("estado.pdf");
    PressCtrlP();
    EXPECT_EQ(printing_.asked, 1);
    ASSERT_TRUE(std::filesystem::exists(printing_.file));
    const std::string text = PdfText(printing_.file);

    for (const std::string& expected : {
             std::string("QuilmaCOOP"),
             std::string("Estado de cuenta del pr\xC3\xA9stamo 1070"),
             std::string("Socio: 00010"),
             std::string("Nombre: JUAN BAUTISTA HERN\xC3\x81NDEZ RAM\xC3\x8DREZ"),
             AsShown("Valor: 40,000.00"),
             AsShown("Balance= 20,000.00"),
             AsShown("Balance prestamo CXC: 30,000.00"),
             AsShown("ERROR!! El balance del prestamo segun documentos es de 20,000.00 "
                     "mientras que el balance segun cxc es de 30,000.00 para una "
                     "diferencia de 10,000.00"),
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin: " << text;
    }
    // The totals lines and the grids as the window shows them.
    for (const char* label : {"lbtot1", "lbtot2", "lbcedula", "lbempresa"}) {
        const std::string shown = Words(QString::fromLatin1(Label(state, label).c_str()));
        ASSERT_FALSE(shown.empty()) << label;
        EXPECT_NE(text.find(shown), std::string::npos)
            << label << ": " << shown << "\nin: " << text;
    }
    // Every cell but a date the grid shows in the system's short form, whose
    // year may have two digits and its day and month either way round: that
    // one prints by the window's date pattern instead (checked below).
    int short_form_dates = 0;
    for (ui::TDBGrid* grid :
         {Window().GridOf(Access::Grid::Schedule), Window().GridOf(Access::Grid::Documents)}) {
        for (const std::string& title : grid->TitleTexts()) {
            EXPECT_NE(text.find(Words(QString::fromLatin1(title.c_str()))), std::string::npos)
                << "heading broken or missing: " << title;
        }
        for (int row = 0; row < 2; ++row) {
            for (const std::string& cell : grid->RowTexts(row, [&](const db::TField& field) {
                     if (field.DataType() != db::TFieldType::ftDateTime ||
                         !field.DisplayFormat.empty() || field.IsNullValue()) {
                         return field.DisplayText();
                     }
                     ++short_form_dates;
                     return std::string();
                 })) {
                if (cell.empty()) continue;
                EXPECT_NE(text.find(Words(QString::fromLatin1(cell.c_str()))), std::string::npos)
                    << grid->objectName().toStdString() << " row " << row << ": " << cell;
            }
        }
    }
    EXPECT_GT(short_form_dates, 0) << "the loan's receipts have dates in the short form";
    // The first two instalments' receipts, of 2 April and 3 May 2024.
    for (const char* receipt : {"02/04/2024", "03/05/2024"}) {
        EXPECT_NE(text.find(receipt), std::string::npos) << receipt << "\nin: " << text;
    }
    // No date of two-digit year anywhere on the page.
    EXPECT_FALSE(QString::fromStdString(text).contains(
        QRegularExpression(QStringLiteral("(^|[^0-9/])[0-9]{1,2}/[0-9]{1,2}/[0-9]{2}($|[^0-9])"))))
        << text;
}

// A statement of many pages: every page carries the loan's heading and
// "Página N de M", and every page a table runs onto starts with that
// table's column titles again.
TEST_F(StatementTest, EveryPageCarriesTheLoanHeadingTheColumnTitlesAndItsNumberOfAll) {
    if (std::string(COOP_PDFTOTEXT).empty()) GTEST_SKIP() << "pdftotext not installed";
    Start();
    const QJsonObject state = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    printing_.file = dir_.File("largo.pdf");
    PressCtrlP();
    const std::vector<std::vector<std::string>> pages = PdfPages(printing_.file);
    ASSERT_GT(pages.size(), 10u);
    const std::string heading = "QuilmaCOOP - Estado de cuenta del pr\xC3\xA9stamo " +
                                std::to_string(demo::kLoanManyDocuments) + " - Socio " +
                                demo::kMemberManyDocuments + " " +
                                Words(QString::fromLatin1(Label(state, "lbnombre").c_str()));
    const auto titles = [](ui::TDBGrid& grid) {
        QStringList words;
        for (const std::string& title : grid.TitleTexts()) words.append(QString::fromLatin1(title));
        return Words(words.join(' '));
    };
    const std::string schedule = titles(*Window().GridOf(Access::Grid::Schedule));
    const std::string documents = titles(*Window().GridOf(Access::Grid::Documents));
    const std::string total = std::to_string(pages.size());
    int documents_pages = 0;
    for (size_t page = 0; page < pages.size(); ++page) {
        const std::vector<std::string>& lines = pages[page];
        ASSERT_GE(lines.size(), 3u) << "page " << page + 1;
        EXPECT_EQ(lines.front(), heading) << "page " << page + 1;
        EXPECT_EQ(lines.back(), "P\xC3\xA1gina " + std::to_string(page + 1) + " de " + total)
            << "page " << page + 1;
        if (page == 0) continue;
        // Under the heading, the titles of the table the page goes on with.
        EXPECT_TRUE(lines[1] == schedule || lines[1] == documents)
            << "page " << page + 1 << ": " << lines[1];
        documents_pages += lines[1] == documents ? 1 : 0;
    }
    EXPECT_GT(documents_pages, 10);
    std::string last;
    for (const std::string& line : pages.back()) last += line + " ";
    EXPECT_NE(last.find(AsShown("Balance= 40,000.00")), std::string::npos) << last;
}

// Amounts in the millions keep whole in every column: none is broken over
// lines, however many columns the schedule has.
TEST_F(StatementTest, AmountsInTheMillionsAreNeverBrokenOverLines) {
    if (std::string(COOP_PDFTOTEXT).empty()) GTEST_SKIP() << "pdftotext not installed";
    Start();
    Show(demo::kMemberMillions, demo::kLoanMillions);
    printing_.file = dir_.File("millones.pdf");
    PressCtrlP();
    const std::string text = PdfText(printing_.file);
    ui::TDBGrid& schedule = *Window().GridOf(Access::Grid::Schedule);
    int amounts = 0;
    for (int row = 0; row < schedule.DataSet()->FetchedRowCount(); ++row) {
        for (const std::string& cell : schedule.RowTexts(row)) {
            if (cell.find(AsShown(",000.00").substr(0, 1)) == std::string::npos) continue;
            ++amounts;
            // Whole, and a word of its own.
            EXPECT_NE((" " + text + " ").find(" " + cell + " "), std::string::npos)
                << "row " << row << ": " << cell;
        }
    }
    EXPECT_GT(amounts, 50);
    EXPECT_NE(text.find(AsShown("1,375,000.00")), std::string::npos) << text;
}

TEST_F(StatementTest, NothingIsPrintedWithoutALoanOrWhenTheDialogIsCancelled) {
    Start();
    PressCtrlP();
    EXPECT_EQ(printing_.asked, 0);
    ASSERT_EQ(printing_.messages.size(), 1u);
    EXPECT_EQ(printing_.messages[0].second, "No hay un pr\xE9stamo cargado para imprimir");

    Do({std::string("code ") + demo::kMemberMismatch});
    PressCtrlP();  // cancelled: no file is named
    EXPECT_EQ(printing_.asked, 1);
    EXPECT_EQ(printing_.messages.size(), 1u);
}

}  // namespace
