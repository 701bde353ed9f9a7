// The menu state on its own: which items each change of the link leaves
// enabled.
#include "ui/MenuState.h"

#include <QAction>
#include <QMenu>
#include <functional>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

struct Step {
    const char* name;
    std::function<void(MenuState&)> change;
    bool connect;
    bool read;
    bool disconnect;
};

class MenuStateTest : public ::testing::Test {
  protected:
    MenuStateTest() {
        items.file = &file;
        items.serialPort = &serial;
        items.openConfiguration = file.addAction(QStringLiteral("Open"));
        items.saveConfiguration = file.addAction(QStringLiteral("Save"));
        items.connect = serial.addAction(QStringLiteral("Connect"));
        for (auto& com : items.com) {
            com = serial.addAction(QStringLiteral("COM"));
            com->setCheckable(true);
        }
        items.read = serial.addAction(QStringLiteral("Read"));
        items.disconnect = serial.addAction(QStringLiteral("Disconnect"));
    }
    QMenu file;
    QMenu serial;
    MenuItems items;
};

TEST_F(MenuStateTest, EachChangeOfTheLinkSetsConnectReadAndDisconnect) {
    MenuState menus(items);
    // In the order a session goes through them; each row starts from the
    // state the row before left.
    const Step steps[] = {
        {"start", &MenuState::Started, true, false, true},
        {"serial failed", &MenuState::SerialFailed, true, false, false},
        {"serial up", &MenuState::SerialConnected, false, true, true},
        {"serial closed", &MenuState::SerialDisconnected, true, false, false},
        {"serial up again", &MenuState::SerialConnected, false, true, true},
        {"ethernet up", &MenuState::EthernetConnected, false, true, false},
        {"serial failed after ethernet", &MenuState::SerialFailed, true, true, false},
    };
    for (const Step& step : steps) {
        step.change(menus);
        EXPECT_EQ(items.connect->isEnabled(), step.connect) << step.name;
        EXPECT_EQ(items.read->isEnabled(), step.read) << step.name;
        EXPECT_EQ(items.disconnect->isEnabled(), step.disconnect) << step.name;
    }
}

TEST_F(MenuStateTest, AHeldLinkClosesTheFileAndSerialPortMenusUntilReleased) {
    MenuState menus(items);
    menus.SerialConnected();
    menus.SetLinkHeld(true);
    EXPECT_FALSE(file.menuAction()->isEnabled());
    EXPECT_FALSE(serial.menuAction()->isEnabled());
    menus.SetLinkHeld(false);
    EXPECT_TRUE(file.menuAction()->isEnabled());
    EXPECT_TRUE(serial.menuAction()->isEnabled());
    EXPECT_TRUE(items.read->isEnabled()); // the items keep their own state
}

TEST_F(MenuStateTest, PortMarksGoToTheirItemAndUnknownNumbersMarkCom1) {
    MenuState menus(items);
    menus.CheckPort(3, true);
    menus.CheckPort(0, true); // no port chosen yet: COM1
    EXPECT_TRUE(items.com[2]->isChecked());
    EXPECT_TRUE(items.com[0]->isChecked());
    menus.CheckPort(3, false);
    EXPECT_FALSE(items.com[2]->isChecked());
}

} // namespace
} // namespace qvc::test
