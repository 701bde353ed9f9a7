// The main window under test with its peers: scripted prompts, a recording
// About presenter, the pop-up, and switcher simulators on TCP and/or a pty.
#pragma once

#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"
#include "ui/AboutDialog.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"

#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qvc::test {

// Waits shortened so that failure paths run in milliseconds.
LinkTimings FastTimings();

// Records what the About dialog showed instead of running it modally.
class RecordingAbout : public AboutPresenter {
  public:
    void Present(LMDAboutDlg& dialog) override;
    int shown = 0;
    QString title;
    QStringList texts; // every label of the dialog, in creation order
    QStringList buttons;
};

// Records the text of the pop-up each time it is shown.
class PopupRecorder : public QObject {
  public:
    explicit PopupRecorder(TInfoForm& info);
    QStringList shown;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    TInfoForm& info_;
};

class FormRig {
  public:
    FormRig();
    ~FormRig();

    // Starts a simulator; call before CreateForm.
    qvsim::SimThread& StartSim(const SimSpec& spec);
    // Stops a simulator the rig started: its pty goes away and its TCP
    // clients see the connection closed.
    void StopSim(const qvsim::SimThread& sim);
    // COMn (serialCom) names the pty of `serialPeer`; the other numbers name
    // devices that do not exist. The TCP port is the one of `tcpPeer`, or a
    // port nobody listens on.
    void CreateForm(const qvsim::SimThread* tcpPeer, const qvsim::SimThread* serialPeer = nullptr,
                    int serialCom = 3);
    // The same with the window's TCP port given: another switcher front, such
    // as the bridge's switcher port.
    void CreateFormOnPort(quint16 tcpPort, const qvsim::SimThread* serialPeer = nullptr,
                          int serialCom = 3);
    // Shows the window and answers the start-up question (No expects the
    // "connect later" message); returns when the start-up handling has ended.
    void Start(bool connectSerial);
    // Start-up answered No, then Ethernet to 127.0.0.1 on the Setup page; the
    // prompts of the start-up are forgotten, those of the connection kept.
    void ConnectEthernet();

    TMatrixForm& Form() { return *form_; }
    TInfoForm& Info() { return *info_; }

    template <typename T> T* Find(const QString& name) {
        T* w = form_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << "no control " << name.toStdString();
        return w;
    }
    QAction* Action(const QString& name) { return Find<QAction>(name); }
    QString Text(const QString& labelName) { return Find<QLabel>(labelName)->text(); }
    QString StatusText();

    void ClickTab(const QString& caption);
    void TypeIp(const QString& text); // replaces the text of IPAddrEdit
    void ClickLinkMode(bool ethernet);
    int LinkMode();

    ScriptedPrompts prompts; // every message must be expected by the test
    RecordingAbout about;
    std::unique_ptr<PopupRecorder> popups;

  private:
    QTemporaryDir dir_;
    std::vector<std::unique_ptr<SimPeer>> sims_;
    std::unique_ptr<TInfoForm> info_;
    std::unique_ptr<TMatrixForm> form_;
};

// Texts of the program, written out once for the tests.
inline const QString kStartTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish COM port communication with Quorvel");
inline const QString kConnectLaterText =
    QStringLiteral("To connect later:\n\n"
                   "      \tSerial port - go to 'Serial Port->Connect to Quorvel' menu item\n"
                   "      \tEthernet - go to Setup Tab, enter IP Address and choose Ethernet\n"
                   "      \tOr refer to Quorvel manual for help with QV Control connections");
inline const QString kStartCaption =
    QStringLiteral("Norvak Dellby, LLC :- Quorvel Control (12 x 8)");
inline const QString kSearchFailedText = QStringLiteral(
    "\tSerial Port Connection Failed.\n\n"
    "      \t1) Please check RS-232 cable.\n"
    "      \t2) Make sure COM port is not in use.\n"
    "      \t3) Make sure Quorvel boot-up initialization has been completed.\n"
    "      \t4) Go to 'Serial Port->Connect to Quorvel' menu item to connect later.");

} // namespace qvc::test
