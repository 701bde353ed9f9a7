// Storing a preset and confirming a recall change the preset panel and the
// committed routes, and nothing else: the operator's input selection, the
// group rule on the output buttons, a typed address and the group shown on
// the Grouping page stay as they were. A recall's preview rebuilds the pages.
#include "FormRig.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace qvc::test {
namespace {

const QString kSwitching = QStringLiteral("A / V Switching");

class PresetStepsTest : public ::testing::Test {
  protected:
    PresetStepsTest() : sim(rig.StartSim({.model = 3, .demo = false, .tcp = true})) {
        rig.CreateForm(&sim);
        rig.ConnectEthernet();
    }

    void Click(const QString& name) {
        auto* w = rig.Find<QAbstractButton>(name);
        ASSERT_TRUE(w != nullptr && w->isVisible() && w->isEnabled()) << name.toStdString();
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
    }
    bool Enabled(const QString& name) { return rig.Find<QWidget>(name)->isEnabled(); }
    QString Ip() { return rig.Find<QLineEdit>(QStringLiteral("IPAddrEdit"))->text(); }
    bool Group2Shown() {
        return rig.Find<QRadioButton>(QStringLiteral("GroupingRadioGroupItem1"))->isChecked();
    }
    // Group 2 shown on the Grouping page and an address typed on the Setup
    // page; then the operator goes to `page`, which shows the preset panel.
    void OperatorAtWork(const QString& ip, const QString& page) {
        rig.ClickTab(QStringLiteral("Grouping"));
        Click(QStringLiteral("GroupingRadioGroupItem1"));
        rig.ClickTab(QStringLiteral("Setup"));
        rig.TypeIp(ip);
        rig.ClickTab(page);
    }
    void ExpectOperatorWorkKept(const QString& ip, bool group2Shown) {
        EXPECT_FALSE(Enabled(QStringLiteral("OutputButton4"))); // group 2 refuses input 2
        EXPECT_TRUE(Enabled(QStringLiteral("OutputButton5")));
        EXPECT_EQ(Ip(), ip);
        EXPECT_EQ(Group2Shown(), group2Shown);
        EXPECT_EQ(rig.Form().Flags().BusyFlag, 0);
    }

    FormRig rig;
    qvsim::SimThread& sim;
};

TEST_F(PresetStepsTest, StoreAndConfirmShowOnlyWhatTheyChange) {
    // Group 2 holds output 4 and admits only input 5.
    rig.ClickTab(QStringLiteral("Grouping"));
    Click(QStringLiteral("GroupingRadioGroupItem1"));
    Click(QStringLiteral("GroupOutputButton4"));
    Click(QStringLiteral("GroupInputButton5"));
    sim.ClearReceivedLines();

    OperatorAtWork(QStringLiteral("10.0.0.7"), kSwitching);
    Click(QStringLiteral("InputButton2"));
    ExpectOperatorWorkKept(QStringLiteral("10.0.0.7"), true);
    Click(QStringLiteral("OutputButton1")); // a temporary route, taken by the store
    Click(QStringLiteral("PresetsSaveButton"));
    Click(QStringLiteral("PresetButton3"));
    EXPECT_EQ(sim.ReceivedLines(), (std::vector<std::string>{"RTEMP 1 2 2", "TAKE 1", "PRST 3"}));
    ExpectOperatorWorkKept(QStringLiteral("10.0.0.7"), true);
    EXPECT_EQ(rig.Form().State().outputs.videoTaken(0), 1);

    // Confirm on the panel over the Sequencing page, after a visit to the
    // Grouping and Setup pages; Take on the switching page (entering that
    // page would withdraw the preview).
    const struct {
        const char* confirm;
        const char* ip;
    } confirms[] = {{"PresetRecallConfirmButton", "10.0.0.8"}, {"TakeButton", nullptr}};
    for (const auto& c : confirms) {
        SCOPED_TRACE(c.confirm);
        Click(QStringLiteral("PresetsRecallButton"));
        Click(QStringLiteral("PresetButton3"));
        // The preview rebuilds every page: group 1 and the switcher's address
        // are shown again.
        EXPECT_FALSE(Group2Shown());
        EXPECT_NE(Ip(), QStringLiteral("10.0.0.7"));
        Click(QStringLiteral("InputButton2"));
        const QString ip = c.ip != nullptr ? QString::fromLatin1(c.ip) : Ip();
        if (c.ip != nullptr) {
            OperatorAtWork(ip, QStringLiteral("Sequencing"));
        }
        sim.ClearReceivedLines();
        Click(QString::fromLatin1(c.confirm));
        EXPECT_EQ(sim.ReceivedLines(), std::vector<std::string>{"RPRST 3 1"});
        ExpectOperatorWorkKept(ip, c.ip != nullptr);
        EXPECT_FALSE(rig.Find<QWidget>(QStringLiteral("PresetsPageControl"))->isVisible());
        EXPECT_TRUE(Enabled(QStringLiteral("PresetsSaveButton")));
        EXPECT_EQ(rig.Form().State().outputs.videoTaken(0), 1);
        rig.ClickTab(kSwitching);
    }
    EXPECT_TRUE(rig.prompts.Records().empty());
}

} // namespace
} // namespace qvc::test
