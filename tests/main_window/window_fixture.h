#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "formats/format_settings.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "shell/startup.h"
#include "tests/support/test_database.h"
#include "tools/probe/probe.h"
#include "ui/dialog_responder.h"

// A text with amounts as the window shows them in the C locale
// ("30,000.00"), as it shows them in this process's regional settings: the
// window tests run on a Spanish desktop too ("30.000,00").
inline std::string AsShown(std::string text) {
    const formats::FormatSettings& settings = formats::DefaultFormatSettings();
    const auto digit = [&text](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (!digit(i - 1) || !digit(i + 1)) continue;
        if (text[i] == ',')
            text[i] = settings.thousands_separator;
        else if (text[i] == '.')
            text[i] = settings.decimal_separator;
    }
    return text;
}

// An environment variable set for one test's scope, then put back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// A drag of a grid column's title edge by `by` pixels, as the mouse makes it.
inline void DragColumnEdge(ui::TDBGrid& grid, int data_col, int by) {
    const QRect title = grid.CellRect(-1, data_col);
    const QPoint from(title.right() + 1, title.center().y());
    const QPoint to = from + QPoint(by, 0);
    QWidget* viewport = grid.viewport();
    const auto send = [viewport](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, from + QPoint(by / 2, 0), Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

// The real main window, offscreen, on a fresh demo database named by a
// db.ini in a scratch working directory, driven like the window test driver.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        database_ = dir_.File("demo.fdb");
        test_support::CopyDemoDatabase(database_);
        WriteDbIni(database_ + "\n");
        previous_dir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.Path());
    }
    void TearDown() override {
        probe_.reset();
        window_.reset();
        ui::SetDialogResponder(nullptr);
        // A test skipped before SetUp ran never left the folder it started in.
        if (!previous_dir_.empty()) std::filesystem::current_path(previous_dir_);
    }
    // Closes the window, as the analyst would, so that Start opens another.
    void CloseWindow() {
        probe_.reset();
        window_.reset();
    }
    void WriteDbIni(const std::string& bytes) {
        std::ofstream(dir_.File("db.ini"), std::ios::binary) << bytes;
    }
    // Creates and shows the window; its first show reads db.ini. Returns
    // the state right after it.
    QJsonObject Start() {
        ui::SetDialogResponder(&responder_);
        window_ = shell::CreateMainWindow();
        if (!window_) {
            ADD_FAILURE() << "the main window could not be created";
            return {};
        }
        probe_ = std::make_unique<probe::Probe>(
            *window_, responder_,
            [this](std::string& line) {
                if (commands_.empty()) return false;
                line = commands_.front();
                commands_.pop_front();
                return true;
            },
            [this](const std::string& line) { output_.push_back(line); });
        window_->show();
        window_->activateWindow();
        return Do({});
    }
    // Runs commands as the driver would; returns the state after them,
    // with the boxes shown since the previous state.
    QJsonObject Do(std::initializer_list<std::string> commands) {
        const std::vector<std::string> lines = Lines(commands);
        const std::string last = lines.empty() ? std::string() : lines.back();
        return QJsonDocument::fromJson(last.c_str()).object();
    }
    // Runs commands followed by a dump; returns every line written.
    std::vector<std::string> Lines(std::initializer_list<std::string> commands) {
        commands_.assign(commands.begin(), commands.end());
        commands_.push_back("dump");
        output_.clear();
        probe_->RunAll();
        for (const std::string& line : output_) {
            EXPECT_NE(line.rfind("{\"error\"", 0), 0u) << line;  // a refused command
        }
        return output_;
    }
    // The same lines, parsed.
    std::vector<QJsonObject> Objects(std::initializer_list<std::string> commands) {
        std::vector<QJsonObject> out;
        for (const std::string& line : Lines(commands)) {
            out.push_back(QJsonDocument::fromJson(line.c_str()).object());
        }
        return out;
    }
    // Looks the member up and makes the loan current; returns the state.
    QJsonObject Show(const char* member, int loan) {
        const QJsonObject state = Do({std::string("code ") + member});
        const QJsonArray rows = Grid(state, "DBGrid1")["rows"].toArray();
        for (int i = 0; i < rows.size(); ++i) {
            if (rows[i].toArray()[1].toString() == QString::number(loan)) {
                return Do({"loan " + std::to_string(i)});
            }
        }
        ADD_FAILURE() << "loan " << loan << " is not listed for " << member;
        return state;
    }
    // The loan's ledger rows and schedule paid amounts, read on a
    // connection of their own (past any relay in front of the window's).
    static std::vector<std::string> LedgerAndScheduleRows(const std::string& database, int loan) {
        test_support::RawConnection raw(database);
        std::vector<std::string> rows = raw.QueryRows(
            "select cliente, tipo_doc, documento, fecha, aplica, valor, cuota, interes, tipo "
            "from cxctrx where aplica = " +
            std::to_string(loan) + " order by tipo_doc, documento, valor");
        for (const std::string& row : raw.QueryRows(
                 "select ren_cuotano, ren_pagadocapital, ren_pagadointeres, ren_totalpagado "
                 "from renglones where ren_prestamono = " +
                 std::to_string(loan) + " order by ren_cuotano")) {
            rows.push_back("R " + row);
        }
        return rows;
    }
    static std::string Text(const QJsonValue& value) {
        return value.toString().toLatin1().toStdString();
    }
    static std::string Label(const QJsonObject& state, const char* name) {
        return Text(state["labels"].toObject()[name]);
    }
    static QJsonObject Grid(const QJsonObject& state, const char* name) {
        return state["grids"].toObject()[name].toObject();
    }
    using Access = main_window::WindowAccess;
    Access Window() const { return Access(*window_); }

    test_support::TempDir dir_;
    std::string database_;
    std::filesystem::path previous_dir_;
    probe::RecordingResponder responder_;
    std::unique_ptr<main_window::TFmain> window_;
    std::unique_ptr<probe::Probe> probe_;
    std::deque<std::string> commands_;
    std::vector<std::string> output_;
};
