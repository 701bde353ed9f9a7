// What the device link needs of the window, and nothing more.
#pragma once

#include "WireExchange.h"

#include <QByteArray>
#include <QString>

namespace qvc {

// The five serial line lamps of the About page.
struct LineLamps {
    bool txd = false;
    bool rxd = false;
    bool dcd = false;
    bool dsr = false;
    bool cts = false;
};

class LinkHost {
  public:
    virtual ~LinkHost() = default;

    virtual void SetStatusText(const QString& text) = 0;  // MainStatusBar
    virtual void SetPageControlEnabled(bool enabled) = 0; // MainPageControl
    virtual void SetHourglass(bool on) = 0;               // busy pointer on/off
    virtual bool HourglassShown() const = 0;
    virtual void SetComNumberText(const QString& text) = 0;     // ComNumberLabel
    virtual void SetLineLamps(const LineLamps& lamps) = 0;      // all unlit when not monitored
    virtual void TerminalReceived(const QByteArray& bytes) = 0; // copy of received serial bytes
    // The pop-up TInfoForm.
    virtual void ShowInfo(const QString& text) = 0;
    virtual void SetInfoProgress(const QString& text) = 0;
    virtual void HideInfo() = 0;
    // What the link is now: "RS-232 COM3", "Ethernet 192.168.1.50", "No
    // link", or "Link lost" (`lost`) after the peer or the device went away,
    // until the next connect or port search. Hosts that show no link ignore it.
    virtual void SetLinkText(const QString& /*text*/, bool /*lost*/) {}
    // One exchange went over the wire; called only while the wire log is on
    // (DeviceLink::SetWireLogging).
    virtual void ExchangeLogged(const WireExchange& /*exchange*/) {}
};

} // namespace qvc
