// The programs as a user runs them: quorvel-control's --help, --version and
// wrong command lines need no display and end before any window; the manual
// pages describe exactly the options that --help lists.
#include "ui/common/Version.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWaitMs = 30000;

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` without a display: no X11 or Wayland server, no Qt platform
// chosen, so that creating the QApplication would fail.
Finished RunWithoutDisplay(const QString& program, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    Finished run;
    if (p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit) {
        run.exitCode = p.exitCode();
    }
    run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}

struct ExeCase {
    QStringList arguments;
    int exitCode;
    QString outPart; // "": standard output stays empty
    QString errPart; // "": standard error stays empty
};

TEST(Executable, HelpVersionAndWrongCommandLinesNeedNoDisplay) {
    const QString version = QStringLiteral("quorvel-control %1\n").arg(qvc::kGuiVersion);
    const QString tryHelp =
        QStringLiteral("\nTry 'quorvel-control --help' for the list of options.\n");
    const std::vector<ExeCase> cases = {
        {{"--version"}, 0, version, ""},
        {{"--help"}, 0, "--com1 <device>", ""},
        {{"--frobnicate"}, 2, "", "quorvel-control: Unknown option 'frobnicate'." + tryHelp},
        {{"--com1", "/dev/ttyS0", "--com2"}, 2, "", "Missing value after '--com2'."},
    };
    for (const ExeCase& c : cases) {
        const Finished run = RunWithoutDisplay(QStringLiteral(QVCONTROL_EXE), c.arguments);
        const std::string given = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, c.exitCode) << given << "\n" << run.err.toStdString();
        EXPECT_EQ(run.out.isEmpty(), c.outPart.isEmpty()) << given;
        EXPECT_TRUE(run.out.contains(c.outPart)) << given << ": " << run.out.toStdString();
        EXPECT_EQ(run.err.isEmpty(), c.errPart.isEmpty()) << given << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.errPart)) << given << ": " << run.err.toStdString();
    }
}

// The long options of a --help text: the first long name on each option line.
std::set<std::string> HelpOptions(const QString& help) {
    static const QRegularExpression line(QStringLiteral("^ +(?:-\\w, )?--([a-z0-9-]+)"),
                                         QRegularExpression::MultilineOption);
    std::set<std::string> names;
    for (auto it = line.globalMatch(help); it.hasNext();) {
        names.insert(it.next().captured(1).toStdString());
    }
    return names;
}

// The long options a manual page describes: the first long name in the tag
// line of each .TP paragraph of its OPTIONS section.
std::set<std::string> ManPageOptions(const QString& page) {
    const qsizetype start = page.indexOf(QStringLiteral("\n.SH OPTIONS\n"));
    const qsizetype end = page.indexOf(QStringLiteral("\n.SH "), start + 1);
    const QString section = page.mid(start, end - start);
    static const QRegularExpression tag(
        QStringLiteral("^\\.TP\\n[^\\n]*?\\\\-\\\\-((?:[a-z0-9]|\\\\-)+)"),
        QRegularExpression::MultilineOption);
    std::set<std::string> names;
    for (auto it = tag.globalMatch(section); it.hasNext();) {
        names.insert(it.next().captured(1).remove(QLatin1Char('\\')).toStdString());
    }
    return names;
}

struct ManCase {
    const char* program;
    const char* page;
};

TEST(ManPages, DescribeExactlyTheOptionsOfTheHelp) {
    for (const ManCase& c :
         {ManCase{QVCONTROL_EXE, "quorvel-control.1"}, ManCase{QVSIM_EXE, "quorvel-sim.1"},
          ManCase{QVCTL_EXE, "quorvel-ctl.1"}, ManCase{QVBRIDGE_EXE, "quorvel-bridge.1"}}) {
        const Finished help = RunWithoutDisplay(QString::fromLocal8Bit(c.program), {"--help"});
        ASSERT_EQ(help.exitCode, 0) << c.program;
        QFile file(QStringLiteral(QVC_MAN_DIR "/") + QLatin1String(c.page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const std::set<std::string> inHelp = HelpOptions(help.out);
        EXPECT_GE(inHelp.size(), 5) << c.program;
        EXPECT_EQ(ManPageOptions(QString::fromUtf8(file.readAll())), inHelp) << c.page;
    }
}

// The bridge needs no display either; a wrong command line is one line and
// exit code 2 before anything is opened; SIGTERM ends it with 0.
TEST(Executable, BridgeRefusesMistakesAndStopsOnSigterm) {
    const struct {
        QStringList arguments;
        int exitCode;
        QString err;
    } cases[] = {
        {{"--version"}, 0, ""},
        {{"--frobnicate"}, 2, "quorvel-bridge: Unknown option 'frobnicate'.\n"},
        {{"--listen", "0.0.0.0:8023"}, 2,
         "quorvel-bridge: listening on 0.0.0.0 needs --token-file: only loopback is served "
         "without a token\n"},
        {{"--mqtt", "127.0.0.1", "--mqtt-id", "hall/2"}, 2,
         "quorvel-bridge: --mqtt-id takes 1 to 64 letters, digits, - and _, not \"hall/2\"\n"},
    };
    for (const auto& c : cases) {
        const Finished run = RunWithoutDisplay(QStringLiteral(QVBRIDGE_EXE), c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.err.toStdString(), c.err.toStdString());
    }
    // No switcher at the address: it keeps trying, and stops on SIGTERM.
    QProcess bridge;
    bridge.start(QStringLiteral(QVBRIDGE_EXE),
                 {"--tcp", "127.0.0.1:1", "--listen", "127.0.0.1:0", "--poll", "0"});
    bridge.setReadChannel(QProcess::StandardError);
    QString err;
    ASSERT_TRUE(bridge.waitForStarted(kWaitMs));
    while (!err.contains(QStringLiteral("trying again")) && bridge.waitForReadyRead(kWaitMs)) {
        err += QString::fromLocal8Bit(bridge.readAllStandardError());
    }
    bridge.terminate();
    ASSERT_TRUE(bridge.waitForFinished(kWaitMs));
    err += QString::fromLocal8Bit(bridge.readAllStandardError());
    EXPECT_EQ(bridge.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(bridge.exitCode(), 0);
    EXPECT_TRUE(err.contains(QStringLiteral("quorvel-bridge: listening on 127.0.0.1:")))
        << err.toStdString();
    EXPECT_TRUE(err.endsWith(QStringLiteral("quorvel-bridge: stopping\nquorvel-bridge: stopped\n")))
        << err.toStdString();
}

} // namespace
