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
//       With --wire-log 1 the wire log window (View > "Wire Log") is open
//       during the timed read-backs; its rows are reported at the end
//       ("wire-log-rows").
//
//   qvc_bench_window audio (--tcp PORT | --pty PATH) [--runs N] [--key-ms MS]
//   qvc_bench_window config --tcp PORT --dir DIR [--runs N]
//   qvc_bench_window sequence (--tcp PORT | --pty PATH) [--steps N] [--second-ms MS]
//   qvc_bench_window preview --tcp PORT [--runs N]
//       Drive the pages of a connected window; see WindowScenarios.cpp.
//
// Any message or question other than the start-up ones (and those a mode
// expects) fails the run: it is printed as "unexpected-prompt" and the exit
// code is 1.
#include "WindowRunner.h"

#include "ReadBackWire.h"
#include "link/LinkTimings.h"
#include "ui/QtPrompts.h"
#include "ui/wirelog/WireLogWindow.h"

#include <QAction>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace qvc::bench::window {

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr int kStartupWaitMs = 20000;
constexpr int kConnectWaitMs = 60000;    // a TCP connect and read-back take about 2.5 s
constexpr quint16 kSwitcherTcpPort = 23; // the window's own default

} // namespace

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

long long ProcessCpuUs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto us = [](const timeval& t) {
        return static_cast<long long>(t.tv_sec) * 1000000 + static_cast<long long>(t.tv_usec);
    };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

long long WallMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// --- RunnerPrompts ------------------------------------------------------------

void RunnerPrompts::Message(const QString& text) {
    if (startAsked && !connectSerial_ && !startHandled) {
        startHandled = true;
        return;
    }
    if (!expectedMessage.isEmpty() && text == expectedMessage) {
        if (onExpectedMessage) {
            onExpectedMessage();
        }
        return;
    }
    Unexpected(text);
}

void RunnerPrompts::MessageWithTitle(const QString& title, const QString& text) {
    Unexpected(title + QStringLiteral(": ") + text);
}

