// The portfolio check's reports: the CSV's amounts, quoting and escaping,
// the workbook's cells and styles, and either written whole or not at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/repair_preview.h"
#include "loans/reports/report_file.h"
#include "runtime/exception.h"
#include "tests/portfolio/portfolio_support.h"

namespace {

TEST(PortfolioCsv, AmountsHaveTwoDecimalsAPeriodAndNoGrouping) {
    const struct {
        long double value;
        const char* text;
    } rows[] = {
        {0, "0.00"},
        {1234567.891L, "1234567.89"},
        {-10000, "-10000.00"},
        {-0.004L, "0.00"},  // rounds to zero: no minus sign, like the window
        {7500.006L, "7500.01"},
        {4000.003L, "4000.00"},
        {2500000, "2500000.00"},
    };
    for (const auto& row : rows) EXPECT_EQ(loans::CsvAmount(row.value), row.text) << row.text;
}

// The dates of a repair's preview: every form the server writes a date in,
// as dd/mm/yyyy; anything else as it stands.
TEST(RepairPreview, ImageDatesShowAsDayMonthYear) {
    const struct {
        const char* image;
        const char* shown;
    } rows[] = {
        {"04-JUN-2024", "04/06/2024"},
        {"4-JUN-2024 10:30:00.0000", "04/06/2024"},
        {"16-DEC-2023", "16/12/2023"},
        {"2024-01-09 00:00:00.0000", "09/01/2024"},
        {"2024-01-09", "09/01/2024"},
        {"04-XYZ-2024", "04-XYZ-2024"},
        {"4-JUN-24", "4-JUN-24"},
        {"", ""},
        {"-", "-"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(loans::ShownImageDate(row.image), row.shown) << row.image;
    }
}

// A flagged loan with an accented name, as the reports' rows start from.
loans::LoanCheck PlainLoan() {
    loans::LoanCheck plain;
    plain.member = "00010";
    plain.name = "JOS\xC9 P\xC9REZ";
    plain.loan = 1070;
    plain.documents_balance = 20000;
    plain.receivable_balance = 30000;
    plain.reindex = true;
    return plain;
}

TEST(PortfolioCsv, RowsFollowTheHeaderWithNamesInUtf8AndQuotedWhenNeeded) {
    const loans::LoanCheck plain = PlainLoan();
    loans::LoanCheck quoted = plain;
    quoted.member = "00011";
    quoted.name =
        "GARC\xCD"
        "A, \"EL MONO\"";
    quoted.loan = 1080;
    quoted.documents_balance = 1234.5;
    quoted.receivable_balance = 1234.5;
    quoted.reindex = false;
    quoted.fix_schedule = true;
    quoted.differing_instalments = 3;
    loans::LoanCheck both = plain;
    both.loan = 1071;
    both.documents_balance = 7500;
    both.receivable_balance = 7500.006;
    both.fix_schedule = true;
    both.differing_instalments = 1;

    std::ostringstream out;
    loans::WriteCsv(out, {plain, both, quoted});
    EXPECT_EQ(out.str(),
              "socio,nombre,prestamo,balance_documentos,balance_cxc,diferencia,cuotas_distintas,"
              "reparacion\n"
              "00010,JOS\xC3\x89 P\xC3\x89REZ,1070,20000.00,30000.00,10000.00,0,Reindexar\n"
              "00010,JOS\xC3\x89 P\xC3\x89REZ,1071,7500.00,7500.01,0.01,1,"
              "Reindexar + Corregir Tabla\n"
              "00011,\"GARC\xC3\x8D"
              "A, \"\"EL MONO\"\"\",1080,1234.50,1234.50,0.00,3,"
              "Corregir Tabla\n");
}

// For a spreadsheet set to a language that writes a decimal comma: fields
// part at ";", decimals after a comma, and a name is quoted for a ";" in
// it, no longer for a comma.
TEST(PortfolioCsv, DecimalCommaStylePartsFieldsAtSemicolons) {
    loans::LoanCheck plain = PlainLoan();
    plain.receivable_balance = -1234567.891;
    loans::LoanCheck named = plain;
    named.name =
        "P\xC9REZ; GARC\xCD"
        "A, JOS\xC9";
    named.fix_schedule = true;
    named.differing_instalments = 2;
    loans::LoanCheck comma = plain;
    comma.name =
        "GARC\xCD"
        "A, JOS\xC9";
    std::ostringstream out;
    loans::WriteCsv(out, {plain, named, comma}, loans::CsvTarget::kFile, loans::kDecimalCommaCsv);
    EXPECT_EQ(out.str(),
              "socio;nombre;prestamo;balance_documentos;balance_cxc;diferencia;cuotas_distintas;"
              "reparacion\n"
              "00010;JOS\xC3\x89 P\xC3\x89REZ;1070;20000,00;-1234567,89;-1254567,89;0;Reindexar\n"
              "00010;\"P\xC3\x89REZ; GARC\xC3\x8D"
              "A, JOS\xC3\x89\";1070;20000,00;-1234567,89;-1254567,89;2;"
              "Reindexar + Corregir Tabla\n"
              "00010;GARC\xC3\x8D"
              "A, JOS\xC3\x89;1070;20000,00;-1234567,89;-1254567,89;0;Reindexar\n");
}

TEST(PortfolioCsv, TextThatASpreadsheetWouldRunGetsAnApostropheAndATerminalSeesNoControls) {
    const struct {
        const char* name;
        const char* file;      // the name cell written to a file
        const char* terminal;  // the same written to a terminal
    } rows[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"",
         "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0"},
        {"-2", "'-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
        {"\tTAB", "'\tTAB", "\\x09TAB"},
        {"\rCR", "\"'\rCR\"", "\\x0DCR"},
        {"ANA = LUZ", "ANA = LUZ", "ANA = LUZ"},
        {"A\x1B]0;owned\x07"
         "B\x9B",
         "A\x1B]0;owned\x07"
         "B\xC2\x9B",
         "A\\x1B]0;owned\\x07B\\x9B"},
    };
    for (const auto& row : rows) {
        loans::LoanCheck loan;
        loan.member = "00010";
        loan.name = row.name;
        loan.loan = 1070;
        loan.reindex = true;
        for (const auto& [target, expected] :
             {std::pair{loans::CsvTarget::kFile, row.file},
              std::pair{loans::CsvTarget::kTerminal, row.terminal}}) {
            std::ostringstream out;
            loans::WriteCsv(out, {loan}, target);
            const std::string text = out.str();
            const std::string line = text.substr(text.find('\n') + 1);
            EXPECT_EQ(line, std::string("00010,") + expected + ",1070,0.00,0.00,0.00,0,Reindexar\n")
                << row.name;
        }
    }
}

// A report replaces the old one whole, or leaves it as it was.
TEST(PortfolioCsv, AReportIsWrittenWholeOrTheOldOneStays) {
    test_support::TempDir dir;
    const std::string path = dir.File("cartera.csv");
    const auto contents = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto files = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    loans::WriteWholeFile(path, [](std::ostream& out) { out << "old report\n"; });
    EXPECT_EQ(contents(path), "old report\n");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0666 & ~mask));

