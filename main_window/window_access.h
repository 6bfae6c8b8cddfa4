#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <string>
#include <vector>

#include "main_window/code_box.h"
#include "main_window/main_window.h"

namespace main_window {

// The one way into the main window for those that drive or check it from
// outside (the shell, the window test driver, tests and benchmarks): the
// controls and datasets by the role they play, nothing else. The window's
// own handlers stay on TFmain.
class WindowAccess {
  public:
    explicit WindowAccess(TFmain& window) : window_(window) {}

    enum class Grid { Loans, Schedule, Documents };
    enum class Label {
        Member,
        IdCard,
        Employer,
        MemberBalance,
        Charges,
        Payments,
        DocumentsBalance,
        LedgerBalance,
        Messages,  // the red banner
    };
    // The employer lookup's query stands beside the grids' datasets: its
    // statement text is part of what a lookup sends.
    enum class Set { Members, Loans, Schedule, Documents, Employer };

    TEdit* CodeBox() const { return window_.edsocio; }

    ui::TDBGrid* GridOf(Grid grid) const {
        switch (grid) {
            case Grid::Loans:
                return window_.DBGrid1;
            case Grid::Schedule:
                return window_.DBGrid2;
            case Grid::Documents:
                return window_.DBGrid3;
        }
        return nullptr;
    }

    QLabel* LabelOf(Label label) const {
        switch (label) {
            case Label::Member:
                return window_.lbnombre;
            case Label::IdCard:
                return window_.lbcedula;
            case Label::Employer:
                return window_.lbempresa;
            case Label::MemberBalance:
                return window_.lbbalance;
            case Label::Charges:
                return window_.lbtot1;
            case Label::Payments:
                return window_.lbtot2;
            case Label::DocumentsBalance:
                return window_.lbtot3;
            case Label::LedgerBalance:
                return window_.lbbal;
            case Label::Messages:
                return window_.lbmensajes;
        }
        return nullptr;
    }

    // The labels the program fills in, in the order a dump lists them (the
    // banner apart).
    std::vector<QLabel*> FilledLabels() const {
        return {window_.lbnombre, window_.lbcedula, window_.lbempresa, window_.lbbalance,
                window_.lbtot1,   window_.lbtot2,   window_.lbtot3,    window_.lbbal};
    }

    // Every label of the layout, captions included, from top left.
    std::vector<QLabel*> LayoutLabels() const {
        return {window_.Label1, window_.lbmensajes, window_.Label2, window_.lbnombre,
                window_.Label4, window_.lbcedula,   window_.Label6, window_.lbempresa,
                window_.Label3, window_.lbbalance,  window_.lbtot1, window_.lbtot2,
                window_.lbtot3, window_.lbbal};
    }

    // The controls beside those labels, which no label's text may run into.
    std::vector<QWidget*> LayoutControls() const {
        return {window_.edsocio,     window_.GroupBox1,  window_.DBGrid1,
                window_.DBGrid2,     window_.DBGrid3,    window_.btlimpiar,
                window_.btreindexar, window_.btcorregir, window_.btsalir};
    }

    // btlimpiar, btreindexar, btcorregir or btsalir; null for any other name.
    QPushButton* Button(const std::string& name) const {
        for (QPushButton* button :
             {window_.btlimpiar, window_.btreindexar, window_.btcorregir, window_.btsalir}) {
            if (button->objectName().toStdString() == name) return button;
        }
        return nullptr;
    }

    // The status bar's line on the current loan's repair pending approval.
    QLabel* PendingApproval() const { return window_.lbpendiente; }

    db::TIBDatabase& Connection() const { return window_.IBDatabase1; }
    db::TIBTransaction& Transaction() const { return window_.IBTransaction1; }

    db::TIBQuery& Query(Set set) const {
        switch (set) {
            case Set::Members:
                return window_.qsocios;
            case Set::Loans:
                return window_.qpres;
            case Set::Schedule:
                return window_.qcuotas;
            case Set::Documents:
                return window_.qcxc;
            case Set::Employer:
                break;
        }
        return window_.IBQuery1;
    }

    // What the member search dialog works on: the window's member set, its
    // data source and the flag the dialog sets when left without choosing.
    db::TIBQuery& SearchMembers() const { return window_.qsocios; }
    db::TDataSource& SearchSource() const { return window_.sqsocios; }
    bool& cancelado() const { return window_.cancelado; }

  private:
    TFmain& window_;
};

}  // namespace main_window
