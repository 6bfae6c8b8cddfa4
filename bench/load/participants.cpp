#include "bench/load/participants.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>
#include <memory>

#include "bench/load/child_process.h"
#include "bench/load/processor_time.h"

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// An answer that never comes is an error; a portfolio check may take long.
constexpr auto kAnswerWait = std::chrono::seconds(120);
constexpr auto kCheckWait = std::chrono::minutes(15);
// One action in this many of a window analyst is a search by surname.
constexpr long kSearchEvery = 20;
const char* const kSurnames[] = {"MEDINA", "tejada", "Polanco", "PE\u00d1A", "ogando", "ABREU"};

QJsonObject Parse(const std::string& line) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

// Lines until one holding `key`; refused commands on the way are errors.
// An empty object when the driver ended or did not answer in time.
QJsonObject AnswerWith(ChildProcess& child, const char* key, Tally& tally,
                       Clock::duration wait = kAnswerWait) {
    std::string line;
    while (child.ReadLine(line, Clock::now() + wait)) {
        const QJsonObject answer = Parse(line);
        if (answer.contains(key)) return answer;
        if (answer.contains("error")) {
            tally.Error("refused: " + line);
        } else if (answer.contains("messages") && answer.size() == 1) {
            tally.Error("the driver ended: " + line);  // a start-up failure
        }
    }
    tally.Error(std::string("no answer with \"") + key + "\": the process ended or stalled");
    return {};
}

// Boxes counted by a memory reading: any at all is wrong for a lookup of a
// member on file, a search that finds members or a portfolio check.
void CheckBoxes(const QJsonObject& memory, const std::string& after, Tally& tally) {
    const QJsonObject boxes = memory["memory"].toObject()["boxes"].toObject();
    for (const char* kind : {"error", "info", "confirm"}) {
        if (const int count = boxes[kind].toInt(); count > 0) {
            tally.Error(std::to_string(count) + " " + kind + " box(es) after " + after);
        }
    }
}

std::unique_ptr<ChildProcess> Start(Role role, const LoadPlan& plan, const std::string& log) {
    if (role == Role::kRawAnalyst) {
        return std::make_unique<ChildProcess>(
            plan.self, std::vector<std::string>{"--raw-analyst", plan.database}, plan.folder,
            std::vector<std::string>{}, log);
    }
    // The repair journal goes under the benchmark's own folder, never the user's.
    return std::make_unique<ChildProcess>(
        plan.probe, std::vector<std::string>{}, plan.folder,
        std::vector<std::string>{"QT_QPA_PLATFORM=offscreen",
                                 "XDG_DATA_HOME=" + plan.folder + "/journal"},
        log);
}

// Connected and answering: the window shown on its database, or the raw
// client attached.
bool Ready(Role role, ChildProcess& child, Tally& tally) {
    if (role == Role::kRawAnalyst) return !AnswerWith(child, "ready", tally).isEmpty();
    if (!child.Send("memory\n")) return false;
    const QJsonObject memory = AnswerWith(child, "memory", tally);
    if (memory.isEmpty()) return false;
    CheckBoxes(memory, "start-up", tally);
    return true;
}

// One member typed in, timed until its answer: the driver's memory reading
// after it, or the raw client's line.
bool Lookup(Role role, ChildProcess& child, const std::string& code, Tally& tally) {
    const auto start = Clock::now();
    if (role == Role::kRawAnalyst) {
        if (!child.Send("code " + code + "\n")) return false;
        std::string line;
        if (!child.ReadLine(line, Clock::now() + kAnswerWait)) {
            tally.Error("no answer to code " + code);
            return false;
        }
        if (Parse(line).contains("error")) tally.Error(line);
    } else {
        if (!child.Send("code " + code + "\nmemory\n")) return false;
        const QJsonObject memory = AnswerWith(child, "memory", tally);
        if (memory.isEmpty()) return false;
        CheckBoxes(memory, "code " + code, tally);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ++tally.lookups;
    tally.lookup_seconds += seconds;
    tally.lookup_ms.push_back(seconds * 1000);
    return true;
}

bool Search(ChildProcess& child, const char* surname, Tally& tally) {
    const std::string find = std::string("find {\"apellidos\": \"") + surname + "\"}";
    if (!child.Send("search\n" + find + "\nleave\nmemory\n")) return false;
    const QJsonObject memory = AnswerWith(child, "memory", tally);
    if (memory.isEmpty()) return false;
    CheckBoxes(memory, find, tally);
    ++tally.searches;
    return true;
}

bool Analyse(Role role, int index, int analysts, const LoadPlan& plan, ChildProcess& child,
             Clock::time_point deadline, Tally& tally) {
    // Each analyst starts in its own part of the code list.
    const size_t count = plan.codes.size();
    size_t next = static_cast<size_t>(index) * count / static_cast<size_t>(analysts);
    for (long action = 1; Clock::now() < deadline; ++action) {
        if (role == Role::kWindowAnalyst && action % kSearchEvery == 0) {
            if (!Search(child, kSurnames[(action / kSearchEvery) % std::size(kSurnames)], tally))
                return false;
            continue;
        }
        if (!Lookup(role, child, plan.codes[next], tally)) return false;
        next = (next + 1) % count;
    }
    return true;
}

// The loan's row in the member's loan list, or -1.
int LoanRow(const QJsonObject& state, int32_t loan) {
    const QJsonArray rows = state["grids"].toObject()["DBGrid1"].toObject()["rows"].toArray();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].toArray()[1].toString() == QString::number(loan)) return i;
    }
    return -1;
}

