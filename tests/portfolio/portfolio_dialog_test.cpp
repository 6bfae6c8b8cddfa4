// The dialog on its own: cancel before the list and during repairs, the
// application quit mid-repair, a check that fails, the list kept across a
// check again, the remembered layout, and the chart of the stored runs
// with the new loans marked.
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "db/call_watch.h"
#include "loans/repairs/bulk_repair.h"
#include "tests/main_window/server_fault_fixture.h"
#include "tests/main_window/window_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/portfolio/portfolio_window_fixture.h"
#include "tests/support/table_checksums.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/dialog_responder.h"
#include "ui/modal_result.h"
#include "ui/window_memory.h"

namespace {

using portfolio::PortfolioAccess;

// Cancel while the check is still under way: the dialog answers at once,
// and closes without a choice when the worker has let go of its connection.
TEST(PortfolioDialog, CancelStopsTheRunningCheckAndClosesWithoutAChoice) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        released.wait();
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(access.Running());
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());  // still waiting for the worker
    EXPECT_EQ(access.Totals()->text(), "Cancelando...");
    release.set_value();
    WaitFor([&] { return !dialog.isVisible(); });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(access.Running());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(access.Chosen().has_value());
    EXPECT_TRUE(access.Failure().empty());
}

// Cancel during a repair run stops it before its next loan: what is done
// stays done, the rest is counted as not reached, and the dialog stays
// open on a fresh check.
TEST(PortfolioDialog, CancelDuringRepairsStopsBeforeTheNextLoanAndStaysOpen) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    const auto untouched = test_support::ChecksumTables(path);
    // The repair run's connection (the second the dialog sets up) waits
    // until Cancel has been pressed.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> setups{0};
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        if (++setups == 2) released.wait();
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    struct Answers : ui::DialogResponder {
        void Information(const std::string& text) override { shown.push_back(text); }
        int Confirmation(const std::string&) override { return ui::kModalYes; }
        void Error(const std::string&, const std::string& text) override { shown.push_back(text); }
        std::vector<std::string> shown;
    } answers;
    ui::SetDialogResponder(&answers);
    dialog.show();
    WaitFor([&] { return access.Finished(); });
    access.List()->selectAll();
    EXPECT_TRUE(access.RepairSelected());
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.Totals()->text(), "Deteniendo las reparaciones...");
    release.set_value();
    WaitFor([&] { return access.LastRepair().has_value() && !access.Running(); });
    ui::SetDialogResponder(nullptr);
    unsetenv("XDG_DATA_HOME");

    ASSERT_TRUE(access.LastRepair().has_value());
    EXPECT_EQ(access.LastRepair()->repaired, 0);
    EXPECT_EQ(access.LastRepair()->not_reached, 4);
    EXPECT_EQ(answers.shown,
              (std::vector<std::string>{"Reparados: 0\nOmitidos (ya sin diferencias): 0\n"
                                        "Fallidos: 0\nNo alcanzados: 4"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.List()->model()->rowCount(), 4);
    EXPECT_EQ(test_support::ChecksumTables(path), untouched);
    dialog.reject();
}

// The application told to quit while the dialog repairs, its loop running
// as in the program: the dialog lets the quit through (a window that stays
// open would refuse it), and once gone it has finished the loan under way
// (the one with 1,100 receipts, caught in the middle of its writes) as one
// unit and started no other.
TEST(PortfolioDialog, QuitDuringRepairsGoesThroughAndTheLoanUnderWayIsFinishedWhole) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    UnsettleManyDocumentsLoan(path);
    const std::string reference = dir.File("reference.fdb");
    std::filesystem::copy_file(path, reference);
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    static std::atomic<long> calls{0};
    QWidget window;  // the main window it shows over
    window.show();
    auto dialog = std::make_unique<portfolio::TFcartera>(
        [&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
            loans::ConfigureProgramConnection(database, transaction, path);
        },
        &window);
    const PortfolioAccess access(*dialog);
    struct Answers : ui::DialogResponder {
        void Information(const std::string&) override {}
        int Confirmation(const std::string&) override { return ui::kModalYes; }
        void Error(const std::string&, const std::string&) override {}
    } answers;
    ui::SetDialogResponder(&answers);
    dialog->show();
    WaitFor([&] { return access.Finished(); });
    access.List()->sortByColumn(0, Qt::DescendingOrder);  // the large loan first
    access.List()->selectAll();
    ASSERT_EQ(access.SelectedRows().size(), 5u);
    ASSERT_EQ(access.SelectedRows()[0].loan, demo::kLoanManyDocuments);
    db::SetCallStartObserver([] { ++calls; });
    ASSERT_TRUE(access.RepairSelected());
    WaitFor([&] { return calls >= 500 || !access.Running(); });
    db::SetCallStartObserver(nullptr);
    ASSERT_TRUE(access.Running()) << "the run ended before the quit";
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    // A quit refused would leave the loop running: it is ended here instead.
    QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(dialog->isVisible());
    dialog.reset();
    ui::SetDialogResponder(nullptr);

    unsetenv("XDG_DATA_HOME");
    // Recorded with it, in the database's table: that loan alone.
    EXPECT_EQ(test_support::RawConnection(path).QueryRows("select prestamo from reparaciones"),
              std::vector<std::string>{std::to_string(demo::kLoanManyDocuments)});
    portfolio_test::RepairOneFlaggedLoan(reference, demo::kLoanManyDocuments);
    EXPECT_EQ(test_support::ChecksumTables(path), test_support::ChecksumTables(reference));
}

