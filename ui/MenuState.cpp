#include "MenuState.h"

#include <QAction>
#include <QMenu>

namespace qvc {

MenuState::MenuState(MenuItems items) : items_(items) {}

void MenuState::Started() {
    items_.connect->setEnabled(true);
    items_.read->setEnabled(false);
    items_.disconnect->setEnabled(true);
}

void MenuState::SerialConnected() {
    items_.read->setEnabled(true);
    items_.connect->setEnabled(false);
    items_.disconnect->setEnabled(true);
}

void MenuState::SerialFailed() {
    items_.connect->setEnabled(true);
    items_.disconnect->setEnabled(false);
}

void MenuState::SerialDisconnected() {
    items_.read->setEnabled(false);
    items_.connect->setEnabled(true);
    items_.disconnect->setEnabled(false);
}

void MenuState::EthernetConnected() {
    SerialDisconnected();
    items_.read->setEnabled(true);
    items_.connect->setEnabled(false);
}

void MenuState::SetLinkHeld(bool held) {
    items_.file->menuAction()->setEnabled(!held);
    items_.serialPort->menuAction()->setEnabled(!held);
}

void MenuState::CheckPort(int n, bool checked) {
    const auto index = (n >= 2 && n <= 4) ? static_cast<std::size_t>(n - 1) : 0U;
    items_.com[index]->setChecked(checked);
}

} // namespace qvc
