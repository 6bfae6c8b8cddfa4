#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/approval/approvals.h"
#include "loans/records/record_store.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/repairs/repair_unit.h"
#include "loans/rules/reconciliation.h"
#include "portfolio/portfolio_dialog.h"
#include "ui/grid/db_grid.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace main_window {

class TEdit;
class WindowAccess;

// The main window: member code box, member identity and balance, the loan,
// schedule and applied-documents grids, the reconciliation totals, the
// buttons, and every database component of the program.
class TFmain : public QWidget {
  public:
    // Built-in database name until db.ini gives the real one. It names no
    // database on any machine: without db.ini the program must fail to
    // connect, never open some other database (a demo) as if it were the
    // cooperative's.
    static constexpr const char* kDefaultDatabaseName = "/nonexistent/db.ini-was-not-read.fdb";

    explicit TFmain(QWidget* parent = nullptr);
    ~TFmain() override;

    // What cargardatos loads: the member's loans and then the current one,
    // or only the current loan of the list already shown.
    enum class LoadMode { Member, Loan };

  private:
    // The driver, the tests and the shell reach the controls and datasets
    // through this one interface, not member by member.
    friend class WindowAccess;

    // --- database components (created first, destroyed last) ---
    db::TIBDatabase IBDatabase1{"IBDatabase1"};
    db::TIBTransaction IBTransaction1{"IBTransaction1"};
    db::TIBQuery IBQuery1{"IBQuery1"};
    db::TIBQuery IBQuery2{"IBQuery2"};
    db::TIBQuery qsocios{"qsocios"};
    db::TIBQuery qpres{"qpres"};
    db::TIBQuery qcuotas{"qcuotas"};
    db::TIBQuery qcxc{"qcxc"};
    // Each repair's own short read-write transaction; the window's own
    // transaction only reads.
    loans::RepairUnit repair_unit_{IBDatabase1};
    db::TDataSource sqsocios{"sqsocios"};
    db::TDataSource sqpres{"sqpres"};
    db::TDataSource sqcuotas{"sqcuotas"};
    db::TDataSource sqcxc{"sqcxc"};

    // --- controls (owned by the window) ---
    QLabel* Label1;
    TEdit* edsocio;
    QLabel* lbmensajes;
    QGroupBox* GroupBox1;
    QLabel* Label2;
    QLabel* lbnombre;
    QLabel* Label4;
    QLabel* lbcedula;
    QLabel* Label6;
    QLabel* lbempresa;
    QLabel* Label3;
    QLabel* lbbalance;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    ui::TDBGrid* DBGrid1;
    ui::TDBGrid* DBGrid2;
    ui::TDBGrid* DBGrid3;
    QLabel* lbtot1;
    QLabel* lbtot2;
    QLabel* lbtot3;
    QLabel* lbbal;
    QPushButton* btlimpiar;
    QPushButton* btreindexar;
    QPushButton* btcorregir;
    QPushButton* btsalir;
    QStatusBar* StatusBar1;
    // Our own text in the status bar: the current loan's repair that waits
    // for a supervisor's approval.
    QLabel* lbpendiente;

    // After this long without a key or a click, the statements the
    // connection keeps prepared are freed, so that others can change the
    // tables they name.
    static constexpr int kIdleReleaseMs = 60'000;

    // Set by the search dialog: true when it was left without choosing.
    bool cancelado = false;

