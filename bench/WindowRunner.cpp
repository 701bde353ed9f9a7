// qvc_bench_window: the main window in a process of its own, for the window
// cases of qvc_bench (WindowCases.cpp), which start it once per measurement
// so that its figures are those of the program alone. It prints one
// "key value" line per figure on stdout.
//
//   qvc_bench_window startup
//       Does what quorvel-control does (application, TMatrixForm on the
//       system's serial ports with the production timings, TInfoForm, show)
//       and reports the time since process start at the window's first show
//       event ("shown-us") and at the start-up question ("asked-us"). The
//       question is answered No and the note on connecting later taken as
//       read; then the program ends. Process start is the steady-clock time
//       in QVC_BENCH_START_NS (set by qvc_bench just before it starts this
//       program), else the start time the kernel keeps (10 ms resolution).
//
//   qvc_bench_window readback (--tcp PORT | --pty PATH) [--reads N]
//       Shows the window and connects as a user does: over TCP the start-up
//       question is answered No, then the Setup page gets the address
//       127.0.0.1 and "Ethernet" is selected; over the serial link (COM1 is
//       PATH) the start-up question is answered Yes, which searches the ports.
//       Either way the connection ends with a read-back (not timed). Then the
//       "Read from Quorvel" menu item is triggered N times (default 3), each
//       timed from the trigger to the end of the refresh ("readback-us"),
//       followed by the repaint it causes ("repaint-us"). Also reports the
//       bytes one read-back moves on the wire, computed from the reply sizes
//       of the switcher read ("queries", "query-bytes", "reply-bytes",
//       "payload-bytes"), and the peak resident memory at the end
//       ("vmhwm-kb").
//
// Any message or question other than the start-up ones fails the run: it is
// printed as "unexpected-prompt" and the exit code is 1.
#include "WindowRun.h"
#include "link/LinkTimings.h"
#include "link/Prompts.h"
#include "link/SerialPortMap.h"
#include "protocol/Framing.h"
#include "protocol/StatusQueries.h"
#include "ui/GuardedApplication.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"
#include "ui/QtPrompts.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

using namespace qvc::bench::window;
using Clock = std::chrono::steady_clock;

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";
constexpr const char* kOffscreen = "offscreen";
constexpr const char* kLoopback = "127.0.0.1";
constexpr int kStartupWaitMs = 20000;
constexpr int kConnectWaitMs = 60000;    // a TCP connect and read-back take about 2.5 s
constexpr quint16 kSwitcherTcpPort = 23; // the window's own default
constexpr int kDefaultReads = 3;
constexpr int kPresetGroups = 16;
constexpr int kReplyTrailer = 3; // CR, LF, '#' after the payload
constexpr const char* kPeakResidentField = "VmHWM:";

void Print(const char* key, long long value) {
    std::printf("%s %lld\n", key, value);
    std::fflush(stdout);
}

int Fail(const QString& what) {
    std::printf("%s %s\n", kError, what.toLocal8Bit().constData());
    return 1;
}

long long UsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

// Microseconds since this process started.
std::optional<long long> UsSinceProcessStart() {
    bool ok = false;
    const long long startNs = qgetenv(kStartVariable).toLongLong(&ok);
    if (ok) {
        const auto now =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
                .count();
        return (now - startNs) / 1000;
    }
    // Field 22 of /proc/self/stat: start time in clock ticks since boot,
    // the clock CLOCK_BOOTTIME counts.
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTimeField = 22 - 3; // fields after "pid (comm)"
    if (fields.size() <= kStartTimeField) {
        return std::nullopt;
    }
    const long long ticks = fields[kStartTimeField].toLongLong(&ok);
    timespec boot{};
    if (!ok || clock_gettime(CLOCK_BOOTTIME, &boot) != 0) {
        return std::nullopt;
    }
    const long long bootUs = static_cast<long long>(boot.tv_sec) * 1000000 + boot.tv_nsec / 1000;
    return bootUs - ticks * 1000000 / sysconf(_SC_CLK_TCK);
}

// Peak resident memory of this process (VmHWM), in kB.
long long PeakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    // A /proc file has no size: read it whole rather than up to atEnd().
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(kPeakResidentField)) {
            return line.mid(qsizetype(std::strlen(kPeakResidentField)))
                .trimmed()
                .split(' ')
                .first()
                .toLongLong();
        }
    }
    return -1;
}