    // Failing midway: half the new report composed, then the failure.
    EXPECT_THROW(loans::WriteWholeFile(path,
                                       [](std::ostream& out) {
                                           out << "half a new";
                                           throw runtime::EInOutError("disco lleno", 28);
                                       }),
                 runtime::EInOutError);
    EXPECT_EQ(contents(path), "old report\n");
    EXPECT_EQ(files(), std::set<std::string>{"cartera.csv"});

    const std::string nowhere = dir.File("no/such/folder/cartera.csv");
    try {
        loans::WriteWholeFile(nowhere, [](std::ostream& out) { out << "x"; });
        FAIL() << "a report was written into a missing folder";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message(),
                  "No se pudo escribir " + nowhere + ": " + std::strerror(ENOENT));
    }

    loans::WriteWholeFile(path, [](std::ostream& out) { out << "new report\n"; });
    EXPECT_EQ(contents(path), "new report\n");
    EXPECT_EQ(files(), std::set<std::string>{"cartera.csv"});
}

// The workbook read back: codes and names as shared strings (UTF-8, never
// formulas), amounts as numbers rounded to the cent in the window's
// pattern, a bold header row frozen and filtering; and, like the CSV,
// written whole or not at all.
TEST(PortfolioWorkbook, CodesAreTextAmountsNumbersUnderABoldFrozenFilteredHeader) {
    test_support::TempDir dir;
    // A folder of its own: unzip's output files stay out of it.
    std::filesystem::create_directory(dir.File("informes"));
    const std::string path = dir.File("informes/cartera.xlsx");
    const loans::LoanCheck plain = PlainLoan();
    loans::LoanCheck both = plain;
    both.member = "00002";
    both.name = "=HYPERLINK(\"http://x\")\x07";  // a control character: escaped
    both.loan = 1071;
    both.documents_balance = 1234567.891L;
    both.receivable_balance = 1234568.014;
    both.fix_schedule = true;
    both.differing_instalments = 3;
    loans::WriteWorkbook(path, {plain, both});

    const std::string sheet = portfolio_test::WorkbookPart(dir, path, "xl/worksheets/sheet1.xml");
    const std::string strings = portfolio_test::WorkbookPart(dir, path, "xl/sharedStrings.xml");
    const std::string styles = portfolio_test::WorkbookPart(dir, path, "xl/styles.xml");
    for (const char* cell : {
             "<c r=\"A1\" s=\"1\" t=\"s\">",  // header: bold
             "<c r=\"H1\" s=\"1\" t=\"s\">",
             "<c r=\"A2\" t=\"s\">",  // codes and names: shared strings
             "<c r=\"B3\" t=\"s\">",
             "<c r=\"C2\"><v>1070</v></c>",
             "<c r=\"D2\" s=\"2\"><v>20000</v></c>",
             "<c r=\"F2\" s=\"2\"><v>10000</v></c>",
             "<c r=\"G2\"><v>0</v></c>",
             "<c r=\"D3\" s=\"2\"><v>1234567.89</v></c>",  // to the cent, as the CSV
             "<c r=\"E3\" s=\"2\"><v>1234568.01</v></c>",
             "<c r=\"F3\" s=\"2\"><v>0.12</v></c>",
             "<c r=\"G3\"><v>3</v></c>",
             "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>",
             "<autoFilter ref=\"A1:H3\"/>",
         }) {
        EXPECT_NE(sheet.find(cell), std::string::npos) << cell << "\n" << sheet;
    }
    EXPECT_EQ(sheet.find("<f>"), std::string::npos) << sheet;
    for (const char* text :
         {"<t>socio</t>", "<t>cuotas_distintas</t>", "<t>00010</t>", "<t>00002</t>",
          "<t>JOS\xC3\x89 P\xC3\x89REZ</t>", "<t>=HYPERLINK(\"http://x\")_x0007_</t>",
          "<t>Reindexar + Corregir Tabla</t>"}) {
        EXPECT_NE(strings.find(text), std::string::npos) << text << "\n" << strings;
    }
    EXPECT_NE(styles.find("<b/>"), std::string::npos) << styles;
    EXPECT_NE(styles.find("formatCode=\"#,##0.00\""), std::string::npos) << styles;

    const auto files = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("informes")))
            names.insert(entry.path().filename().string());
        return names;
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0666 & ~mask));
    // A cell the library refuses (a text over Excel's limit): the old
    // workbook stays, and no temporary file.
    const std::string before = test_support::ReadFile(path);
    loans::LoanCheck huge = plain;
    huge.name.assign(40000, 'A');
    try {
        loans::WriteWorkbook(path, {plain, huge});
        FAIL() << "a workbook with a refused cell was written";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message().rfind("No se pudo escribir " + path + ": ", 0), 0u)
            << failure.Message();
    }
    EXPECT_EQ(test_support::ReadFile(path), before);
    EXPECT_EQ(files(), std::set<std::string>{"cartera.xlsx"});

    const std::string nowhere = dir.File("no/such/folder/cartera.xlsx");
    try {
        loans::WriteWorkbook(nowhere, {plain});
        FAIL() << "a workbook was written into a missing folder";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message(),
                  "No se pudo escribir " + nowhere + ": " + std::strerror(ENOENT));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));

    // No loans: the header alone, still filtering.
    loans::WriteWorkbook(path, {});
    EXPECT_NE(portfolio_test::WorkbookPart(dir, path, "xl/worksheets/sheet1.xml")
                  .find("<autoFilter ref=\"A1:H1\"/>"),
              std::string::npos);
    EXPECT_EQ(files(), std::set<std::string>{"cartera.xlsx"});
    EXPECT_TRUE(loans::IsWorkbookName("a/Lista.XLSX"));
    EXPECT_FALSE(loans::IsWorkbookName("lista.xlsx.csv"));
}

}  // namespace
