// qvc_pictures: renders every page of the main window, the pop-up, the About
// dialog and the crosspoint grid to PNG files after a read-back of the demo
// switcher, so the windows can be looked at without a display. The grid is
// rendered for a 16 x 16 and a 12 x 4 switcher, named by the scale
// (grid-model3-100.png; QT_SCALE_FACTOR=2 gives grid-model3-200.png), beside
// the wire log after the read-back and the status bar's link field.
//
//   qvc_pictures <output folder>
#include "Simulator.h"
#include "tests/support/WaitFor.h"
#include "ui/AboutDialog.h"
#include "ui/GuardedApplication.h"
#include "ui/InfoForm.h"
#include "ui/MatrixForm.h"
#include "ui/QtPrompts.h"
#include "ui/common/LogoWidget.h"
#include "ui/grid/CrosspointGridWindow.h"
#include "ui/wirelog/WireLogWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QLabel>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <cstdio>

namespace {

// Answers No to the start-up question and takes note of everything else.
class PicturePrompts : public qvc::Prompts {
  public:
    void Message(const QString& text) override { messages << text; }
    void MessageWithTitle(const QString&, const QString& text) override { messages << text; }
    bool YesNo(const QString&, const QString&) override {
        asked = true;
        return false;
    }
    bool OkCancel(const QString&, const QString&) override { return false; }
    void Error(const QString& text) override { messages << text; }
    QString OpenFileName(const QString&) override { return {}; }
    QString SaveFileName(const QString&) override { return {}; }
    bool asked = false;
    QStringList messages;
};

// Saves the About dialog instead of running it.
class PictureAbout : public qvc::AboutPresenter {
  public:
    explicit PictureAbout(QString path) : path_(std::move(path)) {}
    void Present(qvc::LMDAboutDlg& dialog) override {
        dialog.adjustSize();
        saved = dialog.grab().save(path_);
    }
    bool saved = false;

  private:
    QString path_;
};

int Fail(const char* what) {
    std::fprintf(stderr, "qvc_pictures: %s\n", what);
    return 1;
}

// Shows the form, answers No at the start-up question and connects over
// Ethernet to the simulator, as an operator would do it. False when the
// read-back did not complete.
bool ConnectOverTcp(qvc::TMatrixForm& form, const PicturePrompts& prompts) {
    form.show();
    if (!qvc::test::WaitFor([&] { return prompts.asked; }, 20000)) {
        return false;
    }
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("MainPageControl"));
    pages->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("SetupTabSheet")));
    auto* ip = form.findChild<QLineEdit*>(QStringLiteral("IPAddrEdit"));
    ip->setText(QStringLiteral("127.0.0.1"));
    form.findChild<QRadioButton*>(QStringLiteral("SerialModeEthernetButton"))->click();
    pages->setCurrentIndex(0);
    return form.Flags().EthernetConnected && !form.Flags().RefreshingFlag;
}

// Opens the crosspoint grid with one temporary route beside the committed
// ones (output 1 to input 2) and saves it as grid-model<code>-<scale>.png;
// the route is cancelled afterwards.
bool SaveGrid(qvc::TMatrixForm& form, const QDir& out, int model) {
    form.findChild<QAction*>(QStringLiteral("CrosspointGrid1"))->trigger();
    auto* grid = form.findChild<qvc::CrosspointGridWindow*>(QStringLiteral("CrosspointGridWindow"));
    if (grid == nullptr || !QTest::qWaitForWindowExposed(grid)) {
        return false;
    }
    grid->findChild<QAbstractButton*>(QStringLiteral("CrosspointCell_1_2"))->click();
    QTest::qWait(20);
    const int scale = qRound(grid->devicePixelRatioF() * 100);
    const QString file = QStringLiteral("grid-model%1-%2.png").arg(model).arg(scale);
    const bool saved = grid->grab().save(out.filePath(file));
    grid->findChild<QAbstractButton*>(QStringLiteral("GridCancelButton"))->click();
    grid->close();
    return saved;
}

// The grid of a 12 x 4 demo switcher, through a window of its own.
bool SaveSmallGrid(const QDir& out) {
    qvsim::SimOptions options;
    options.tcp = true;
    options.demo = true;
    options.model = 0;
    qvsim::SimThread sim(options);
    if (!sim.Start()) {
        return false;
    }
    PicturePrompts prompts;
    PictureAbout about(QString{});
    qvc::TMatrixForm form(prompts, qvc::SerialPortMap(), qvc::LinkTimings::Production(),
                          sim.TcpPort(), &about);
    return ConnectOverTcp(form, prompts) && SaveGrid(form, out, 0);
}

} // namespace

int main(int argc, char** argv) {
    qvc::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(qvc::kApplicationTitle));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("pictures");
    if (!QDir().mkpath(folder)) {
        return Fail("cannot create the output folder");
    }
    const QDir out(folder);

    qvsim::SimOptions options;
    options.tcp = true;
    options.demo = true;
    auto simulator = std::make_unique<qvsim::SimThread>(options);
    qvsim::SimThread& sim = *simulator;
    if (!sim.Start()) {
        return Fail("the simulator did not start");
    }

    PicturePrompts prompts;
    app.SetPrompts(&prompts);
    PictureAbout about(out.filePath(QStringLiteral("about-dialog.png")));
    std::unique_ptr<qvc::TInfoForm> info;
    qvc::TMatrixForm form(prompts, qvc::SerialPortMap(), qvc::LinkTimings::Production(),
                          sim.TcpPort(), &about);
    info = std::make_unique<qvc::TInfoForm>();
    form.AttachInfoForm(info.get());
    if (!ConnectOverTcp(form, prompts)) {
        return Fail("the read-back over TCP did not complete");
    }
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("MainPageControl"));

    static const char* const kFiles[] = {"1-switching",  "2-audio", "3-labeling", "4-grouping",
                                         "5-sequencing", "6-setup", "7-about"};
    int saved = 0;
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QTest::qWait(20);
        const QString file = out.filePath(QString::fromLatin1(kFiles[i]) + QStringLiteral(".png"));
        saved += form.grab().save(file) ? 1 : 0;
    }

    // Labels of six characters, wide ones and ones with a blank, on the
    // buttons of the switching page, the preset panel and the Grouping page.
    static const char* const kLabels[] = {"WWWWWW",  "MMMMMM", "CAM 12", "W WWWW",
                                          "Lectern", "@@@@@@", "mmmmmm", "PROJ A"};
    int n = 1;
    for (const char* label : kLabels) {
        for (const char* kind : {"Input", "Output", "Group", "Preset"}) {
            auto* edit = form.findChild<QLineEdit*>(
                QStringLiteral("%1LabelEdit%2").arg(QLatin1String(kind)).arg(n));
            if (edit != nullptr) {
                edit->setText(QString::fromLatin1(label).left(6));
            }
        }
        ++n;
    }
    // Labels are applied when an edit is left.
    QFocusEvent leave(QEvent::FocusOut);
    QApplication::sendEvent(form.findChild<QLineEdit*>(QStringLiteral("InputLabelEdit1")), &leave);
    pages->setCurrentIndex(0);
    form.findChild<QAbstractButton*>(QStringLiteral("PresetsSaveButton"))->click();
    QTest::qWait(20);
    saved += form.grab().save(out.filePath(QStringLiteral("labels-1-switching.png"))) ? 1 : 0;
    form.findChild<QAbstractButton*>(QStringLiteral("PresetSaveCancelButton"))->click();
    pages->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("GroupingTabSheet")));
    QTest::qWait(20);
    saved += form.grab().save(out.filePath(QStringLiteral("labels-4-grouping.png"))) ? 1 : 0;
    pages->setCurrentIndex(0);

    form.Events().ShowInfo(QStringLiteral("QV Control querying Quorvel. Please wait...."));
    form.Events().SetInfoProgress(QStringLiteral("....."));
    saved += info->grab().save(out.filePath(QStringLiteral("popup.png"))) ? 1 : 0;
    form.Events().HideInfo();

    QImage logo(256, 256, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    {
        QPainter painter(&logo);
        qvc::LogoWidget::PaintLogo(painter, QRectF(0, 0, 256, 256));
    }
    saved += logo.save(out.filePath(QStringLiteral("logo.png"))) ? 1 : 0;
    // The grid with the labels above.
    saved += SaveGrid(form, out, 3) ? 1 : 0;
    saved += SaveSmallGrid(out) ? 1 : 0;

    // The wire log after a read-back from the menu, and the status bar with
    // the link's field.
    form.findChild<QAction*>(QStringLiteral("WireLog1"))->trigger();
    form.findChild<QAction*>(QStringLiteral("ReadfromQuorvels1"))->trigger();
    qvc::WireLogWindow* wireLog = form.WireLog();
    if (wireLog == nullptr ||
        !qvc::test::WaitFor([&] { return wireLog->Model().rowCount() == 22; }, 5000)) {
        return Fail("the wire log did not list the read-back");
    }
    QTest::qWait(20);
    saved += wireLog->grab().save(out.filePath(QStringLiteral("wire-log.png"))) ? 1 : 0;
    wireLog->close();
    QStatusBar* statusBar = form.statusBar();
    saved += statusBar->grab().save(out.filePath(QStringLiteral("status-bar.png"))) ? 1 : 0;

    form.findChild<QAction*>(QStringLiteral("About1"))->trigger();

    // The switcher goes away: the field says so.
    simulator.reset();
    auto* linkLabel = form.findChild<QLabel*>(QStringLiteral("LinkStateLabel"));
    if (!qvc::test::WaitFor([&] { return linkLabel->text() == QLatin1String("Link lost"); },
                            5000)) {
        return Fail("the link was not reported lost");
    }
    saved += statusBar->grab().save(out.filePath(QStringLiteral("status-bar-lost.png"))) ? 1 : 0;
    app.SetPrompts(nullptr);
    if (saved != pages->count() + 9 || !about.saved) {
        return Fail("a picture could not be saved");
    }
    if (!prompts.messages.isEmpty() && prompts.messages.size() != 1) {
        return Fail("unexpected messages during the read-back");
    }
    return 0;
}
