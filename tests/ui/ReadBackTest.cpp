// The read action over TCP and the serial link: each model, failing steps,
// and the re-entrancy guard.
#include "FormRig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace qvc::test {
namespace {

using Kind = PromptRecord::Kind;
const QString kReadErrorTitle =
    QStringLiteral("Norvak Dellby - QV Control :Error reading from Quorvel(s)");

bool Enabled(FormRig& rig, const QString& name) {
    return rig.Find<QWidget>(name)->isEnabled();
}

struct ModelCase {
    int code;
    const char* title;
    int inputs;
    int outputs;
    int outputSlots;
};

class ReadBackModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ReadBackModelTest, EachModelSetsTheTitleAndDisablesWhatItLacks) {
    const ModelCase m = GetParam();
    FormRig rig;
    auto& sim = rig.StartSim({.model = m.code, .demo = true, .tcp = true});
    rig.CreateForm(&sim);
    rig.ConnectEthernet();

    EXPECT_EQ(sim.ReceivedLines(), Join({""}, ReadBackLines()));
    EXPECT_TRUE(rig.prompts.Records().empty());
    EXPECT_EQ(rig.Form().windowTitle(), QString::fromLatin1(m.title));
    for (int n = 1; n <= 16; ++n) {
        const bool input = n <= m.inputs;
        const bool output = n <= m.outputs;
        EXPECT_EQ(Enabled(rig, QStringLiteral("InputButton%1").arg(n)), input) << n;
        EXPECT_EQ(Enabled(rig, QStringLiteral("InputLabelEdit%1").arg(n)), input) << n;
        EXPECT_EQ(Enabled(rig, QStringLiteral("OutputButton%1").arg(n)), output) << n;
        EXPECT_EQ(Enabled(rig, QStringLiteral("VideoLabel%1").arg(n)), output) << n;
        EXPECT_EQ(Enabled(rig, QStringLiteral("OutputLabelEdit%1").arg(n)), output) << n;
        EXPECT_EQ(Enabled(rig, QStringLiteral("GroupLabelEdit%1").arg(n)), output) << n;
        EXPECT_TRUE(Enabled(rig, QStringLiteral("PresetLabelEdit%1").arg(n))) << n;
    }
    // Output slots beyond the reply keep their start values: no input on
    // either layer, both committed, not muted.
    const OutputStatusTable& table = rig.Form().State().outputs;
    for (int o = m.outputSlots; o < 16; ++o) {
        EXPECT_EQ(table.videoInput(o), 252) << o;
        EXPECT_EQ(table.audioInput(o), 252) << o;
        EXPECT_EQ(table.videoTaken(o), 1) << o;
        EXPECT_EQ(table.audioTaken(o), 1) << o;
        EXPECT_EQ(table.muted(o), 0) << o;
    }
    // The demo routes output 1 to input 1 on every model.
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel1")), QStringLiteral("1"));
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("2.17D"));
}

INSTANTIATE_TEST_SUITE_P(
    , ReadBackModelTest,
    ::testing::Values(ModelCase{0, "Norvak Dellby LLC :- Quorvel  Control (12 x 4)", 12, 4, 8},
                      ModelCase{1, "Norvak Dellby LLC :- Quorvel  Control (12 x 8)", 12, 8, 8},
                      ModelCase{2, "Norvak Dellby LLC :- Quorvel  Control (16 x 8)", 16, 8, 16},
                      ModelCase{3, "Norvak Dellby LLC :- Quorvel  Control (16 x 16)", 16, 16, 16}),
    [](const ::testing::TestParamInfo<ModelCase>& p) {
        return "EachModel" + std::to_string(p.param.code);
    });