bool RunnerPrompts::YesNo(const QString& title, const QString& text) {
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

bool RunnerPrompts::OkCancel(const QString& title, const QString& text) {
    Unexpected(title + QStringLiteral(": ") + text);
    return false;
}

void RunnerPrompts::Error(const QString& text) {
    Unexpected(text);
}

QString RunnerPrompts::OpenFileName(const QString& title) {
    return SaveFileName(title);
}

QString RunnerPrompts::SaveFileName(const QString& title) {
    if (fileName.isEmpty()) {
        Unexpected(title);
        return {};
    }
    if (onFileName) {
        onFileName();
    }
    return fileName;
}

void RunnerPrompts::Unexpected(const QString& text) {
    ++unexpected;
    std::printf("%s %s\n", kUnexpectedPrompt,
                QString(text).replace('\n', ' ').toLocal8Bit().constData());
    std::fflush(stdout);
}

bool Await(const RunnerPrompts& prompts, int timeoutMs, const std::function<bool()>& done,
           int tickMs) {
    QTimer tick;
    tick.start(tickMs);
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && prompts.unexpected == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done() && prompts.unexpected == 0;
}

Window::Window(RunnerPrompts& prompts, qvc::SerialPortMap ports, quint16 tcpPort)
    : form(prompts, std::move(ports), qvc::LinkTimings::Production(), tcpPort) {
    info = std::make_unique<qvc::TInfoForm>();
    form.AttachInfoForm(info.get());
}

// --- options and the connection ---------------------------------------------

Options ParseOptions(const QStringList& args) {
    Options options;
    for (qsizetype i = 0; i + 1 < args.size(); i += 2) {
        options.insert(args[i], args[i + 1]);
    }
    return options;
}

int IntOption(const Options& options, const char* name, int fallback, int least) {
    bool ok = false;
    const int value = options.value(QString::fromLatin1(name)).toInt(&ok);
    return ok ? std::max(least, value) : fallback;
}

QString ChooseLink(const Options& options, LinkChoice& link) {
    link.tcpPort = static_cast<quint16>(options.value(QString::fromLatin1(kTcpOption)).toUInt());
    link.ptyPath = options.value(QString::fromLatin1(kPtyOption));
    if (link.Serial() == (link.tcpPort != 0)) {
        return QStringLiteral("give one of %1 PORT and %2 PATH").arg(kTcpOption, kPtyOption);
    }
    return {};
}

ConnectedWindow::ConnectedWindow(qvc::GuardedApplication& app, const LinkChoice& link)
    : prompts(link.Serial()), link_(link), installed_(app, prompts),
      window_(prompts, qvc::SerialPortMap({link.ptyPath, {}, {}, {}}),
              link.Serial() ? kSwitcherTcpPort : link.tcpPort) {}

bool ConnectedWindow::Idle() const {
    const qvc::LinkState& flags = window_.form.Flags();
    const auto* read = window_.form.findChild<QAction*>(QStringLiteral("ReadfromQuorvels1"));
    return (link_.Serial() ? flags.SerialConnected : flags.EthernetConnected) && read != nullptr &&
           read->isEnabled() && flags.BusyFlag == 0 && !flags.RefreshingFlag;
}

bool ConnectedWindow::ShowPage(const char* objectName) {
    auto* pages = Find<QTabWidget>(QStringLiteral("MainPageControl"));
    auto* page = Find<QWidget>(QString::fromLatin1(objectName));
    if (pages == nullptr || page == nullptr || pages->indexOf(page) < 0) {
        return false;
    }
    pages->setCurrentWidget(page);
    QCoreApplication::processEvents();
    return pages->currentWidget() == page;
}

QString ConnectedWindow::Connect() {
    qvc::TMatrixForm& form = Form();
    form.show();
    form.activateWindow();
    if (link_.Serial()) {
        // Yes to the start-up question: the port search and a read-back.
        if (!Await(prompts, kConnectWaitMs, [&] { return Idle(); })) {
            return QStringLiteral("no serial connection");
        }
    } else {
        if (!Await(prompts, kStartupWaitMs, [&] { return prompts.startHandled; })) {
            return QStringLiteral("the start-up question was not handled");
        }
        if (!ShowPage("SetupTabSheet")) {
            return QStringLiteral("the window has no Setup page");
        }
        auto* address = Find<QLineEdit>(QStringLiteral("IPAddrEdit"));
        auto* ethernet = Find<QRadioButton>(QStringLiteral("SerialModeEthernetButton"));
        if (address == nullptr || ethernet == nullptr) {
            return QStringLiteral("the Setup page has no IPAddrEdit or Ethernet button");
        }
        address->setText(QString::fromLatin1(kLoopback));
        ethernet->click(); // connects and reads back before it returns
        if (!Await(prompts, kConnectWaitMs, [&] { return Idle(); })) {
            return QStringLiteral("no Ethernet connection");
        }
    }
    if (!ShowPage("ControlTabSheet")) {
        return QStringLiteral("the window has no ControlTabSheet");
    }
    return {};
}

namespace {

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";
constexpr const char* kOffscreen = "offscreen";
constexpr int kDefaultReads = 3;
constexpr const char* kPeakResidentField = "VmHWM:";

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

// Wire bytes of one read-back of the switcher described by `state`.
void PrintWireBytes(const qvc::DeviceState& state) {
    const ReadBackWire wire = ReadBackWireOf(state);
    Print(kQueries, wire.queries);
    Print(kQueryBytes, wire.queryBytes);
    Print(kReplyBytes, wire.replyBytes);
    Print(kPayloadBytes, wire.payloadBytes);
}

int RunReadBack(qvc::GuardedApplication& app, const QStringList& args) {
    const Options options = ParseOptions(args);
    LinkChoice link;
    if (const QString problem = ChooseLink(options, link); !problem.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(kReadBackMode, problem));
    }
    const int reads = IntOption(options, kReadsOption, kDefaultReads, 1);

    ConnectedWindow window(app, link);
    if (const QString problem = window.Connect(); !problem.isEmpty()) {
        return Fail(problem);
    }
    qvc::TMatrixForm& form = window.Form();
    auto* read = window.Find<QAction>(QStringLiteral("ReadfromQuorvels1"));
    if (read == nullptr) {
        return Fail(QStringLiteral("the window has no ReadfromQuorvels1"));
    }
    qvc::WireLogWindow* wireLog = nullptr;
    if (IntOption(options, kWireLogOption, 0, 0) != 0) {
        auto* open = window.Find<QAction>(QStringLiteral("WireLog1"));
        if (open == nullptr) {
            return Fail(QStringLiteral("the window has no WireLog1"));
        }
        open->trigger();
        wireLog = form.WireLog();
        if (wireLog == nullptr || !form.Link().WireLogging()) {
            return Fail(QStringLiteral("the wire log did not open"));
        }
    }
    for (int i = 0; i < reads; ++i) {
        const Clock::time_point start = Clock::now();
        read->trigger();
        Print(kReadBackUs, UsSince(start));
        const Clock::time_point painted = Clock::now();
        QCoreApplication::processEvents();
        Print(kRepaintUs, UsSince(painted));
        if (window.prompts.unexpected != 0 || form.Flags().RefreshingFlag) {
            return Fail(QStringLiteral("the read-back failed"));
        }
    }
    PrintWireBytes(form.State());
    Print(kPeakResidentKb, PeakResidentKb());
    if (wireLog != nullptr) {
        wireLog->Flush();
        Print(kWireLogRows, wireLog->Model().rowCount());
    }
    return 0;
}

} // namespace

} // namespace qvc::bench::window

int main(int argc, char** argv) {
    using namespace qvc::bench::window;
    if (qEnvironmentVariableIsEmpty(kPlatformVariable)) {
        qputenv(kPlatformVariable, kOffscreen);
    }
    qvc::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qvc::kApplicationTitle));
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    const QStringList rest = args.mid(1);
    if (mode == QLatin1String(kStartupMode)) {
        return RunStartup(app);
    }
    if (mode == QLatin1String(kReadBackMode)) {
        return RunReadBack(app, rest);
    }
    if (mode == QLatin1String(kAudioMode)) {
        return RunAudio(app, rest);
    }
    if (mode == QLatin1String(kConfigMode)) {
        return RunConfig(app, rest);
    }
    if (mode == QLatin1String(kSequenceMode)) {
        return RunSequence(app, rest);
    }
    if (mode == QLatin1String(kPreviewMode)) {
        return RunPreview(app, rest);
    }
    return Fail(QStringLiteral("usage: qvc_bench_window %1 | %2 | %3 | %4 | %5 | %6 [OPTIONS]")
                    .arg(kStartupMode, kReadBackMode, kAudioMode, kConfigMode, kSequenceMode,
                         kPreviewMode));
}
