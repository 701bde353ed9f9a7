// quorvel-ctl against the simulator on TCP and on a pty: the exact lines of
// every command, usage errors that send nothing, the exit codes of a silent
// switcher and of no link, the status dump, and the offline label CSV.
#include "ctl/Ctl.h"

#include "tests/ctl/CtlCases.h"
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/SimPeer.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sstream>

namespace qvc::test {
namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    AddApplicationEnvironment<QCoreApplication>("ctl_tests");

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

Result RunCtl(const QStringList& args) {
    std::ostringstream out;
    std::ostringstream err;
    ctl::Environment env;
    env.timings = ShortTimings();
    Result r;
    r.code = ctl::Run(args, out, err, env);
    r.out = out.str();
    r.err = err.str();
    return r;
}

QStringList Tcp(const SimPeer& sim, QStringList args) {
    return QStringList{QStringLiteral("--tcp"),
                       QStringLiteral("127.0.0.1:%1").arg(sim.Thread().TcpPort())} +
           args;
}

class CtlLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(CtlLines, SendExactlyTheWindowsLines) {
    SimPeer sim({.model = 3, .tcp = true});
    const Result r = RunCtl(Tcp(sim, GetParam().args));
    EXPECT_EQ(r.code, ctl::kDone) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sim->ReceivedLines(), Join({""}, GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(Commands, CtlLines, ::testing::ValuesIn(kCtlLineCases));

class CtlUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CtlUsage, IsRefusedWithCodeTwoAndNothingSent) {
    SimPeer sim({.model = GetParam().model, .tcp = true});
    const Result r = RunCtl(Tcp(sim, GetParam().args));
    EXPECT_EQ(r.code, ctl::kUsage);
    EXPECT_NE(r.err, "");
    const Lines expected = GetParam().lines.empty() ? Lines{} : Join({""}, GetParam().lines);
    EXPECT_EQ(sim->ReceivedLines(), expected);
}

INSTANTIATE_TEST_SUITE_P(Errors, CtlUsage, ::testing::ValuesIn(kCtlUsageCases));

// Each mistake in its own words (the bridge gives the same ones), and nothing
// sent for any of them.
TEST(CtlMessages, EachMistakeIsNamed) {
    SimPeer sim({.model = 0, .tcp = true});
    const struct {
        QStringList args;
        const char* err;
    } cases[] = {
        {{"route", "2", "x"},
         "quorvel-ctl: INPUT must be a whole number from 0 to 16, not \"x\"\n"},
        {{"route", "1", "2", "--video", "--audio"},
         "quorvel-ctl: choose --video or --audio, not both\n"},
        {{"route", "1", "2", "--raw", "5"}, "quorvel-ctl: Unknown option 'raw'.\n"},
        {{"level", "3"}, "quorvel-ctl: usage: level INPUT DB | level INPUT --raw N\n"},
        {{"level", "3", "-75"},
         "quorvel-ctl: DB must be a whole number from -74 to 20, not \"-75\"\n"},
        {{"preset", "load", "3"}, "quorvel-ctl: expected store or recall, not \"load\"\n"},
        {{"group", "move", "3"}, "quorvel-ctl: expected add, del or clear, not \"move\"\n"},
        {{"group", "add", "3", "--output", "1", "--input", "1"},
         "quorvel-ctl: give one of --output O or --input I\n"},
        {{"group", "clear", "x"},
         "quorvel-ctl: G must be a whole number from 1 to 16, not \"x\"\n"},
        {{"switch-source", "7"},
         "quorvel-ctl: the switch source must be a whole number from 0 to 3, not \"7\"\n"},
        {{"mute", "3", "maybe"}, "quorvel-ctl: expected on or off, not \"maybe\"\n"},
        // Known only once the switcher has told its size and groups.
        {{"route", "5", "1"}, "this 12 x 4 switcher has 12 inputs and 4 outputs\n"},
        {{"mute", "5", "on"}, "this switcher has 4 outputs\n"},
        {{"route", "1", "9"}, "input 9 is not one of the inputs of output 1's group\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Result r = RunCtl(Tcp(sim, c.args));
        EXPECT_EQ(r.code, ctl::kUsage);
        EXPECT_EQ(r.err, c.err);
        for (const std::string& line : sim->ReceivedLines()) {
            EXPECT_TRUE(line.empty() || line.find("INFOQV") != std::string::npos) << line;
        }
    }
}

TEST(CtlLink, ASilentSwitcherFailsWithCodeOneAndNoLinkWithCodeThree) {
    SimPeer sim({.tcp = true});
    sim->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    Result r = RunCtl(Tcp(sim, {"take"}));
    EXPECT_EQ(r.code, ctl::kSwitcherFailed);
    EXPECT_NE(r.err, "");

    QTcpServer closed; // a port nobody listens on any more
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    r = RunCtl({"--tcp", QStringLiteral("127.0.0.1:%1").arg(port), "take"});
    EXPECT_EQ(r.code, ctl::kNoLink);
    r = RunCtl({"--serial", "/nonexistent/tty", "take"});
    EXPECT_EQ(r.code, ctl::kNoLink);
}

TEST(CtlLink, TheSerialLinkSendsTheSameLines) {
    SimPeer sim({.pty = true});
    const Result r = RunCtl({"--serial", sim.PtyPath(), "route", "9", "4", "--take"});
    EXPECT_EQ(r.code, ctl::kDone) << r.err;
    EXPECT_EQ(sim->ReceivedLines(), (Lines{"", "MINFOQV", "GINFOQV", "RTEMP 9 4 4", "TAKE 1"}));
}

class CtlStatus : public ::testing::TestWithParam<int> {};

TEST_P(CtlStatus, JsonShowsTheSwitchersStateFieldByField) {
    SimPeer sim({.model = GetParam(), .tcp = true});
    const Result r = RunCtl(Tcp(sim, {"status", "--json"}));
    ASSERT_EQ(r.code, ctl::kDone) << r.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    const qvsim::SimState s = sim->State();

    EXPECT_EQ(json["model"].toString(), GetParam() == 0 ? "12 x 4" : "16 x 16");
    EXPECT_EQ(json["audio"].toBool(), s.audioPresent);
    EXPECT_EQ(json["firmware"].toString().toStdString(), s.firmware);
    EXPECT_EQ(json["ip"].toString(), "192.168.1.50");
    const QJsonArray outputs = json["outputs"].toArray();
    ASSERT_EQ(outputs.size(), s.OutputCount());
    for (int o = 0; o < s.OutputCount(); ++o) {
        const QJsonObject out = outputs[o].toObject();
        const qvsim::OutputEntry& e = s.outputs[static_cast<std::size_t>(o)];
        const auto input = [](std::uint8_t v) {
            return v == qvsim::kNoInput ? QJsonValue() : QJsonValue(v + 1);
        };
        EXPECT_EQ(out["output"].toInt(), o + 1);
        EXPECT_EQ(out["video"], input(e.videoInput)) << o;
        EXPECT_EQ(out["audio"], input(e.audioInput)) << o;
        EXPECT_EQ(out["video_taken"].toBool(), e.videoTaken != 0) << o;
        EXPECT_EQ(out["muted"].toBool(), e.muted != 0) << o;
    }
    const QJsonArray levels = json["levels"].toArray();
    ASSERT_EQ(levels.size(), s.InputCount());
    EXPECT_EQ(levels[3].toObject()["level"].toInt(), s.levels[3]);
    EXPECT_EQ(levels[3].toObject()["db"].toInt(), 20); // 252
    const QJsonObject group1 = json["groups"].toArray()[0].toObject();
    EXPECT_EQ(group1["outputs"].toArray(), (QJsonArray{1, 2}));
    EXPECT_EQ(group1["inputs"].toArray(), (QJsonArray{1, 2, 3}));
    // Beside the tables: the settings, the sizes, the link and the live preset.
    EXPECT_EQ(json["settings"].toObject(), (QJsonObject{{"front_panel_lock", s.settings.frontPanelLock != 0},
                                                        {"switch_source", "channel1-video"},
                                                        {"rgb_delay", s.settings.rgbDelay}}));
    EXPECT_EQ(json["input_count"].toInt(), s.InputCount());
    EXPECT_EQ(json["output_count"].toInt(), s.OutputCount());
    EXPECT_EQ(json["link"].toObject()["up"].toBool(), true);
    EXPECT_EQ(json["link"].toObject()["kind"].toString(), "tcp");
    EXPECT_EQ(json["live_preset"].toInt(), 1); // the demo's routing is stored as preset 1
    EXPECT_TRUE(json["presets"].toArray().contains(1));
    EXPECT_TRUE(json["presets"].toArray().contains(5));
    EXPECT_EQ(sim->ReceivedLines(), Join({""}, ReadBackLines()));
}

INSTANTIATE_TEST_SUITE_P(Models, CtlStatus, ::testing::Values(0, 3));

TEST(CtlLabels, ExportThenImportKeepsTheFileAndABadCsvChangesNothing) {
    QTemporaryDir dir;
    const QString config = dir.filePath("show.cfg");
    QByteArray image(832, '\0');
    for (int i = 0; i < 832; ++i) {
        image[i] = static_cast<char>((i * 37) % 251 + 1); // no label ends early
    }
    image.replace(424 + 6 * 3, 6, QByteArray("Cam,\"3", 6)); // a comma and a quote
    image[526 + 6 * 2 + 2] = '\0';                           // a short label
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image);
    file.close();

    const QString csv = dir.filePath("labels.csv");
    ASSERT_EQ(RunCtl({"labels", "export", config, csv}).code, ctl::kDone);
    ASSERT_EQ(RunCtl({"labels", "import", config, csv}).code, ctl::kDone);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), image);
    file.close();

    QFile bad(csv);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("table,number,label\ninput,1,Camera1\n");
    bad.close();
    const Result r = RunCtl({"labels", "import", config, csv});
    EXPECT_EQ(r.code, ctl::kUsage);
    EXPECT_NE(r.err.find("row 2"), std::string::npos) << r.err;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), image);
}

} // namespace
} // namespace qvc::test