// The start-up question gets the scripted answer; after No, the note on how
// to connect later is taken as read. Anything else is unexpected: printed at
// once and remembered, so that the run fails.
class RunnerPrompts : public qvc::Prompts {
  public:
    explicit RunnerPrompts(bool connectSerial) : connectSerial_(connectSerial) {}

    void Message(const QString& text) override {
        if (startAsked && !connectSerial_ && !startHandled) {
            startHandled = true;
            return;
        }
        Unexpected(text);
    }
    void MessageWithTitle(const QString& title, const QString& text) override {
        Unexpected(title + QStringLiteral(": ") + text);
    }
    bool YesNo(const QString& title, const QString& text) override {
        if (!startAsked) {
            startAsked = true;
            if (onStartQuestion) {
                onStartQuestion();
            }
            return connectSerial_;
        }
        Unexpected(title + QStringLiteral(": ") + text);
        return false;
    }
    bool OkCancel(const QString& title, const QString& text) override {
        Unexpected(title + QStringLiteral(": ") + text);
        return false;
    }
    void Error(const QString& text) override { Unexpected(text); }
    QString OpenFileName(const QString& title) override { return Unexpected(title), QString(); }
    QString SaveFileName(const QString& title) override { return Unexpected(title), QString(); }

    std::function<void()> onStartQuestion;
    bool startAsked = false;
    bool startHandled = false; // after No: the note was shown
    int unexpected = 0;

  private:
    void Unexpected(const QString& text) {
        ++unexpected;
        std::printf("%s %s\n", kUnexpectedPrompt,
                    QString(text).replace('\n', ' ').toLocal8Bit().constData());
        std::fflush(stdout);
    }

    bool connectSerial_;
};

// Dispatches events until `done` holds, an unexpected prompt came or the
// deadline passed; a timer keeps the wait for events short.
bool Await(const RunnerPrompts& prompts, int timeoutMs, const std::function<bool()>& done) {
    QTimer tick;
    tick.start(5);
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && prompts.unexpected == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done() && prompts.unexpected == 0;
}

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
    Window(RunnerPrompts& prompts, qvc::SerialPortMap ports, quint16 tcpPort)
        : form(prompts, std::move(ports), qvc::LinkTimings::Production(), tcpPort) {
        info = std::make_unique<qvc::TInfoForm>();
        form.AttachInfoForm(info.get());
    }
    // The pop-up outlives the window, which reports to it until the end.
    std::unique_ptr<qvc::TInfoForm> info;
    qvc::TMatrixForm form;
};

// Records the time of the window's first show event.
class ShowWatch : public QObject {
  public:
    std::optional<long long> shownUs;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !shownUs) {
            shownUs = UsSinceProcessStart();
        }
        return false;
    }
};

int RunStartup(qvc::GuardedApplication& app) {
    RunnerPrompts prompts(false);
    const PromptsInstalled installed(app, prompts);
    std::optional<long long> askedUs;
    prompts.onStartQuestion = [&] { askedUs = UsSinceProcessStart(); };
    ShowWatch watch;
    Window window(prompts, qvc::SerialPortMap::FromSystem(), kSwitcherTcpPort);
    window.form.installEventFilter(&watch);
    window.form.show();
    const bool handled = Await(prompts, kStartupWaitMs, [&] { return prompts.startHandled; });
    if (!handled || !watch.shownUs || !askedUs) {
        return Fail(QStringLiteral("the start-up question was not handled, or no start time"));
    }
    Print(kShownUs, *watch.shownUs);
    Print(kAskedUs, *askedUs);
    return 0;
}

// Wire bytes of one read-back of the switcher described by `state`: each
// query line with its CR, and each reply (SOH and tag, payload, CR LF '#';
// the simulator sends no text before the SOH).
void PrintWireBytes(const qvc::DeviceState& state) {
    using qvc::StatusQuery;
    long long queryBytes = 0;
    long long replyBytes = 0;
    long long payloadBytes = 0;
    int queries = 0;
    const auto add = [&](StatusQuery q, int presetGroup) {
        const int length = qvc::ExpectedLength(q, state.model, state.status.ModelCode());
        queryBytes += static_cast<long long>(qvc::QueryLine(q, presetGroup).size()) + 1;
        replyBytes += static_cast<long long>(qvc::PayloadStart(0)) + length + kReplyTrailer;
        payloadBytes += length;
        ++queries;
    };
    for (StatusQuery q : {StatusQuery::Minfoqv, StatusQuery::Ainfoqv, StatusQuery::Oinfoqv,
                          StatusQuery::Opinfoqv, StatusQuery::Pinfoqv, StatusQuery::Ginfoqv}) {
        add(q, 0);
    }
    for (int n = 0; n < kPresetGroups; ++n) {
        add(StatusQuery::Pginfoqv, n);
    }
    Print(kQueries, queries);
    Print(kQueryBytes, queryBytes);
    Print(kReplyBytes, replyBytes);
    Print(kPayloadBytes, payloadBytes);
}