// Both repairs of one loan, each asked and confirmed; each must end with
// "Proceso Ejecutado" and no failure box.
bool Repair(ChildProcess& child, const RepairLoan& loan, Tally& tally) {
    const std::string which = loan.member + "/" + std::to_string(loan.loan);
    if (!child.Send("code " + loan.member + "\ndump\n")) return false;
    const QJsonObject shown = AnswerWith(child, "labels", tally);
    if (shown.isEmpty()) return false;
    const int row = LoanRow(shown, loan.loan);
    if (row < 0) {
        tally.Error("loan " + which + " not listed");
        return true;
    }
    if (!child.Send("loan " + std::to_string(row) + "\n")) return false;
    for (const char* button : {"btreindexar", "btcorregir"}) {
        if (!child.Send(std::string("press ") + button + "\ndump\n")) return false;
        const QJsonObject done = AnswerWith(child, "labels", tally);
        if (done.isEmpty()) return false;
        const QJsonArray boxes = done["messages"].toArray();
        for (const QJsonValue& box : boxes) {
            if (box.toObject()["kind"].toString() == "error") {
                tally.Error(std::string(button) + " on " + which + ": " +
                            box.toObject()["text"].toString().toStdString());
            }
        }
        if (boxes.isEmpty() || boxes.last().toObject()["text"].toString() != "Proceso Ejecutado") {
            tally.Error(std::string(button) + " on " + which +
                        " did not end with Proceso Ejecutado");
        } else {
            ++tally.repairs;
        }
    }
    return true;
}

bool RepairLoans(const LoadPlan& plan, ChildProcess& child, Clock::time_point deadline,
                 Tally& tally) {
    if (!child.Send("answer yes\n")) return false;
    for (size_t i = 0; Clock::now() < deadline; ++i) {
        if (!Repair(child, plan.repair_loans[i % plan.repair_loans.size()], tally)) return false;
    }
    return true;
}

bool CheckPortfolio(ChildProcess& child, Clock::time_point deadline, Tally& tally) {
    while (Clock::now() < deadline) {
        if (!child.Send("portfolio\n")) return false;
        const QJsonObject checked = AnswerWith(child, "portfolio", tally, kCheckWait);
        if (checked.isEmpty()) return false;
        const QJsonObject portfolio = checked["portfolio"].toObject();
        if (!portfolio["finished"].toBool()) tally.Error("the portfolio check did not finish");
        if (!child.Send("leave\nmemory\n")) return false;
        const QJsonObject memory = AnswerWith(child, "memory", tally);
        if (memory.isEmpty()) return false;
        CheckBoxes(memory, "the portfolio check", tally);
        if (tally.checks++ == 0) {
            tally.notes.push_back("first check: " + portfolio["totals"].toString().toStdString());
        }
    }
    return true;
}

}  // namespace

void Tally::Error(const std::string& what) {
    if (++errors <= 5) notes.push_back(what);
}

void RunParticipant(Role role, int index, int analysts, const LoadPlan& plan, StartLine& line,
                    Tally& tally) {
    bool counted_down = false;
    try {
        const std::unique_ptr<ChildProcess> child =
            Start(role, plan, plan.folder + "/" + tally.name + ".log");
        const bool ready = Ready(role, *child, tally);
        line.ready.count_down();
        counted_down = true;
        line.go.wait();
        const double cpu_at_start = ProcessorSeconds(child->Pid());
        bool running = ready;
        if (running) {
            switch (role) {
                case Role::kWindowAnalyst:
                case Role::kRawAnalyst:
                    running = Analyse(role, index, analysts, plan, *child, line.deadline, tally);
                    break;
                case Role::kRepairs:
                    running = RepairLoans(plan, *child, line.deadline, tally);
                    break;
                case Role::kPortfolio:
                    running = CheckPortfolio(*child, line.deadline, tally);
                    break;
            }
        }
        if (const double cpu_at_end = ProcessorSeconds(child->Pid());
            cpu_at_start >= 0 && cpu_at_end >= cpu_at_start) {
            tally.cpu_seconds = cpu_at_end - cpu_at_start;
        }
        if (!running) tally.Error("the process stopped answering");
        if (running) child->Send("quit\n");
        if (const std::string ending = child->Finish(Clock::now() + std::chrono::seconds(60));
            !ending.empty()) {
            tally.Error("the process ended with " + ending);
        }
    } catch (const std::exception& error) {
        tally.Error(error.what());
    }
    if (!counted_down) line.ready.count_down();
}

}  // namespace bench
