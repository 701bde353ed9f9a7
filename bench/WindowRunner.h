// The pieces of qvc_bench_window that its modes share: output, scripted
// prompts, waiting, the window as quorvel-control builds it, and connecting
// it as a user does. WindowRunner.cpp has the start-up and read-back modes
// and main(); WindowScenarios.cpp the modes that drive the pages.
#pragma once

#include "WindowRun.h"
#include "link/Prompts.h"
#include "link/SerialPortMap.h"
#include "ui/GuardedApplication.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"

#include <QMap>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace qvc::bench::window {

using Clock = std::chrono::steady_clock;

void Print(const char* key, long long value);
// Prints the failure; returns the exit code 1.
int Fail(const QString& what);
long long UsSince(Clock::time_point start);
// CPU time (user + system) of this process so far, in microseconds.
long long ProcessCpuUs();
// Wall-clock milliseconds since the epoch, as the simulator's log stamps them.
long long WallMs();

// The start-up question gets the scripted answer; after No, the note on how
// to connect later is taken as read. The file dialogs answer `fileName`
// when it is set, and `expectedMessage` is counted. Anything else is
// unexpected: printed at once and remembered, so that the run fails.
class RunnerPrompts : public qvc::Prompts {
  public:
    explicit RunnerPrompts(bool connectSerial) : connectSerial_(connectSerial) {}

    void Message(const QString& text) override;
    void MessageWithTitle(const QString& title, const QString& text) override;
    bool YesNo(const QString& title, const QString& text) override;
    bool OkCancel(const QString& title, const QString& text) override;
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title) override;
    QString SaveFileName(const QString& title) override;

    std::function<void()> onStartQuestion;
    bool startAsked = false;
    bool startHandled = false; // after No: the note was shown
    int unexpected = 0;

    QString fileName;
    std::function<void()> onFileName; // when a file dialog was answered
    QString expectedMessage;
    std::function<void()> onExpectedMessage;

  private:
    void Unexpected(const QString& text);

    bool connectSerial_;
};

// Dispatches events until `done` holds, an unexpected prompt came or the
// deadline passed; a timer of `tickMs` keeps the wait for events short (and
// wakes the process that often: keep it long where CPU is measured).
bool Await(const RunnerPrompts& prompts, int timeoutMs, const std::function<bool()>& done,
           int tickMs = 5);

// Routes errors that escape a handler to `prompts` while it lives.
class PromptsInstalled {
  public:
    PromptsInstalled(qvc::GuardedApplication& app, qvc::Prompts& prompts) : app_(app) {
        app_.SetPrompts(&prompts);
    }
    ~PromptsInstalled() { app_.SetPrompts(nullptr); }
    PromptsInstalled(const PromptsInstalled&) = delete;
    PromptsInstalled& operator=(const PromptsInstalled&) = delete;

  private:
    qvc::GuardedApplication& app_;
};

// The window and its pop-up, built as quorvel-control builds them.
struct Window {
    Window(RunnerPrompts& prompts, qvc::SerialPortMap ports, quint16 tcpPort);
    // The pop-up outlives the window, which reports to it until the end.
    std::unique_ptr<qvc::TInfoForm> info;
    qvc::TMatrixForm form;
};

// The options after the mode, "--name value" pairs.
using Options = QMap<QString, QString>;
Options ParseOptions(const QStringList& args);
int IntOption(const Options& options, const char* name, int fallback, int least);

// The link a mode runs on: TCP to the simulator's port, or the serial link
// with COM1 on its pty.
struct LinkChoice {
    quint16 tcpPort = 0;
    QString ptyPath;
    bool Serial() const { return !ptyPath.isEmpty(); }
};
// Empty when the options name exactly one of --tcp PORT and --pty PATH.
QString ChooseLink(const Options& options, LinkChoice& link);

// A window for `link`, shown and connected as a user does: over TCP the
// start-up question is answered No, then the Setup page gets the address
// 127.0.0.1 and "Ethernet" is selected; over the serial link it is answered
// Yes, which searches the ports. Either way the connection ends with a
// read-back; then the "A / V Switching" page (ControlTabSheet) is shown.
class ConnectedWindow {
  public:
    ConnectedWindow(qvc::GuardedApplication& app, const LinkChoice& link);
    // Empty when connected, else why not.
    QString Connect();
    // Connected, the read action enabled, and no exchange or refresh at work.
    bool Idle() const;
    // Shows the page with this object name, as a click on its tab does.
    bool ShowPage(const char* objectName);

    RunnerPrompts prompts;
    qvc::TMatrixForm& Form() { return window_.form; }
    template <typename T> T* Find(const QString& name) { return Form().findChild<T*>(name); }

  private:
    LinkChoice link_;
    PromptsInstalled installed_;
    Window window_;
};

// The modes of WindowScenarios.cpp.
int RunAudio(qvc::GuardedApplication& app, const QStringList& args);
int RunConfig(qvc::GuardedApplication& app, const QStringList& args);
int RunSequence(qvc::GuardedApplication& app, const QStringList& args);
int RunPreview(qvc::GuardedApplication& app, const QStringList& args);

} // namespace qvc::bench::window
