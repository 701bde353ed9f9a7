// The "Setup" page alone, over a recording sink: what a refresh shows, what
// the operator's clicks and keys send and when they send nothing, the RGB
// delay edit's messages and focus, the reset dialogue, names, keyboard order
// and layout.
#include "ui/setup/SetupPage.h"

#include "tests/support/PageRig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// Readable failures (found by argument-dependent lookup, so at global scope).
static void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '"' << list.join(QStringLiteral("\", \"")).toStdString() << '"';
}

namespace qvc::test {
namespace {

const QString kOutOfLimits = QStringLiteral("Error! RGB Delay value out of limits (0-4000)");
const QString kPopup = QStringLiteral("show Quorvel reset in progress. Please wait....");

class SetupPageTest : public ::testing::Test, public PageRig {
  protected:
    void SetUp() override {
        link.EthernetConnected = true;
        onSend = [this](const Commands& commands) {
            for (const Command& c : commands) {
                log << QString::fromStdString(c.line) +
                           (c.kind == CommandKind::ResetWait ? " (long wait)" : "");
            }
        };
        page = std::make_unique<SetupPage>(Context(&events));
        QObject::connect(page.get(), &Page::linkHeld,
                         [this](bool on) { log << "held " + QString::number(on); });
        QObject::connect(&events, &LinkEvents::infoShown,
                         [this](QString t) { log << "show " + t; });
        QObject::connect(&events, &LinkEvents::infoProgress, [this](QString t) { log << t; });
        QObject::connect(&events, &LinkEvents::infoHidden, [this] { log << "hide"; });
        prompts.OnPrompt([this](const PromptRecord& r) {
            if (r.kind == PromptRecord::Kind::YesNo) {
                log << "ask busy " + QString::number(link.BusyFlag);
            }
        });
        page->resize(880, 680);
        page->show();
        page->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    }

