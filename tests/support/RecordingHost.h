// The window side of the device link for tests: records everything the link
// shows, in order.
#pragma once

#include "link/LinkHost.h"
#include "link/LinkState.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace qvc::test {

class RecordingHost : public LinkHost {
  public:
    void SetStatusText(const QString& text) override { statusTexts.push_back(text); }
    void SetPageControlEnabled(bool enabled) override {
        pageControl.push_back(enabled);
        busyAtPageControl.push_back(linkState != nullptr ? linkState->BusyFlag : -1);
    }
    void SetHourglass(bool on) override {
        hourglass = on;
        hourglassChanges.push_back(on);
    }
    bool HourglassShown() const override { return hourglass; }
    void SetComNumberText(const QString& text) override { comNumber.push_back(text); }
    void SetLineLamps(const LineLamps& l) override { lamps.push_back(l); }
    void TerminalReceived(const QByteArray& bytes) override { terminal.append(bytes); }
    void ShowInfo(const QString& text) override { info.push_back("show:" + text); }
    void SetInfoProgress(const QString& text) override { info.push_back("progress:" + text); }
    void HideInfo() override { info.push_back(QStringLiteral("hide")); }
    void SetLinkText(const QString& text, bool lost) override {
        linkTexts.push_back(lost ? "lost:" + text : text);
    }
    void ExchangeLogged(const WireExchange& e) override { exchanges.push_back(e); }

    // Forgets what was recorded (the hourglass stays as it is).
    void Clear() {
        const bool shown = hourglass;
        const LinkState* s = linkState;
        *this = RecordingHost{};
        hourglass = shown;
        linkState = s;
    }

    const LinkState* linkState = nullptr; // BusyFlag is noted at each page control change
    std::vector<QString> statusTexts;
    std::vector<bool> pageControl;
    std::vector<int> busyAtPageControl;
    bool hourglass = false;
    std::vector<bool> hourglassChanges;
    std::vector<QString> comNumber;
    std::vector<LineLamps> lamps;
    QByteArray terminal;
    std::vector<QString> info;
    std::vector<QString> linkTexts; // "lost:" before the text of a lost link
    std::vector<WireExchange> exchanges;
};

} // namespace qvc::test
