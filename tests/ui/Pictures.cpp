// qvc_pictures: renders every page of the main window, the pop-up and the
// About dialog to PNG files after a read-back of the demo switcher, so the
// window can be looked at without a display.
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
    form.show();
    if (!qvc::test::WaitFor([&] { return prompts.asked; }, 20000)) {
        return Fail("no start-up question");
    }

    // Ethernet to the demo switcher, as an operator would do it.
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("MainPageControl"));
    pages->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("SetupTabSheet")));
    auto* ip = form.findChild<QLineEdit*>(QStringLiteral("IPAddrEdit"));
    ip->setText(QStringLiteral("127.0.0.1"));
    form.findChild<QRadioButton*>(QStringLiteral("SerialModeEthernetButton"))->click();
    if (!form.Flags().EthernetConnected || form.Flags().RefreshingFlag) {
        return Fail("the read-back over TCP did not complete");
    }

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
    if (saved != pages->count() + 7 || !about.saved) {
        return Fail("a picture could not be saved");
    }
    if (!prompts.messages.isEmpty() && prompts.messages.size() != 1) {
        return Fail("unexpected messages during the read-back");
    }
    return 0;
}