TEST(ReadBackTest, SmallerModelAfterALargerOneKeepsTheRowsBeyondItsOutputs) {
    FormRig rig;
    auto& big = rig.StartSim({.model = 3, .demo = true, .pty = true});
    auto& small = rig.StartSim({.model = 0, .demo = false, .tcp = true});
    rig.CreateForm(&small, &big, 1);
    rig.Start(true);
    ASSERT_EQ(rig.Text(QStringLiteral("VideoLabel9")), QStringLiteral("9"));

    rig.ClickTab(QStringLiteral("Setup"));
    rig.TypeIp(QStringLiteral("127.0.0.1"));
    rig.prompts.ExpectYesNo(true); // leave the serial link for Ethernet
    rig.ClickLinkMode(true);

    EXPECT_EQ(small.ReceivedLines(), Join({""}, ReadBackLines()));
    EXPECT_EQ(rig.Form().windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (12 x 4)"));
    // Outputs 1..4 show the small switcher (nothing routed); 5..8 are in its
    // reply but not shown; 9..16 are beyond its reply: all keep their text.
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel1")), QStringLiteral("--"));
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel5")), QStringLiteral("7"));
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel9")), QStringLiteral("9"));
    EXPECT_FALSE(Enabled(rig, QStringLiteral("VideoLabel9")));
    EXPECT_EQ(rig.Form().State().outputs.videoInput(8), 8);   // slot 9 kept
    EXPECT_EQ(rig.Form().State().outputs.videoInput(4), 252); // slot 5 read
}

class MinfoFailureTest : public ::testing::TestWithParam<bool> {};

TEST_P(MinfoFailureTest, AFailedStatusBlockStopsTheReadBackWithTheCommunicationError) {
    const bool ethernet = GetParam();
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = ethernet, .pty = !ethernet});
    sim.ChangeFaults([](qvsim::Faults& f) { f.noSohQuery = "MINFOQV"; });
    rig.CreateForm(&sim, &sim, 1);
    QString statusAtMessage;
    rig.prompts.OnPrompt([&](const PromptRecord& r) {
        if (r.kind == Kind::Message) {
            statusAtMessage = rig.StatusText();
        }
    });
    if (ethernet) {
        rig.ConnectEthernet();
    } else {
        rig.Start(true);
    }

    const std::vector<std::string> lines = ethernet ? std::vector<std::string>{"", "MINFOQV"}
                                                    : std::vector<std::string>{"", "", "MINFOQV"};
    EXPECT_EQ(sim.ReceivedLines(), lines);
    const QString expected =
        ethernet ? QStringLiteral("Quorvel communication error! Please check Ethernet "
                                  "connections and try again (-1)")
                 : QStringLiteral("Quorvel communication error! Please check Serial "
                                  "connections and try again (-1)");
    EXPECT_EQ(rig.prompts.Texts(Kind::Message).last(), expected);
    EXPECT_EQ(statusAtMessage, QStringLiteral("Error parsing MINFOQV message...."));
    EXPECT_EQ(rig.StatusText(), QString());
    EXPECT_EQ(rig.Form().windowTitle(), kStartCaption);
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("N/A"));
    EXPECT_TRUE(rig.Form().Flags().RefreshingFlag);
    EXPECT_EQ(rig.Form().Flags().BusyFlag, 0);
    EXPECT_FALSE(rig.Info().isVisible());
}

INSTANTIATE_TEST_SUITE_P(, MinfoFailureTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? std::string("Ethernet") : std::string("Serial");
                         });

TEST(ReadBackTest, AFailedOutputStatusIsReportedAndTheRestIsStillRead) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = true});
    sim.ChangeFaults([](qvsim::Faults& f) { f.noSohQuery = "OINFOQV"; });
    rig.CreateForm(&sim);
    rig.ConnectEthernet();

    EXPECT_EQ(sim.ReceivedLines(), Join({""}, ReadBackLines()));
    EXPECT_EQ(rig.prompts.Titles(Kind::MessageWithTitle), QStringList{kReadErrorTitle});
    EXPECT_EQ(rig.prompts.Texts(Kind::MessageWithTitle),
              QStringList{QStringLiteral("QV Control unable to read Output Status. (NOTE: QV "
                                         "Control settings on Output will be invalid)")});
    // The routing keeps its start values; the rest of the state is shown.
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel1")), QStringLiteral("--"));
    EXPECT_EQ(rig.Form().State().prevOutputs.videoInput(0), 0);
    EXPECT_EQ(rig.Form().windowTitle(),
              QStringLiteral("Norvak Dellby LLC :- Quorvel  Control (16 x 16)"));
    EXPECT_EQ(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("2.17D"));
    EXPECT_FALSE(rig.Form().Flags().RefreshingFlag);
    EXPECT_EQ(rig.StatusText(), QString());
}