// The loans of the rows selected, in the order shown.
std::vector<int32_t> Loans(const std::vector<loans::LoanCheck>& rows) {
    std::vector<int32_t> numbers;
    for (const loans::LoanCheck& row : rows) numbers.push_back(row.loan);
    return numbers;
}

// Checked again (F2 over the list, or after "Reparar"), the list keeps its
// sort, its selection and its current row (found again by their loans) and
// its scroll position; a loan repaired meanwhile leaves it, and the row
// that takes its place is current.
TEST(PortfolioDialog, ACheckAgainKeepsTheSortTheSelectionAndTheScrollPosition) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const ScopedVariable data("XDG_DATA_HOME", dir.File("data"));
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return access.Finished(); });
    QTableView& list = *access.List();
    list.sortByColumn(5, Qt::DescendingOrder);  // the differences, largest first
    ASSERT_EQ(Loans(access.ShownRows()), (std::vector<int32_t>{1070, 1071, 1010, 1073}));
    // Two rows in view at a time, the last ones scrolled to.
    list.setFixedHeight(list.horizontalHeader()->height() + 2 * 17 + 2 * list.frameWidth() +
                        list.horizontalScrollBar()->sizeHint().height());
    QApplication::processEvents();
    const auto select = [&list](std::initializer_list<int> rows, int current) {
        list.selectionModel()->clearSelection();
        for (int row : rows) {
            list.selectionModel()->select(list.model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        list.selectionModel()->setCurrentIndex(list.model()->index(current, 0),
                                               QItemSelectionModel::NoUpdate);
    };
    select({1, 3}, 3);
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    const int scrolled = list.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);

    ASSERT_TRUE(access.Recheck());
    WaitFor([&] { return !access.Running(); });
    EXPECT_EQ(Loans(access.ShownRows()), (std::vector<int32_t>{1070, 1071, 1010, 1073}));
    EXPECT_EQ(list.horizontalHeader()->sortIndicatorSection(), 5);
    EXPECT_EQ(list.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Loans(access.SelectedRows()), (std::vector<int32_t>{1071, 1073}));
    EXPECT_EQ(list.currentIndex().row(), 3);
    EXPECT_EQ(list.verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(access.Progress()->value(), access.Progress()->maximum());

    // "Reparar" on 1010, the current row: it leaves; 1073 takes its row.
    struct Answers : ui::DialogResponder {
        void Information(const std::string&) override {}
        int Confirmation(const std::string&) override { return ui::kModalYes; }
        void Error(const std::string&, const std::string&) override {}
    } answers;
    ui::SetDialogResponder(&answers);
    select({2}, 2);
    ASSERT_TRUE(access.RepairSelected());
    WaitFor([&] { return access.LastRepair().has_value() && !access.Running(); });
    ui::SetDialogResponder(nullptr);
    EXPECT_EQ(access.LastRepair()->repaired, 1);
    EXPECT_EQ(Loans(access.ShownRows()), (std::vector<int32_t>{1070, 1071, 1073}));
    EXPECT_EQ(list.horizontalHeader()->sortIndicatorSection(), 5);
    EXPECT_EQ(list.currentIndex().row(), 2);
    EXPECT_TRUE(access.SelectedRows().empty());
    EXPECT_EQ(access.Progress()->value(), access.Progress()->maximum());
    dialog.reject();
}

// At its first size every column's title shows whole (its sort mark
// included) and every column is in view without scrolling; the size and
// the widths the analyst gives it are there when it opens again, until
// Ctrl+0 puts the first ones back.
TEST(PortfolioDialog, TitlesFitAtTheFirstSizeAndSizeAndWidthsAreRemembered) {
    test_support::TempDir dir;
    const ScopedVariable config("XDG_CONFIG_HOME", dir.File("config"));
    const auto make = [&dir] {
        return std::make_unique<portfolio::TFcartera>(
            [&dir](db::TIBDatabase& database, db::TIBTransaction& transaction) {
                loans::ConfigureProgramConnection(database, transaction, dir.File("no-existe.fdb"));
            });
    };
    const auto widths = [](const QTableView& list) {
        std::vector<int> all;
        for (int column = 0; column < list.model()->columnCount(); ++column) {
            all.push_back(list.columnWidth(column));
        }
        return all;
    };
    auto dialog = make();
    dialog->show();
    WaitFor([&] { return PortfolioAccess(*dialog).Finished(); });
    const QSize first_size = dialog->size();
    for (QTableView* list : {PortfolioAccess(*dialog).List(), PortfolioAccess(*dialog).Preview()}) {
        const QHeaderView& header = *list->horizontalHeader();
        int used = 0;
        for (int column = 0; column < header.count(); ++column) {
            EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column))
                << list->objectName().toStdString() << " "
                << list->model()->headerData(column, Qt::Horizontal).toString().toStdString();
            used += header.sectionSize(column);
        }
        if (list->isVisible()) {
            EXPECT_LE(used, list->viewport()->width());
            EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
        }
    }
    const std::vector<int> first_widths = widths(*PortfolioAccess(*dialog).List());
    // Closed as it opened: nothing kept.
    dialog->reject();
    EXPECT_FALSE(QSettings(ui::window_memory::FilePath(), QSettings::IniFormat)
                     .childGroups()
                     .contains("cartera"));
    dialog = make();
    dialog->show();
    WaitFor([&] { return PortfolioAccess(*dialog).Finished(); });

    dialog->resize(first_size + QSize(120, 80));
    PortfolioAccess(*dialog).List()->setColumnWidth(1, 333);
    std::vector<int> changed = widths(*PortfolioAccess(*dialog).List());
    dialog->reject();
    dialog = make();
    EXPECT_EQ(dialog->size(), first_size + QSize(120, 80));
    dialog->show();
    WaitFor([&] { return PortfolioAccess(*dialog).Finished(); });
    // The last column stretches to the list's edge.
    changed.back() = widths(*PortfolioAccess(*dialog).List()).back();
    EXPECT_EQ(widths(*PortfolioAccess(*dialog).List()), changed);

    QTest::keyClick(PortfolioAccess(*dialog).List(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(dialog->size(), first_size);
    EXPECT_EQ(widths(*PortfolioAccess(*dialog).List())[1], first_widths[1]);
    dialog->reject();
    dialog = make();
    EXPECT_EQ(dialog->size(), first_size);
    EXPECT_EQ(widths(*PortfolioAccess(*dialog).List())[1], first_widths[1]);
}

TEST(PortfolioDialog, FailureIsShownInTheDialog) {
    test_support::TempDir dir;
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, dir.File("no-existe.fdb"));
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return access.Finished(); });
    ASSERT_TRUE(access.Finished());
    EXPECT_FALSE(access.Failure().empty());
    EXPECT_TRUE(access.Totals()->text().startsWith("No se pudo revisar la cartera: "));
    EXPECT_EQ(access.List()->model()->rowCount(), 0);
    EXPECT_FALSE(access.ButtonOf(PortfolioAccess::Button::Export)->isEnabled());
    EXPECT_EQ(access.ButtonOf(PortfolioAccess::Button::Cancel)->text(), "&Cerrar");
}

}  // namespace

