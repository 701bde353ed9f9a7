// What the connection workflow needs of the page that holds the link-mode
// selector (RS-232 or Ethernet) and the switcher's address. The window wires
// that page's signals to the workflow; the workflow knows only this.
#pragma once

#include <QString>

namespace qvc {

class LinkModeControls {
  public:
    static constexpr int kRs232 = 0;
    static constexpr int kEthernet = 1;

    virtual int LinkMode() const = 0; // the selected item, -1 for none
    // Selects an item from code; like a user's click, the page then reports
    // the new selection.
    virtual void SelectLinkMode(int mode) = 0;
    virtual void FocusLinkBox() = 0; // keyboard focus to the selector

    virtual QString IpAddressText() const = 0;
    virtual void SetIpAddressText(const QString& text) = 0;

  protected:
    LinkModeControls() = default;
    LinkModeControls(const LinkModeControls&) = default;
    LinkModeControls& operator=(const LinkModeControls&) = default;
    ~LinkModeControls() = default;
};

} // namespace qvc