TEST(ReadBackTest, TheFourthPresetGroupFailingEndsThePresetGroupStep) {
    FormRig rig;
    rig.prompts.AllowMessages(true); // the messages are checked below
    auto& sim = rig.StartSim({.tcp = true});
    sim.ChangeFaults([](qvsim::Faults& f) {
        f.noSohQuery = "PGINFOQV";
        f.noSohFrom = 4;
    });
    rig.CreateForm(&sim);
    rig.ConnectEthernet();

    EXPECT_EQ(sim.ReceivedLines(),
              std::vector<std::string>({"", "MINFOQV", "AINFOQV", "OINFOQV", "OPINFOQV", "PINFOQV",
                                        "GINFOQV", "PGINFOQV 0", "PGINFOQV 1", "PGINFOQV 2",
                                        "PGINFOQV 3"}));
    EXPECT_EQ(rig.prompts.Texts(Kind::MessageWithTitle),
              QStringList{QStringLiteral("QV Control unable to read Preset Group Status. (NOTE: "
                                         "QV Control settings will be invalid)")});
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel2")), QStringLiteral("2"));
}

TEST(ReadBackTest, ASecondReadWhileOneRunsIsIgnored) {
    FormRig rig;
    auto& sim = rig.StartSim({.pty = true});
    rig.CreateForm(nullptr, &sim, 1);
    rig.Start(true);
    sim.ClearReceivedLines();
    sim.ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 20; });

    // Fires inside the first status wait, which dispatches events.
    bool fired = false;
    QTimer::singleShot(5, rig.Find<QWidget>(QStringLiteral("MainStatusBar")), [&] {
        fired = true;
        rig.Find<QPushButton>(QStringLiteral("UpdateStatus"))->click();
        rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger();
    });
    rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger();
    EXPECT_TRUE(fired);
    EXPECT_EQ(sim.ReceivedLines(), ReadBackLines());
    EXPECT_EQ(rig.Form().Flags().BusyFlag, 0);
}

TEST(ReadBackTest, TheReadButtonOfTheSwitchingPageRunsTheReadAction) {
    FormRig rig;
    auto& sim = rig.StartSim({.tcp = true});
    rig.CreateForm(&sim);
    rig.ConnectEthernet();
    sim.ClearReceivedLines();
    rig.ClickTab(QStringLiteral("A / V Switching"));

    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("UpdateStatus")), Qt::LeftButton);
    EXPECT_EQ(sim.ReceivedLines(), ReadBackLines());
    EXPECT_TRUE(rig.prompts.Records().empty());
}

TEST(ReadBackTest, ValueLabelsReadOutTheValuesTheyShow) {
    FormRig rig;
    auto& sim = rig.StartSim({.demo = true, .pty = true});
    rig.CreateForm(nullptr, &sim, 3);
    rig.Start(true);

    // The accessible name of each is exactly its text, whatever it shows.
    QStringList names;
    for (int n = 1; n <= 16; ++n) {
        names << QStringLiteral("VideoLabel%1").arg(n) << QStringLiteral("AudioLabel%1").arg(n);
    }
    names << QStringLiteral("Version1Label") << QStringLiteral("FirmwareVersionLabel")
          << QStringLiteral("ComNumberLabel");
    for (const QString& name : names) {
        auto* label = rig.Find<QLabel>(name);
        EXPECT_EQ(label->accessibleName(), label->text()) << name.toStdString();
        EXPECT_EQ(label->accessibleDescription(), name);
    }
    // And they show the switcher's values, not the start texts.
    EXPECT_EQ(rig.Text(QStringLiteral("ComNumberLabel")), QStringLiteral("3"));
    EXPECT_EQ(rig.Text(QStringLiteral("Version1Label")), QStringLiteral("3.01"));
    EXPECT_NE(rig.Text(QStringLiteral("FirmwareVersionLabel")), QStringLiteral("N/A"));
    const auto& routes = rig.Form().State().outputs;
    const int video = routes.videoInput(0);
    EXPECT_EQ(rig.Find<QLabel>(QStringLiteral("VideoLabel1"))->accessibleName(),
              video == NoInput ? QStringLiteral("--") : QString::number(video + 1));
}

} // namespace
} // namespace qvc::test