namespace {

// The dialog on `path` until its check has ended.
void CheckInTheDialog(portfolio::TFcartera& dialog) {
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return access.Finished() && !access.Running(); });
    ASSERT_TRUE(access.Finished());
    ASSERT_TRUE(access.Failure().empty()) << access.Failure();
}

std::vector<double> Ys(const QLineSeries& series) {
    std::vector<double> ys;
    for (const QPointF& point : series.points()) ys.push_back(point.y());
    return ys;
}

// Two runs stored (the demo, then with 1070 repaired), one unfinished, and
// a new disagreement on 1001: the dialog's own check is the fourth run;
// the chart draws the three finished ones from the database, the table
// lists all four, and only 1001 is marked new.
TEST(PortfolioDialog, ChartDrawsTheStoredRunsAndTheNewLoanIsMarked) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    portfolio_test::RecordCheckRun(path);
    portfolio_test::RepairOneFlaggedLoan(path, demo::kLoanMismatchMissingDocs);
    portfolio_test::RecordCheckRun(path);
    portfolio_test::RecordCheckRun(path, false);
    test_support::RawConnection(path).Execute(
        "update cxctrx set valor = valor + 100 where cliente = '00001' and aplica = 1001 and "
        "tipo_doc = 'F'");
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    CheckInTheDialog(dialog);

    const portfolio::RunHistoryChart& chart = *access.History();
    EXPECT_TRUE(chart.isVisible());
    EXPECT_EQ(Ys(*chart.FlaggedSeries()), (std::vector<double>{4, 3, 4}));
    EXPECT_EQ(Ys(*chart.AmountSeries()), (std::vector<double>{13000.01, 3000.01, 3100.01}));
    // In the runs' order, side by side.
    const QList<QPointF> points = chart.FlaggedSeries()->points();
    ASSERT_EQ(points.size(), 3);
    EXPECT_LT(points[0].x(), points[1].x());
    EXPECT_LT(points[1].x(), points[2].x());
    EXPECT_EQ(chart.AmountSeries()->points()[2].x(), points[2].x());
    // The same figures as a table, every run.
    const QTableWidget& table = *chart.Table();
    ASSERT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.item(0, 0)->text(), "1");
    EXPECT_EQ(table.item(3, 3)->text(), "4");
    EXPECT_EQ(table.item(0, 4)->text().toStdString(), AsShown("13,000.01"));
    EXPECT_EQ(table.item(1, 4)->text().toStdString(), AsShown("3,000.01"));
    EXPECT_EQ(table.item(2, 6)->text(), "no");
    EXPECT_EQ(table.item(3, 6)->text(), QString::fromLatin1("s\xED"));
    EXPECT_TRUE(chart.Note()->text().startsWith(QString::fromLatin1(
        "Revisi\xF3n 4 registrada: 1 nuevos y 0 resueltos desde la revisi\xF3n 2 (")))
        << chart.Note()->text().toStdString();

    // "nuevo" in its own column on 1001's row only, whatever the list's
    // order; sorted by it, the new loan comes first.
    constexpr int kNew = portfolio::FlaggedLoansModel::kNewColumn;
    const QAbstractItemModel& shown = *access.List()->model();
    ASSERT_EQ(shown.columnCount(), kNew + 1);
    EXPECT_EQ(shown.headerData(kNew - 1, Qt::Horizontal).toString(), "MOTIVO");
    EXPECT_EQ(shown.headerData(kNew, Qt::Horizontal).toString(), "NUEVO");
    std::vector<loans::LoanCheck> rows = access.ShownRows();
    ASSERT_EQ(rows.size(), 4u);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(shown.index(row, kNew).data().toString(),
                  rows[static_cast<size_t>(row)].loan == 1001 ? "nuevo" : "")
            << rows[static_cast<size_t>(row)].loan;
    }
    access.List()->sortByColumn(kNew, Qt::DescendingOrder);
    rows = access.ShownRows();
    EXPECT_EQ(rows[0].loan, 1001);
    EXPECT_EQ(test_support::RawConnection(path).QueryText(
                  "select count(*) from revisiones_prestamos where revision = 4"),
              "4");
}