int RunReadBack(qvc::GuardedApplication& app, const QStringList& args) {
    quint16 tcpPort = 0;
    QString ptyPath;
    int reads = kDefaultReads;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String(kTcpOption)) {
            tcpPort = static_cast<quint16>(args[i + 1].toUInt());
        } else if (args[i] == QLatin1String(kPtyOption)) {
            ptyPath = args[i + 1];
        } else if (args[i] == QLatin1String(kReadsOption)) {
            reads = std::max(1, args[i + 1].toInt());
        }
    }
    const bool serial = !ptyPath.isEmpty();
    if (serial == (tcpPort != 0)) {
        return Fail(QStringLiteral("%1 needs one of %2 PORT and %3 PATH")
                        .arg(kReadBackMode, kTcpOption, kPtyOption));
    }

    RunnerPrompts prompts(serial);
    const PromptsInstalled installed(app, prompts);
    Window window(prompts, qvc::SerialPortMap({ptyPath, {}, {}, {}}),
                  serial ? kSwitcherTcpPort : tcpPort);
    qvc::TMatrixForm& form = window.form;
    auto* read = form.findChild<QAction*>(QStringLiteral("ReadfromQuorvels1"));
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("MainPageControl"));
    if (read == nullptr || pages == nullptr) {
        return Fail(QStringLiteral("the window has no ReadfromQuorvels1 or MainPageControl"));
    }
    const auto connected = [&] {
        const qvc::LinkState& flags = form.Flags();
        return (serial ? flags.SerialConnected : flags.EthernetConnected) && read->isEnabled() &&
               flags.BusyFlag == 0 && !flags.RefreshingFlag;
    };

    form.show();
    if (serial) {
        // Yes to the start-up question: the port search and a read-back.
        if (!Await(prompts, kConnectWaitMs, connected)) {
            return Fail(QStringLiteral("no serial connection"));
        }
    } else {
        if (!Await(prompts, kStartupWaitMs, [&] { return prompts.startHandled; })) {
            return Fail(QStringLiteral("the start-up question was not handled"));
        }
        pages->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("SetupTabSheet")));
        auto* address = form.findChild<QLineEdit*>(QStringLiteral("IPAddrEdit"));
        auto* ethernet = form.findChild<QRadioButton*>(QStringLiteral("SerialModeEthernetButton"));
        if (address == nullptr || ethernet == nullptr) {
            return Fail(QStringLiteral("the Setup page has no IPAddrEdit or Ethernet button"));
        }
        address->setText(QString::fromLatin1(kLoopback));
        ethernet->click(); // connects and reads back before it returns
        if (!Await(prompts, kConnectWaitMs, connected)) {
            return Fail(QStringLiteral("no Ethernet connection"));
        }
    }
    pages->setCurrentIndex(0); // "A / V Switching"
    QCoreApplication::processEvents();

    for (int i = 0; i < reads; ++i) {
        const Clock::time_point start = Clock::now();
        read->trigger();
        Print(kReadBackUs, UsSince(start));
        const Clock::time_point painted = Clock::now();
        QCoreApplication::processEvents();
        Print(kRepaintUs, UsSince(painted));
        if (prompts.unexpected != 0 || form.Flags().RefreshingFlag) {
            return Fail(QStringLiteral("the read-back failed"));
        }
    }
    PrintWireBytes(form.State());
    Print(kPeakResidentKb, PeakResidentKb());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty(kPlatformVariable)) {
        qputenv(kPlatformVariable, kOffscreen);
    }
    qvc::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qvc::kApplicationTitle));
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String(kStartupMode)) {
        return RunStartup(app);
    }
    if (!args.isEmpty() && args[0] == QLatin1String(kReadBackMode)) {
        return RunReadBack(app, args.mid(1));
    }
    return Fail(QStringLiteral("usage: qvc_bench_window %1 | %2 (%3 PORT | %4 PATH) [%5 N]")
                    .arg(kStartupMode, kReadBackMode, kTcpOption, kPtyOption, kReadsOption));
}