  public:
    // --- handlers and operations ---
    void edsocioExit();
    void edsocioDblClick();
    void cargardatos(LoadMode modo);
    std::string nombreempresa(int codigo);
    void btlimpiarClick();
    void qpresAfterScroll();
    void btsalirClick();
    void btreindexarClick();
    void btcorregirClick();
    void calculartotales();
    double balancecxc(int prestamo);
    void DBGrid3DrawColumnCell(ui::TDBGrid& sender, const QRect& rect, int data_col,
                               ui::TColumn& column, ui::TGridDrawState state);
    // F2: the portfolio check beside the window; each loan chosen there
    // becomes current. F2 again checks again.
    void RevisionCartera();
    // F3: the current loan's repair records, with undo, and its requests
    // for approval.
    void HistorialReparaciones();
    // F4: the open requests for repairs that need approval; approve or
    // reject them.
    void SolicitudesPendientes();
    // Asks, then approves the request on the window's connection, as one
    // unit with its resolution and its record; the loan shown is read again
    // when it is the request's.
    bool ApproveRequest(loans::Approvals& approvals, const loans::Request& request);
    // Asks, then puts the current loan back as the record holds it, recorded
    // as "Deshacer"; false when the record is not of the current loan.
    bool UndoRepair(loans::RecordStore& records, const loans::RepairRecord& undone);
    void MakeLoanCurrent(int prestamo);
    // Ctrl+P: the current loan's statement through the print dialog.
    void ImprimirEstado();
    // The statement's parts: its first lines (cooperative, member, loan),
    // the totals and message after the tables, and the heading every page
    // carries.
    QString LoanStatementHtml();
    QString LoanStatementClosingHtml();
    QString StatementHeading();

    // Installed by the shell: the first-show and key-preview handlers.
    std::function<void()> OnFormShow;
    std::function<void(int key)> OnFormKeyDown;

  private:
    // Per-kind sums of the applied documents of the current loan.
    loans::KindSums sumas;
    // The current loan's receivable balance, as last read.
    double balanceprestamo = 0;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void CreateGrids();
    void CreatePortfolioShortcut();
    void CreateHistoryShortcut();
    void CreateRequestsShortcut();
    void CreatePrintShortcut();
    void ConfigureDatabase();
    void ClearLoanDetails();
    void ForgetLoanDetails();
    void ClearLoanFigures();
    // cargardatos' steps; a failure in them leaves no loan details shown.
    void LoadCurrentLoan(LoadMode modo);
    void ClearMemberDisplay();
    // The reconciliation labels and the banner back to their empty state.
    void ClearFigures();
    void UpdateMessages();
    void SetLabelText(QLabel* label, const std::string& text);
    // The text alone, without sizing or fitting; false when already shown.
    bool ShowLabelText(QLabel* label, const std::string& text);
    void SetBalanceLabel(const std::string& text);
    void FitTotals();
    void FitMessages();
    // The current loan of the loaded member when one can be repaired: a
    // member looked up, a listed loan numbered above 0 and its documents
    // loaded. 0 otherwise.
    int RepairableLoan();
    // One repair of the current loan from confirmation to "Proceso
    // Ejecutado": asks, repairs the loan as it stands now in a transaction
    // of the repair's own, reloads it once, shows the result and journals
    // the outcome.
    void RepairLoan(loans::RepairKind kind, const char* question);
    // Runs a confirmed repair (or undo) of the current loan's member as a
    // recorded unit, then reloads the loan once and shows "Proceso
    // Ejecutado"; a failure is raised again.
    void RecordedRun(int prestamo, const std::string& name,
                     const std::function<loans::RecordedUnit(const loans::ConfirmedUnit&)>& run);
    // Where repairs need approval: says what became of a confirmed repair
    // filed as a request (a refusal or failure is raised again).
    void FiledRequest(const loans::Filed& filed);
    // The status bar's line on the current loan's open requests; empty
    // where there are none or the database keeps none.
    void ShowPendingApproval();

    void ShowChosenLoan(const portfolio::TFcartera::Choice& chosen);
    // The portfolio dialog once closed, from the loop it was opened in.
    void DeleteClosedPortfolio();

    QTimer* idle_release_;
    // "Revision de cartera" while it is open (and until it is gone).
    std::unique_ptr<portfolio::TFcartera> cartera_;
    int cartera_loop_ = 0;  // the event loop level it was opened in
    bool shown_once_ = false;
    bool loading_loans_ = false;
    bool member_inactive_ = false;
    // Whether the database keeps requests for approval: asked once.
    std::optional<bool> requests_kept_;
    std::string mismatch_;
    std::string looked_up_code_;
};

}  // namespace main_window
