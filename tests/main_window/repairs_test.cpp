// The two repairs through the real window, on both routes: what they write,
// that they write all or nothing, on whose loan, and over current data.
#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include "main_window/code_box.h"
#include "tests/main_window/repair_fixture.h"

namespace {

TEST_P(RepairTest, RebuildWritesTheOpeningRowAndOneRowPerDocumentWithEveryValue) {
    // A ledger in any state: the rebuild replaces it from the documents.
    Execute("delete from cxctrx where aplica = 1101");
    Execute(
        "insert into cxctrx (cliente, tipo_doc, documento, aplica, valor) "
        "values ('00013', 'R', 1, 1101, -77)");
    Start();
    Show(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds);
    const QJsonObject done = Press("btreindexar");
    EXPECT_EQ(Boxes(done), (Boxes_t{{"confirm", kRebuildQuestion + std::string("1101?")},
                                    {"info", "Proceso Ejecutado"}}));
    // Debit notes positive, every other kind negative, as the list shows
    // them; fechavenc is the loan's date; the loan's type on every row.
    EXPECT_EQ(
        Movements(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds),
        (Rows{
            "00013|C|7029|2023-05-03 00:00:00|1101|-1000.000000|2023-04-01 "
            "00:00:00|1|63|0.000000|1",
            "00013|C|7031|2023-05-03 00:00:00|1101|-500.000000|2023-04-01 00:00:00|1|63|0.000000|1",
            "00013|C|7033|2023-05-03 00:00:00|1101|-300.000000|2023-04-01 00:00:00|1|63|0.000000|1",
            "00013|D|7030|2023-05-03 00:00:00|1101|200.000000|2023-04-01 00:00:00|1|63|0.000000|1",
            "00013|D|7031|2023-05-03 00:00:00|1101|500.000000|2023-04-01 00:00:00|1|63|0.000000|1",
            "00013|F|1101|2023-04-01 00:00:00|1101|9000.000000|2023-04-01 00:00:00|0|63|0.000000|1",
            "00013|N|2023052|2023-05-01 00:00:00|1101|-1500.000000|2023-04-01 "
            "00:00:00|1|63|0.000000|1",
        }));
}

TEST_P(RepairTest, RebuildWritesNullAmountsAsZeroAndKeepsTheDocumentsTimeOfDay) {
    Execute("update ingresosdet set fecharecibo = '2023-05-02 10:30:15' where recibo = 50496");
    Execute("delete from cxctrx where aplica = 1100");
    Start();
    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    Press("btreindexar");
    EXPECT_EQ(
        Movements(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts),
        (Rows{
            "00013|F|1100|2023-04-01 00:00:00|1100|12000.000000|2023-04-01 "
            "00:00:00|0|64|0.000000|1",
            "00013|M|9097|2023-06-06 00:00:00|1100|0.000000|2023-04-01 00:00:00|2|64|-90.000000|1",
            "00013|R|50496|2023-05-02 10:30:15|1100|-3000.000000|2023-04-01 "
            "00:00:00|1|64|0.000000|1",
        }));
}

TEST_P(RepairTest, RebuildGivesTypeTwoForZeroNegativeAndNullLoanTypesAndKeepsTypeThree) {
    Start();
    struct Case {
        const char* member;
        int loan;
        const char* tipo;
    };
    for (const Case& c : {Case{demo::kMemberActive, demo::kLoanLegal, "2"},             // 0
                          Case{demo::kMemberLoanZeroFirst, demo::kLoanAfterZero, "2"},  // null
                          Case{demo::kMemberInactive, demo::kLoanInactiveMember, "2"},  // -1
                          Case{demo::kMemberMillions, demo::kLoanMillions, "3"}}) {     // 3
        Show(c.member, c.loan);
        Press("btreindexar");
        EXPECT_EQ(RawConnection(name_).QueryRows(
                      "select distinct tipo from cxctrx where cliente = '" + std::string(c.member) +
                      "' and aplica = " + std::to_string(c.loan)),
                  Rows{c.tipo})
            << c.loan;
    }
}

TEST_P(RepairTest, RebuildOfALoanWithoutDocumentsLeavesOnlyTheOpeningRowAndRepeatsExactly) {
    Execute(
        "insert into cxctrx (cliente, tipo_doc, documento, aplica, valor) "
        "values ('00005', 'R', 1, 1040, -500)");
    Start();
    Show(demo::kMemberInactiveLowercaseStatus, demo::kLoanWithoutDocuments);
    Press("btreindexar");
    const Rows once = Movements(demo::kMemberInactiveLowercaseStatus, demo::kLoanWithoutDocuments);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(once[0].substr(0, 12), "00005|F|1040");
    Press("btreindexar");
    EXPECT_EQ(Movements(demo::kMemberInactiveLowercaseStatus, demo::kLoanWithoutDocuments), once);

    Show(demo::kMemberActive, demo::kLoanActive);
    Press("btreindexar");
    const Rows active = Movements(demo::kMemberActive, demo::kLoanActive);
    EXPECT_EQ(active.size(), 9u);  // the opening row and eight documents
    Press("btreindexar");
    EXPECT_EQ(Movements(demo::kMemberActive, demo::kLoanActive), active);
}

TEST_P(RepairTest, RebuildMakesADisagreeingLedgerAgreeAndTheWindowShowsIt) {
    Start();
    const QJsonObject before = Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    EXPECT_TRUE(before["lbmensajes"].toObject()["visible"].toBool());
    const QJsonObject after = Press("btreindexar");
    EXPECT_FALSE(after["lbmensajes"].toObject()["visible"].toBool());
    EXPECT_EQ(Label(after, "lbbal"), AsShown("Balance prestamo CXC: 20,000.00"));
    EXPECT_EQ(Label(after, "lbtot3"), AsShown("Balance= 20,000.00"));
    EXPECT_EQ(Label(after, "lbbalance"), AsShown("31,500.01"));
}

TEST_P(RepairTest, AnsweringNoOrClosingWritesNothingAndShowsNothingMore) {
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    const Rows movements = Movements(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    const Rows schedule = Schedule(demo::kLoanMismatchMissingDocs);
    for (const char* answer : {"no", "close"}) {
        EXPECT_EQ(Boxes(Press("btreindexar", answer)),
                  (Boxes_t{{"confirm", kRebuildQuestion + std::string("1070?")}}));
        EXPECT_EQ(Boxes(Press("btcorregir", answer)),
                  (Boxes_t{{"confirm", kCorrectQuestion + std::string("1070?")}}));
    }
    EXPECT_EQ(Movements(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs), movements);
    EXPECT_EQ(Schedule(demo::kLoanMismatchMissingDocs), schedule);
}

TEST_P(RepairTest, CorrectionAddsEveryDocumentToItsInstalmentAndMovesTotalPaidByTheChange) {
    // Whatever else the totals held (late fees, insurance) stays.
    Execute(
        "update renglones set ren_totalpagado = ren_pagadocapital + ren_pagadointeres + 7.25 "
        "where ren_prestamono in (1100, 1101)");
    Start();
    // Null interest adds 0 and still adds the capital (1); a null capital
    // adds 0 and still adds the interest (2).
    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    EXPECT_EQ(Boxes(Press("btcorregir")),
              (Boxes_t{{"confirm", kCorrectQuestion + std::string("1100?")},
                       {"info", "Proceso Ejecutado"}}));
    EXPECT_EQ(Schedule(demo::kLoanNullAmounts),
              (Rows{"1|3000.000000|0.000000|3007.250000", "2|0.000000|90.000000|97.250000",
                    "3|0.000000|0.000000|7.250000", "4|0.000000|0.000000|7.250000"}));
    // Five documents on instalment 1: credits and payroll add, debits subtract.
    Show(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds);
    Press("btcorregir");
    EXPECT_EQ(Schedule(demo::kLoanNoteKinds),
              (Rows{"1|2600.000000|0.000000|2607.250000", "2|0.000000|0.000000|7.250000",
                    "3|0.000000|0.000000|7.250000"}));
}

// A loan whose books agree comes out of the correction exactly as it went
// in, every column of every instalment, however often it is corrected; an
// instalment entered twice keeps each row's own total; a null total stays
// null.
TEST_P(RepairTest, CorrectionOfALoanWhoseBooksAgreeChangesNoColumn) {
    Execute(
        "insert into renglones (ren_prestamono, ren_cuotano, ren_pagadocapital, "
        "ren_pagadointeres, ren_totalpagado) values (1001, 12, 0, 0, 41.5)");
    Execute(
        "update renglones set ren_totalpagado = null where ren_prestamono = 1001 and "
        "ren_cuotano = 11");
    const auto every_column = [this] {
        return RawConnection(name_).QueryRows(
            "select * from renglones where ren_prestamono = 1001 "
            "order by ren_cuotano, ren_totalpagado");
    };
    const Rows before = every_column();
    ASSERT_GT(before.size(), 10u);
    Start();
    Show(demo::kMemberActive, demo::kLoanActive);
    const QJsonObject shown = Do({});
    for (int time = 1; time <= 2; ++time) {
        EXPECT_EQ(Boxes(Press("btcorregir")).back().second, "Proceso Ejecutado");
        EXPECT_EQ(every_column(), before) << "corrected " << time << " times";
    }
    EXPECT_EQ(Do({})["grids"], shown["grids"]);
}

// A missing date is written as missing, not as the encoding's day zero;
// present dates keep their time of day.
TEST_P(RepairTest, RebuildWritesANullDateWhereTheSourceHasNone) {
    Execute("update ingresosdet set fecharecibo = null where recibo = 50496");
    Execute("update solicitudpres set fecha = null where no_documento = 1100");
    Start();
    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    EXPECT_EQ(Boxes(Press("btreindexar")).back().second, "Proceso Ejecutado");
    EXPECT_EQ(RawConnection(name_).QueryRows(
                  "select tipo_doc, documento, fecha, fechavenc from cxctrx where aplica = 1100 "
                  "order by tipo_doc"),
              (Rows{"F|1100|<null>|<null>", "M|9097|2023-06-06 00:00:00|<null>",
                    "R|50496|<null>|<null>"}));
}

TEST_P(RepairTest, CorrectionZeroesALoanWithoutDocumentsAndIgnoresAMissingInstalment) {
    Execute(
        "update renglones set ren_pagadocapital = 5, ren_pagadointeres = 6, "
        "ren_totalpagado = 11 where ren_prestamono = 1040");
    // Paid 11 less, the total with it.
    Start();
    Show(demo::kMemberInactiveLowercaseStatus, demo::kLoanWithoutDocuments);
    Press("btcorregir");
    for (const std::string& row : Schedule(demo::kLoanWithoutDocuments)) {
        EXPECT_EQ(row.substr(row.find('|')), "|0.000000|0.000000|0.000000");
    }
    // A receipt for an instalment the schedule lacks changes nothing and says nothing.
    Execute(
        "insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo) values (99001, '2023-06-01', 99, 1000, 10, 1001)");
    Show(demo::kMemberActive, demo::kLoanActive);
    const QJsonObject done = Press("btcorregir");
    EXPECT_EQ(Boxes(done).back(),
              (std::pair<std::string, std::string>{"info", "Proceso Ejecutado"}));
    EXPECT_EQ(
        RawConnection(name_).QueryText(
            "select count(*) from renglones where ren_prestamono = 1001 and ren_cuotano = 99"),
        "0");
}

// A statement failing part-way through a repair takes all of its writes
// with it: the loan is as before, for the window and for everyone else.
TEST_P(RepairTest, RepairFailingPartWayLeavesTheLoanExactlyAsBefore) {
    Execute("update renglones set ren_totalpagado = 123 where ren_prestamono = 1100");
    Execute("create exception coop_test_failure 'falla de prueba'");
    Execute(
        "create trigger cxctrx_fail for cxctrx before insert as begin "
        "if (new.tipo_doc = 'D' and new.documento = 7031) then exception coop_test_failure; end");
    Execute(
        "create trigger renglones_fail for renglones before update as begin "
        "if (new.ren_prestamono = 1100 and new.ren_cuotano = 2 and new.ren_pagadointeres <> 0) "
        "then exception coop_test_failure; end");
    const Rows movements = Movements(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds);
    const Rows schedule = Schedule(demo::kLoanNullAmounts);
    Start();

    const QJsonObject shown = Show(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds);
    const QJsonObject rebuild = Press("btreindexar");
    ASSERT_EQ(Boxes(rebuild).size(), 2u);
    EXPECT_EQ(Boxes(rebuild)[1].first, "error");
    EXPECT_NE(Boxes(rebuild)[1].second.find("falla de prueba"), std::string::npos);
    EXPECT_EQ(Movements(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds), movements);
    // The window's own transaction holds nothing of it either.
    EXPECT_EQ(Label(Show(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds), "lbbal"),
              Label(shown, "lbbal"));

    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    const QJsonObject correct = Press("btcorregir");
    ASSERT_EQ(Boxes(correct).size(), 2u);
    EXPECT_EQ(Boxes(correct)[1].first, "error");
    EXPECT_EQ(Schedule(demo::kLoanNullAmounts), schedule);

    // The window stays usable, and nothing is left pending to be committed
    // later: a repair that succeeds now commits only its own rows.
    Execute("drop trigger cxctrx_fail");
    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    EXPECT_EQ(Boxes(Press("btreindexar")).back().second, "Proceso Ejecutado");
    EXPECT_EQ(Schedule(demo::kLoanNullAmounts), schedule);
    EXPECT_EQ(Movements(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds), movements);
}

TEST_P(RepairTest, NothingIsWrittenWithoutALoadedMemberAndALoanAboveZero) {
    const auto all_rows = [this] {
        return RawConnection(name_).QueryText("select count(*) || '/' || sum(valor) from cxctrx");
    };
    const std::string before = all_rows();
    Start();
    EXPECT_TRUE(Boxes(Press("btreindexar")).empty());
    EXPECT_TRUE(Boxes(Press("btcorregir")).empty());
    // Loan number 0 is the current row of this member's list.
    Do({std::string("code ") + demo::kMemberLoanZeroFirst});
    EXPECT_TRUE(Boxes(Press("btreindexar")).empty());
    EXPECT_TRUE(Boxes(Press("btcorregir")).empty());
    // A member without listed loans, then one cleared away.
    Do({std::string("code ") + demo::kMemberWithoutLoans});
    EXPECT_TRUE(Boxes(Press("btreindexar")).empty());
    Show(demo::kMemberActive, demo::kLoanActive);
    Do({"press btlimpiar"});
    EXPECT_TRUE(Boxes(Press("btreindexar")).empty());
    EXPECT_TRUE(Boxes(Press("btcorregir")).empty());
    EXPECT_EQ(all_rows(), before);
}

// A code typed but not looked up yet belongs to nobody on screen: the
// loan grid's wheel reloads the shown member's loan, and its sums must be
// that member's too.
TEST_P(RepairTest, SumsUseTheShownMemberNotACodeTypedButNotLookedUp) {
    Start();
    const QJsonObject shown = Do({std::string("code ") + demo::kMemberActive});
    Window().CodeBox()->setFocus();
    Window().CodeBox()->setText(demo::kMemberMismatch);
    QWidget* viewport = Window().GridOf(Access::Grid::Loans)->viewport();
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    const QJsonObject moved = Do({});
    EXPECT_EQ(Text(moved["edsocio"]), demo::kMemberMismatch);
    EXPECT_NE(Grid(moved, "DBGrid1")["current"], Grid(shown, "DBGrid1")["current"]);
    EXPECT_EQ(Label(moved, "lbbalance"), AsShown("50,100.00"));
    EXPECT_EQ(Label(moved, "lbbal"), AsShown("Balance prestamo CXC: 17,500.00"));
    EXPECT_FALSE(moved["lbmensajes"].toObject()["visible"].toBool());
}

TEST_P(RepairTest, AReceiptCommittedElsewhereShowsAtTheNextLookup) {
    Start();
    const QJsonObject before = Show(demo::kMemberActive, demo::kLoanActive);
    EXPECT_EQ(
        Label(before, "lbtot2").find(AsShown("Recibos Ingreso= -20,000.00")) != std::string::npos,
        true);
    Execute(
        "insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo) values (99002, '2023-06-01', 7, 1000, 10, 1001)");
    const QJsonObject after = Show(demo::kMemberActive, demo::kLoanActive);
    EXPECT_NE(Label(after, "lbtot2").find(AsShown("Recibos Ingreso= -21,000.00")),
              std::string::npos)
        << Label(after, "lbtot2");
}

// Another user's pending change to the same rows: the repair fails at once,
// says so in Spanish instead of the engine's words, and writes nothing.
TEST_P(RepairTest, RepairMeetingAnotherUsersPendingChangeFailsAtOnceAndChangesNothing) {
    Start();
    Show(demo::kMemberActive, demo::kLoanActive);
    const Rows movements = Movements(demo::kMemberActive, demo::kLoanActive);
    const Rows schedule = Schedule(demo::kLoanActive);
    RawConnection other(name_);
    other.ExecutePending("update cxctrx set valor = valor where aplica = 1001");
    other.ExecutePending("update renglones set ren_totalpagado = 1 where ren_prestamono = 1001");
    for (const char* button : {"btreindexar", "btcorregir"}) {
        const QJsonObject failed = Press(button);
        ASSERT_EQ(Boxes(failed).size(), 2u) << button;
        EXPECT_EQ(Boxes(failed)[1].first, "error") << button;
        EXPECT_NE(Boxes(failed)[1].second.find(
                      "Otro usuario est\xE1 modificando el pr\xE9stamo 1001; intente de nuevo."),
                  std::string::npos)
            << Boxes(failed)[1].second;
    }
    other.ReleasePending();
    EXPECT_EQ(Movements(demo::kMemberActive, demo::kLoanActive), movements);
    EXPECT_EQ(Schedule(demo::kLoanActive), schedule);
    // Once the other user is done, the same repair goes through.
    EXPECT_EQ(Boxes(Press("btcorregir")).back().second, "Proceso Ejecutado");
}

INSTANTIATE_TEST_SUITE_P(Routes, RepairTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace
