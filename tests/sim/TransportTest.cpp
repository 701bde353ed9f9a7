// The two transports: a pty reached through its symlink (plain termios and
// QSerialPort) and TCP with one client at a time; the log; the executable.
#include "SimTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qvsimtest;

namespace {

const Bytes kStatusBlock = {0,   0,   0, 0, 0, 0,   0,   0, '2', '.',
                            '0', '4', 0, 0, 3, 192, 168, 1, 50,  1};

std::string LinkTarget(const std::string& path) {
    char buf[256] = {};
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

class Pty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("qv-serial").toStdString();
        qvsim::SimOptions o;
        o.ptyPath = path;
        sim = std::make_unique<qvsim::SimThread>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
    }
    QTemporaryDir dir;
    std::string path;
    std::unique_ptr<qvsim::SimThread> sim;
};

TEST_F(Pty, SymlinkLeadsToARawSlaveThatSurvivesReopening) {
    EXPECT_EQ(sim->PtyPath(), path);
    EXPECT_EQ(LinkTarget(path), sim->SlavePath());
    EXPECT_EQ(sim->SlavePath().rfind("/dev/pts/", 0), 0u);
    {
        auto c = WireClient::Pty(path);
        ASSERT_TRUE(c);
        c->Command("");
        c->SendRaw("RTEMP 3 ");
        ASSERT_TRUE(sim->WaitForLines(1, kWaitMs));
        c->SendRaw("4 5\r");
        EXPECT_EQ(c->Read(1), Bytes{'#'});
        EXPECT_EQ(c->Query("MINFOQV", 20), kStatusBlock);
    }
    // The client closed its end; the next client is served as before.
    auto c = WireClient::Pty(path);
    ASSERT_TRUE(c);
    const Bytes outputs = c->Query("OINFOQV", 80);
    ASSERT_EQ(outputs.size(), 80u);
    EXPECT_EQ(Bytes(outputs.begin() + 10, outputs.begin() + 15), (Bytes{3, 4, 0, 0, 0}));
    EXPECT_EQ(sim->ReceivedLines(),
              (std::vector<std::string>{"", "RTEMP 3 4 5", "MINFOQV", "OINFOQV"}));
}

TEST_F(Pty, CloseAfterDropsTheRestOfTheReply) {
    auto c = WireClient::Pty(path);
    ASSERT_TRUE(c);
    sim->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = 10; });
    c->Send("MINFOQV");
    c->Send("");
    // Ten bytes of the reply, then the probe's prompt.
    EXPECT_EQ(
        c->Read(11),
        Cat({Bytes{0x01, '0'}, Bytes(kStatusBlock.begin(), kStatusBlock.begin() + 8), Bytes{'#'}}));
    sim->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = -1; });
    EXPECT_EQ(c->Query("MINFOQV", 20), kStatusBlock);
}

TEST_F(Pty, BaudPacingOnTheSerialSide) {
    auto c = WireClient::Pty(path);
    ASSERT_TRUE(c);
    sim->ChangeFaults([](qvsim::Faults& f) { f.baud = 2400; }); // 240 bytes per second
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c->Query("AINFOQV", 16), Bytes(16, 200)); // 21 bytes
    EXPECT_GE(ElapsedMs(start), 20 * 1000 / 240 - 10);
}

TEST_F(Pty, QSerialPortOpensTheSymlink) {
    QSerialPort port;
    port.setPortName(QString::fromStdString(path));
    ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
    ASSERT_TRUE(port.setBaudRate(57600));
    ASSERT_TRUE(port.setDataBits(QSerialPort::Data8));
    ASSERT_TRUE(port.setParity(QSerialPort::NoParity));
    ASSERT_TRUE(port.setStopBits(QSerialPort::OneStop));
    port.setFlowControl(QSerialPort::HardwareControl);
    for (int round = 0; round < 2; ++round) {
        port.write("RTEMP 1 2 2\rMINFOQV\r");
        ASSERT_TRUE(port.waitForBytesWritten(kWaitMs));
        QByteArray got;
        const auto start = std::chrono::steady_clock::now();
        while (got.size() < 26 && ElapsedMs(start) < kWaitMs) {
            if (port.waitForReadyRead(100)) {
                got += port.readAll();
            }
        }
        ASSERT_EQ(got.size(), 26) << round;
        EXPECT_EQ(got.left(3), QByteArray("#\x01"
                                          "0",
                                          3));
        EXPECT_EQ(got.right(3), QByteArray("\r\n#"));
    }
    port.close();
    // A plain client after QSerialPort closed the port.
    auto c = WireClient::Pty(path);
    ASSERT_TRUE(c);
    c->Command("");
}

TEST(Tcp, NewClientReplacesTheOldOne) {
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    peer.client->Command("OMUTE 1 1");
    auto second = WireClient::Tcp(peer.sim->TcpPort());
    ASSERT_TRUE(second);
    EXPECT_TRUE(peer.client->WaitForEof());
    second->Command("");
    EXPECT_EQ(second->Query("OINFOQV", 80),
              Cat({Bytes{252, 252, 1, 1, 1}, Repeat(kFreeEntry, 15)}));
}

TEST(Tcp, ListensOnLoopbackByDefault) {
    qvsim::Simulator sim(TcpOptions(3));
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.TcpAddress(), "127.0.0.1");
    EXPECT_NE(sim.TcpPort(), 0);
    sim.Stop();
    EXPECT_FALSE(qvsim::SimThread(qvsim::SimOptions{}).Start()); // no transport
}

TEST(Log, EveryReceivedLineWithATimestamp) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qvsim::SimOptions o = TcpOptions(3);
    o.logFile = dir.filePath("sim.log").toStdString();
    {
        TcpPeer peer(o);
        ASSERT_TRUE(peer.client);
        peer.client->Command("");
        peer.client->Command("TAKE 1");
        EXPECT_EQ(peer.client->Query("MINFOQV", 20).size(), 20u);
    }
    QFile f(QString::fromStdString(o.logFile));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\S* ");
    EXPECT_TRUE(stamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(' '));
    EXPECT_TRUE(lines[1].endsWith(" TAKE 1"));
    EXPECT_TRUE(lines[2].endsWith(" MINFOQV"));
}

TEST(Executable, BadOptionsExitWithCodeTwo) {
    for (const QStringList& args : {QStringList{"--model", "7", "--tcp", "0"}, QStringList{"--tcp"},
                                    QStringList{"--demo"}, QStringList{"--tcp", "0", "--bogus"}}) {
        QProcess p;
        p.start(QVSIM_EXE, args);
        ASSERT_TRUE(p.waitForFinished(kWaitMs));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().startsWith("quorvel-sim: "));
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}

TEST(Executable, HelpListsEveryOption) {
    QProcess p;
    p.start(QVSIM_EXE, {"--help"});
    ASSERT_TRUE(p.waitForFinished(kWaitMs));
    EXPECT_EQ(p.exitCode(), 0);
    const QString help = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* option : {"--model",
                               "--no-audio",
                               "--firmware",
                               "--ip",
                               "--tcp",
                               "--pty",
                               "--demo",
                               "--log",
                               "--baud",
                               "--silent",
                               "--no-prompt",
                               "--reply-delay",
                               "--chunk",
                               "--chunk-pause",
                               "--text-before-soh",
                               "--no-soh",
                               "--no-soh-after",
                               "--close-after",
                               "--second-probe-only",
                               "--help"}) {
        EXPECT_TRUE(help.contains(QString("  ") + option + " ")) << option;
    }
}

TEST(Executable, RunsUntilSigtermAndRemovesTheSymlink) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("sim-port");
    QProcess p;
    p.start(QVSIM_EXE, {"--tcp", "0", "--pty", link, "--demo", "--model", "1"});
    ASSERT_TRUE(p.waitForStarted(kWaitMs));
    QString out;
    const auto start = std::chrono::steady_clock::now();
    while (out.count('\n') < 2 && ElapsedMs(start) < kWaitMs) {
        p.waitForReadyRead(100);
        out += QString::fromUtf8(p.readAllStandardOutput());
    }
    const auto tcp = QRegularExpression("listening on tcp 127\\.0\\.0\\.1:(\\d+)\n").match(out);
    ASSERT_TRUE(tcp.hasMatch()) << out.toStdString();
    const auto pty =
        QRegularExpression("pty " + QRegularExpression::escape(link) + " -> (/dev/pts/\\d+)\n")
            .match(out);
    ASSERT_TRUE(pty.hasMatch()) << out.toStdString();
    EXPECT_EQ(LinkTarget(link.toStdString()), pty.captured(1).toStdString());

    auto c = WireClient::Tcp(static_cast<quint16>(tcp.captured(1).toUInt()));
    ASSERT_TRUE(c);
    const Bytes status = c->Query("MINFOQV", 20);
    ASSERT_EQ(status.size(), 20u);
    EXPECT_EQ(status[14], 1);

    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(kWaitMs));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(Exists(link.toStdString()));
}

} // namespace
