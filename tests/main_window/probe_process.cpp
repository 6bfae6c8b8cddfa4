#include "tests/main_window/probe_process.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcessEnvironment>

ProbeProcess::ProbeProcess(const std::string& folder,
                           const std::vector<std::pair<std::string, std::string>>& environment) {
    process_.setWorkingDirectory(QString::fromStdString(folder));
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    all.insert("QT_QPA_PLATFORM", "offscreen");
    for (const auto& [name, value] : environment) {
        all.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    process_.setProcessEnvironment(all);
    process_.start(COOP_PROBE, {});
    process_.waitForStarted();
}

ProbeProcess::~ProbeProcess() {
    Kill();
}

void ProbeProcess::Send(std::initializer_list<std::string> commands) {
    for (const std::string& command : commands) {
        process_.write((command + "\n").c_str());
    }
    process_.waitForBytesWritten(10000);
}

QJsonObject ProbeProcess::NextState(int seconds) {
    QDeadlineTimer deadline(seconds * 1000);
    while (!process_.canReadLine()) {
        if (process_.state() != QProcess::Running || deadline.hasExpired()) return {};
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return QJsonDocument::fromJson(process_.readLine()).object();
}

QJsonObject ProbeProcess::Do(std::initializer_list<std::string> commands) {
    Send(commands);
    Send({"dump"});
    return NextState();
}

QJsonObject ProbeProcess::Show(const std::string& member, int loan) {
    const QJsonObject state = Do({"code " + member});
    const QJsonArray rows = state["grids"].toObject()["DBGrid1"].toObject()["rows"].toArray();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].toArray()[1].toString() == QString::number(loan)) {
            return Do({"loan " + std::to_string(i)});
        }
    }
    return state;
}

void ProbeProcess::Kill() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(30000);
}

bool ProbeProcess::Quit() {
    Send({"quit"});
    process_.closeWriteChannel();
    if (!process_.waitForFinished(60000)) return false;
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

int ProbeProcess::ExitCode(int seconds) {
    if (!process_.waitForFinished(seconds * 1000) && process_.state() != QProcess::NotRunning) {
        return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

std::string ProbeProcess::Errors() {
    return process_.readAllStandardError().toStdString();
}