    // What happened since the last call: lines sent, questions, pop-up, menus.
    QStringList Log() {
        return std::exchange(log, {});
    }
    template <typename W = QWidget> W* Get(const char* name) {
        W* w = page->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QWidget* Item(int n) {
        return Get(("VideoSwitchSourceRadioGroupItem" + std::to_string(n)).c_str());
    }
    int CheckedItem() {
        return Get<QGroupBox>("VideoSwitchSourceRadioGroup")
            ->findChild<QButtonGroup*>()
            ->checkedId();
    }
    void Click(QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
    }
    void Click(const char* name) {
        Click(Get(name));
    }
    // Replaces the edit's text as the operator does (null: keeps it), then `key`.
    void TypeDelay(const char* text, Qt::Key key) {
        auto* edit = Get<QLineEdit>("RGBDelayEdit");
        Click(edit);
        if (text != nullptr) {
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
        QTest::keyClick(edit, key);
    }
    QString Focus() {
        return QApplication::focusWidget()->objectName();
    }

    LinkEvents events;
    QStringList log;
    std::unique_ptr<SetupPage> page;
};

TEST_F(SetupPageTest, RefreshShowsTheStatusBlockAndSendsNothing) {
    const struct {
        std::uint8_t lock, source, delayLow, delayHigh;
        bool ticked;
        int item;
        const char* delay;
    } cases[] = {{1, 5, 0xFF, 0xFF, true, 3, "-1"},
                 {0, 255, 0xA0, 0x0F, false, -1, "4000"},
                 {7, 2, 0x18, 0xFC, true, 2, "-1000"},
                 {0, 0, 0x11, 0x00, false, 0, "17"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delay);
        state.status.bytes = {c.lock, 0, 0, 0, c.source, 0, c.delayLow, c.delayHigh};
        state.status.bytes[15] = 192;
        state.status.bytes[18] = 200;
        const auto before = state.status.bytes;
        RefreshScope refreshing(link); // as the page list runs it
        page->RefreshFromState();
        EXPECT_EQ(Get<QCheckBox>("FrontPanelLockCheckBox")->isChecked(), c.ticked);
        EXPECT_EQ(CheckedItem(), c.item);
        EXPECT_EQ(Get<QLineEdit>("RGBDelayEdit")->text().toStdString(), c.delay);
        EXPECT_EQ(Get<QLineEdit>("IPAddrEdit")->text(), "192.0.0.200");
        EXPECT_EQ(state.status.bytes, before);
        EXPECT_EQ(Log(), QStringList{});
    }
    // A configuration file holds no settings: a load leaves the typed address.
    page->SetIpAddressText(QStringLiteral("10.0.0.9"));
    page->ShowLoadedConfiguration();
    EXPECT_EQ(Get<QLineEdit>("IPAddrEdit")->text(), "10.0.0.9");
}

TEST_F(SetupPageTest, SettingsGoOutOnlyWithALinkAndNoRefresh) {
    const struct {
        bool serial, ethernet, refreshing;
        QStringList log;
    } cases[] = {
        {true,
         false,
         false,
         {"FPLOCK 1", "SWITCH 2", "FDLY 12", "held 1", "ask busy 1", kPopup, "",
          "RESETQV R (long wait)", "hide", "held 0"}},
        {false, true, false, {"FPLOCK 0", "SWITCH 1", "FDLY 12", "held 1", "ask busy 1", "held 0"}},
        {false, false, false, {"held 1", "held 0"}}, // the box keeps the tick all the same
        {true, true, true, {"held 1", "held 0"}},
    };
    bool yes = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.log));
        link.SerialConnected = c.serial;
        link.EthernetConnected = c.ethernet;
        link.RefreshingFlag = c.refreshing;
        state.status = {};
        if ((c.serial || c.ethernet) && !c.refreshing) {
            prompts.ExpectYesNo(std::exchange(yes, false));
        }
        Click("FrontPanelLockCheckBox");
        Click(Item(CheckedItem() == 2 ? 1 : 2));
        TypeDelay("12", Qt::Key_Return);
        Click("ResetButton");
        EXPECT_EQ(Log(), c.log);
        const bool wentOut = c.log.size() > 2;
        EXPECT_EQ(state.status.bytes[0], wentOut && c.log[0] == "FPLOCK 1" ? 1 : 0);
        EXPECT_EQ(state.status.RGBDelay(), wentOut ? 12 : 0);
    }
}

TEST_F(SetupPageTest, RgbDelayIsReadWhenTheEditIsLeft) {
    const struct {
        const char* typed; // null: the text stays as it is
        Qt::Key key;
        QString sent, message, error, focus;
    } cases[] = {
        {"4000", Qt::Key_Return, "FDLY 4000", {}, {}, "VideoSwitchSourceRadioGroupItem0"},
        {"12345", Qt::Key_Enter, "FDLY 1234", {}, {}, "VideoSwitchSourceRadioGroupItem0"},
        {nullptr, Qt::Key_Tab, "FDLY 1234", {}, {}, "ResetButton"}, // unchanged: sent again
        {"4001", Qt::Key_Return, {}, kOutOfLimits, {}, "RGBDelayEdit"},
        {"-1", Qt::Key_Tab, {}, kOutOfLimits, {}, "RGBDelayEdit"},
        {"abc",
         Qt::Key_Return,
         {},
         {},
         "'abc' is not a valid integer value",
         "VideoSwitchSourceRadioGroupItem0"},
        {"", Qt::Key_Tab, {}, {}, "'' is not a valid integer value", "ResetButton"},
        {"0", Qt::Key_Tab, "FDLY 0", {}, {}, "ResetButton"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed ? c.typed : "(unchanged)");
        const int stored = state.status.RGBDelay();
        if (!c.message.isEmpty()) {
            prompts.ExpectMessage(c.message);
        }
        if (!c.error.isEmpty()) {
            prompts.ExpectError(c.error);
        }
        TypeDelay(c.typed, c.key);
        prompts.VerifyAllUsed();
        EXPECT_EQ(Log(), c.sent.isEmpty() ? QStringList{} : QStringList{c.sent});
        EXPECT_EQ(Focus(), c.focus);
        EXPECT_EQ(state.status.RGBDelay(), c.sent.isEmpty() ? stored : c.sent.mid(5).toInt());
    }
}

TEST_F(SetupPageTest, FactoryResetAsksThenSendsWithThePopupShownAndTheMenusHeld) {
    prompts.ExpectYesNo(true);
    Click("FactoryResetButton");
    EXPECT_EQ(Log(), (QStringList{"held 1", "ask busy 1", kPopup, "", "RESETQV F (long wait)",
                                  "hide", "held 0"}));
    prompts.ExpectYesNo(false);
    Click("ResetButton");
    EXPECT_EQ(Log(), (QStringList{"held 1", "ask busy 1", "held 0"}));
    EXPECT_EQ(prompts.Titles(PromptRecord::Kind::YesNo),
              QStringList(2, "QV Control - Reset Verification"));
    EXPECT_EQ(prompts.Texts(PromptRecord::Kind::YesNo),
              (QStringList{"Resetting the Quorvel will reset settings to factory values. Are you "
                           "sure you want to factory reset the Quorvel?",
                           "Resetting the Quorvel will reset settings to saved values. Are you "
                           "sure you want to reset the Quorvel?"}));
    link.BusyFlag = 1; // another handler at work: the click is dropped
    Click("ResetButton");
    EXPECT_EQ(Log(), QStringList{});
}

TEST_F(SetupPageTest, ControlsCarryTheirNamesAndTabRunsDownThePage) {
    // Name, and what a sighted user reads there (the edit: its caption).
    const char* const named[][2] = {
        {"FrontPanelLockCheckBox", "Front Panel Lockout"},      {"Label132", "Range: 0 - 4000"},
        {"VideoSwitchSourceRadioGroup", "Video Switch Source"}, {"Label113", "ms"},
        {"VideoSwitchSourceRadioGroupItem3", "VREF IN"},        {"RGBDelayEdit", "RGB Delay"},
        {"FactoryResetButton", "Factory Reset Quorvel"}};
    for (const auto& [object, caption] : named) {
        QWidget* w = Get(object);
        EXPECT_EQ(w->accessibleDescription(), object);
        const QString shown = w->property(w->inherits("QGroupBox") ? "title" : "text").toString();
        EXPECT_EQ(w->accessibleName().isEmpty() ? shown : w->accessibleName(), caption) << object;
    }
    EXPECT_EQ(Get("Label81")->property("text"), "RGB Delay");
    EXPECT_EQ(Get<QLineEdit>("RGBDelayEdit")->text(), "0");

    // In a radio group Tab stops at the checked item; the arrow keys choose.
    Get("SerialModeRs232Button")->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int k = 0; k < 7; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << Focus();
    }
    EXPECT_EQ(visited, (QStringList{"IPAddrEdit", "IPAddressButton", "FrontPanelLockCheckBox",
                                    "VideoSwitchSourceRadioGroupItem0", "RGBDelayEdit",
                                    "ResetButton", "FactoryResetButton"}));
    Item(0)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Item(0), Qt::Key_Down);
    EXPECT_EQ(Log(), (QStringList{"FDLY 0", "SWITCH 1"})); // leaving the edit, then the arrow
}

// Every named control lies inside the page area, at least at its preferred
// width; the picture is left under the build folder for a look.
TEST_F(SetupPageTest, LayoutFitsThePageAreaAndRendersAPicture) {
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->accessibleDescription().isEmpty()) {
            const QRect r(w->mapTo(page.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(QRect(0, 0, 880, 680).contains(r)) << w->objectName().toStdString();
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        }
    }
    state.status.bytes = {1, 0, 0, 0, 2, 0, 0xFA, 0, 'V', '2', 0, 0, 0, 0, 3, 10, 0, 0, 7, 1};
    RefreshScope refreshing(link);
    page->RefreshFromState();
    const QPixmap picture = page->grab();
    const QString path =
        QStringLiteral(QT_TESTCASE_BUILDDIR "/setup_page@%1x.png").arg(picture.devicePixelRatio());
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
}

} // namespace
} // namespace qvc::test