// A database without the history's tables: the dialog is as it always
// was, no chart, rows numbered, nothing stored.
TEST(PortfolioDialog, WithoutTheHistoryTablesNoChartIsShownAndNothingStored) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    {
        test_support::RawConnection owner(path);
        owner.Execute("drop table revisiones_prestamos");
        owner.Execute("drop table revisiones");
    }
    const auto before = test_support::ChecksumTables(path);
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    CheckInTheDialog(dialog);
    EXPECT_FALSE(access.History()->isVisible());
    EXPECT_EQ(access.ShownRows().size(), 4u);
    EXPECT_EQ(access.List()->model()->columnCount(),
              portfolio::FlaggedLoansModel::kColumns);  // no NUEVO
    EXPECT_FALSE(access.Flagged().IsNew(0));
    EXPECT_EQ(test_support::ChecksumTables(path), before);
}

// With the chart and the NUEVO column the dialog grows to show them; closed
// as it opened it still keeps nothing, and the widths the analyst gives
// the list's columns are there again, NUEVO and all, and through a check
// again.
TEST(PortfolioDialog, ChartAndNewColumnLeaveTheRememberedLayoutTheAnalysts) {
    test_support::TempDir dir;
    const ScopedVariable config("XDG_CONFIG_HOME", dir.File("config"));
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    portfolio_test::RecordCheckRun(path);
    const auto make = [&path] {
        return std::make_unique<portfolio::TFcartera>(
            [&path](db::TIBDatabase& database, db::TIBTransaction& transaction) {
                loans::ConfigureProgramConnection(database, transaction, path);
            });
    };
    constexpr int kNew = portfolio::FlaggedLoansModel::kNewColumn;
    auto dialog = make();
    const QSize first_size = dialog->size();
    CheckInTheDialog(*dialog);
    QTableView& list = *PortfolioAccess(*dialog).List();
    ASSERT_EQ(list.model()->columnCount(), kNew + 1);
    EXPECT_TRUE(PortfolioAccess(*dialog).History()->isVisible());
    EXPECT_GT(dialog->height(), first_size.height());
    QApplication::processEvents();
    const QHeaderView& header = *list.horizontalHeader();
    for (int column = 0; column <= kNew; ++column) {
        EXPECT_GE(header.sectionSize(column), header.sectionSizeHint(column)) << column;
    }
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    dialog->reject();
    EXPECT_FALSE(QSettings(ui::window_memory::FilePath(), QSettings::IniFormat)
                     .childGroups()
                     .contains("cartera"));

    dialog = make();
    CheckInTheDialog(*dialog);
    PortfolioAccess(*dialog).List()->setColumnWidth(1, 333);
    dialog->reject();
    dialog = make();
    CheckInTheDialog(*dialog);
    ASSERT_EQ(PortfolioAccess(*dialog).List()->model()->columnCount(), kNew + 1);
    EXPECT_EQ(PortfolioAccess(*dialog).List()->columnWidth(1), 333);
    ASSERT_TRUE(PortfolioAccess(*dialog).Recheck());
    WaitFor([&] { return !PortfolioAccess(*dialog).Running(); });
    EXPECT_EQ(PortfolioAccess(*dialog).List()->columnWidth(1), 333);
    EXPECT_EQ(PortfolioAccess(*dialog).List()->model()->columnCount(), kNew + 1);
    dialog->reject();
}

}  // namespace
