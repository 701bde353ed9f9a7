// What the link tests share: the application object, a recording LinkHost,
// scripted Prompts, short timings and a simulator on a pty and on TCP.
#pragma once

#include "link/DeviceLink.h"
#include "link/LinkHost.h"
#include "link/Prompts.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <Simulator.h>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvc::test {

// Tick 5 ms with the production tick counts: probe 50 ms, command 400 ms.
LinkTimings ShortTimings();

// Dispatches events until `done` holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

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
};

// Every prompt must be expected, in order; every scripted answer must be used.
class ScriptedPrompts : public Prompts {
  public:
    enum class Kind { Message, MessageWithTitle, YesNo, OkCancel, Error, OpenFile, SaveFile };
    struct Expected {
        Kind kind;
        QString title;
        QString text;
        bool answer = true;
        std::function<void()> during; // runs while the prompt is "open"
    };
    struct Seen {
        Kind kind;
        QString title;
        QString text;
    };

    ~ScriptedPrompts() override;

    void ExpectMessage(const QString& text, std::function<void()> during = {});
    void ExpectMessageWithTitle(const QString& title, const QString& text);
    void ExpectOkCancel(const QString& title, const QString& text, bool ok,
                        std::function<void()> during = {});
    // Fails the test for every expected prompt that did not come.
    void VerifyAllUsed();

    void Message(const QString& text) override;
    void MessageWithTitle(const QString& title, const QString& text) override;
    bool YesNo(const QString& title, const QString& text) override;
    bool OkCancel(const QString& title, const QString& text) override;
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title) override;
    QString SaveFileName(const QString& title) override;

    std::vector<Seen> seen;

  private:
    bool Take(Kind kind, const QString& title, const QString& text);
    std::deque<Expected> expected_;
};

// A simulator on its own thread, on a pty (reached as COM3) and/or on an
// ephemeral TCP port.
struct SimPeer {
    enum Transport { Pty = 1, Tcp = 2, Both = 3 };
    explicit SimPeer(int transports = Both, int model = 3, bool demo = true);

    qvsim::SimThread& operator*() { return *sim; }
    qvsim::SimThread* operator->() { return sim.get(); }
    QString PtyPath() const { return QString::fromStdString(sim->PtyPath()); }
    // Received lines, waiting until at least `n` arrived (generous limit).
    std::vector<std::string> Lines(std::size_t n);

    QTemporaryDir dir;
    std::unique_ptr<qvsim::SimThread> sim;
};

// The usual texts, written out as the user sees them.
inline const QString kSerialTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Serial Port "
    "is connected to Quorvel.";
inline const QString kEthernetTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Ethernet is "
    "connected to Quorvel.";
inline const QString kRecoverTitle = "COM Port error";
inline const QString kRecoverText =
    "Error! COM Port communication with Quorvel has failed. Please check the RS-232 cable. Click "
    "OK to retry. Click Cancel to FAIL communications.";

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

// Builds bytes from a string literal that may contain NULs and control bytes.
template <std::size_t N> Bytes B(const char (&s)[N]) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s),
                 reinterpret_cast<const std::uint8_t*>(s) + N - 1);
}

} // namespace qvc::test
