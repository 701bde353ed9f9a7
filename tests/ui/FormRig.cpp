#include "FormRig.h"

#include "ui/setup/SetupPage.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>

namespace qvc::test {

LinkTimings FastTimings() {
    LinkTimings t;
    t.tickMs = 10;         // prompt waits: 100 ms probing, 800 ms for a command
    t.replyTimerMs = 4000; // Timer1
    t.tcpReadMs = 800;
    t.tcpPauseMs = 2;
    return t;
}

void RecordingAbout::Present(LMDAboutDlg& dialog) {
    ++shown;
    title = dialog.windowTitle();
    texts.clear();
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
    }
    buttons.clear();
    for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        buttons << b->text().remove(QLatin1Char('&'));
    }
}

PopupRecorder::PopupRecorder(TInfoForm& info) : info_(info) {
    info_.installEventFilter(this);
}

bool PopupRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &info_ && event->type() == QEvent::Show) {
        shown << info_.InfoText();
    }
    return false;
}

FormRig::FormRig() = default;

FormRig::~FormRig() {
    popups.reset();
    form_.reset();
    info_.reset();
    sims_.clear();
}

qvsim::SimThread& FormRig::StartSim(const SimSpec& spec) {
    sims_.push_back(std::make_unique<SimPeer>(spec));
    return **sims_.back();
}

void FormRig::StopSim(const qvsim::SimThread& sim) {
    std::erase_if(sims_, [&](const std::unique_ptr<SimPeer>& peer) {
        return &peer->Thread() == &sim;
    });
}

namespace {
quint16 UnusedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}
} // namespace

void FormRig::CreateForm(const qvsim::SimThread* tcpPeer, const qvsim::SimThread* serialPeer,
                         int serialCom) {
    CreateFormOnPort(tcpPeer != nullptr ? tcpPeer->TcpPort() : UnusedPort(), serialPeer, serialCom);
}

void FormRig::CreateFormOnPort(quint16 port, const qvsim::SimThread* serialPeer, int serialCom) {
    std::array<QString, 4> paths;
    for (int n = 1; n <= 4; ++n) {
        paths[static_cast<std::size_t>(n - 1)] =
            (serialPeer != nullptr && n == serialCom)
                ? QString::fromStdString(serialPeer->PtyPath())
                : dir_.filePath(QStringLiteral("missing-com%1").arg(n));
    }
    form_ =
        std::make_unique<TMatrixForm>(prompts, SerialPortMap(paths), FastTimings(), port, &about);
    info_ = std::make_unique<TInfoForm>();
    form_->AttachInfoForm(info_.get());
    popups = std::make_unique<PopupRecorder>(*info_);
}

void FormRig::Start(bool connectSerial) {
    prompts.ExpectYesNo(connectSerial);
    if (!connectSerial) {
        prompts.ExpectMessage(kConnectLaterText);
    }
    form_->show();
    ASSERT_TRUE(WaitFor([&] { return !prompts.Titles(PromptRecord::Kind::YesNo).isEmpty(); }));
    // The whole start-up handling ran inside the event dispatch that asked.
    ASSERT_EQ(prompts.PendingAnswers(), 0U);
}

void FormRig::ConnectEthernet() {
    Start(false);
    prompts.Clear();
    ClickTab(QStringLiteral("Setup"));
    TypeIp(QStringLiteral("127.0.0.1"));
    ClickLinkMode(true);
}

QString FormRig::StatusText() {
    return Find<QStatusBar>(QStringLiteral("MainStatusBar"))->currentMessage();
}

void FormRig::ClickTab(const QString& caption) {
    auto* pages = Find<QTabWidget>(QStringLiteral("MainPageControl"));
    for (int i = 0; i < pages->count(); ++i) {
        if (pages->tabText(i) == caption) {
            QTabBar* bar = pages->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(i).center());
            return;
        }
    }
    ADD_FAILURE() << "no page " << caption.toStdString();
}

void FormRig::TypeIp(const QString& text) {
    auto* edit = Find<QLineEdit>(QStringLiteral("IPAddrEdit"));
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void FormRig::ClickLinkMode(bool ethernet) {
    auto* button = Find<QRadioButton>(ethernet ? QStringLiteral("SerialModeEthernetButton")
                                               : QStringLiteral("SerialModeRs232Button"));
    QTest::mouseClick(button, Qt::LeftButton);
}

int FormRig::LinkMode() {
    if (Find<QRadioButton>(QStringLiteral("SerialModeEthernetButton"))->isChecked()) {
        return SetupPage::kEthernet;
    }
    if (Find<QRadioButton>(QStringLiteral("SerialModeRs232Button"))->isChecked()) {
        return SetupPage::kRs232;
    }
    return -1;
}

} // namespace qvc::test
