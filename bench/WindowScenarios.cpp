// The modes of qvc_bench_window that drive the pages of a connected window
// (see WindowRunner.h for the connection): a level slider dragged by
// keyboard, the configuration file items of the File menu, the preset
// sequencer running, and preset previews on the preset panel.
#include "WindowRunner.h"
#include "config/ConfigFile.h"
#include "ui/sequencing/SequencingPage.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <optional>
#include <vector>

namespace qvc::bench::window {

namespace {

constexpr int kRepeatKeyMs = 33;   // a held key repeats about 30 times a second
constexpr int kSliderSteps = 252;  // 0 to 252, one step per Right-arrow press
constexpr int kDrags = 3;          // per process
constexpr int kSettleMs = 20;      // between the steps of a drag's set-up
constexpr int kDragWaitMs = 60000; // for a drag to be handled
constexpr int kActivateWaitMs = 5000;
constexpr int kConfigRuns = 20;
constexpr int kPreviewClicks = 20;
constexpr int kSequenceSteps = 100;
constexpr int kSecondMs = 250; // with a delay of 4 "seconds": a step every second
constexpr int kRowDelaySeconds = 4;
// Rows 1 to 3 of the sequence: presets the demo switcher has stored.
constexpr const char* kSequencePresets[] = {"1", "2", "5"};
// Preset buttons clicked in turn: stored, and routed differently.
constexpr int kPreviewPresets[] = {2, 5};

const char* const kLevelSlider = "AudioTrackBar3";

// Sleeps `ms` while dispatching events.
bool Pause(const RunnerPrompts& prompts, int ms) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    return Await(prompts, ms + 1000, [&] { return Clock::now() >= until; });
}

QString Numbered(const char* family, int n) {
    return QString::fromLatin1(family) + QString::number(n);
}

long long UsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration_cast<std::chrono::microseconds>(to - from).count();
}

// A key press and release to `target`, or, without one, as the keyboard's
// are delivered: to the widget that has the focus when the event is handled
// (the window when none has).
void PressKey(QWidget& window, Qt::Key key, QWidget* target = nullptr) {
    if (target == nullptr) {
        target = QApplication::focusWidget();
    }
    if (target == nullptr) {
        target = &window;
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

// What the switching page shows in words: the text of each of its labels
// and buttons, in a fixed order.
QStringList ShownTexts(QWidget& page) {
    QStringList texts;
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        texts << label->objectName() + QLatin1Char('=') + label->text();
    }
    for (const QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
        texts << button->objectName() + QLatin1Char('=') + button->text() +
                     (button->isEnabled() ? QString() : QStringLiteral(" (disabled)")) +
                     button->palette().button().color().name();
    }
    return texts;
}

} // namespace

// --- audio --------------------------------------------------------------------

// The level slider of input 3 dragged across its range by keyboard, --runs
// times (default 3). Each drag: a click gives AudioTrackBar3 the focus and
// Home puts it at 0 (one ALVL); once the link is idle the slider is clicked
// again and 252 Right-arrow presses follow, one every --key-ms (default 33,
// a held key's repeat; 0: all queued at once). They go to the widget with
// the focus, or with --keys-to slider to the slider wherever the focus went.
// Reported per drag: the wall clock at its start and at its end (the parent
// counts the ALVL lines its simulator logged in between), the presses, the
// slider's value after them and whether it still has the focus, the changes
// the page handled with the link idle (each sent its ALVL and had the answer
// before it returned), the time from the last press to the last of those and
// from the first press to it, and the CPU of this process from the first
// press to the later of the last press and the last change handled.
int RunAudio(qvc::GuardedApplication& app, const QStringList& args) {
    const Options options = ParseOptions(args);
    LinkChoice link;
    if (const QString problem = ChooseLink(options, link); !problem.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(kAudioMode, problem));
    }
    const int drags = IntOption(options, kRunsOption, kDrags, 1);
    const int keyMs = IntOption(options, kKeyMsOption, kRepeatKeyMs, 0);
    const bool toSlider =
        options.value(QString::fromLatin1(kKeysToOption)) == QLatin1String(kToSlider);

    ConnectedWindow window(app, link);
    if (const QString problem = window.Connect(); !problem.isEmpty()) {
        return Fail(problem);
    }
    QWidget& form = window.Form();
    auto* slider = window.Find<QSlider>(QString::fromLatin1(kLevelSlider));
    if (!window.ShowPage("AudioTabSheet") || slider == nullptr) {
        return Fail(QStringLiteral("the window has no AudioTabSheet with %1").arg(kLevelSlider));
    }
    form.activateWindow();
    if (!Await(window.prompts, kActivateWaitMs,
               [&] { return QApplication::activeWindow() == &form; })) {
        return Fail(QStringLiteral("the window did not become active"));
    }
    const qvc::LinkState& flags = window.Form().Flags();

    // The page's handler was connected first: this runs after it returned.
    int handled = 0;
    Clock::time_point lastHandled;
    long long cpuAtLastHandled = 0;
    QObject::connect(slider, &QSlider::valueChanged, slider, [&] {
        if (flags.BusyFlag == 0 && !flags.RefreshingFlag) {
            ++handled;
            lastHandled = Clock::now();
            cpuAtLastHandled = ProcessCpuUs();
        }
    });

    for (int drag = 0; drag < drags; ++drag) {
        slider->setFocus(Qt::MouseFocusReason);
        if (QApplication::focusWidget() != slider) {
            return Fail(QStringLiteral("%1 does not take the focus").arg(kLevelSlider));
        }
        PressKey(form, Qt::Key_Home);
        if (!Await(window.prompts, kDragWaitMs, [&] { return window.Idle(); }) ||
            slider->value() != 0 || !Pause(window.prompts, kSettleMs)) {
            return Fail(QStringLiteral("Home did not put %1 at 0").arg(kLevelSlider));
        }
        slider->setFocus(Qt::MouseFocusReason);
        handled = 0;
        const long long startMs = WallMs();

        int pressed = 0;
        Clock::time_point firstKey;
        Clock::time_point lastKey;
        long long cpuAtFirstKey = 0;
        long long cpuAtLastKey = 0;
        const auto pressRight = [&] {
            // Paced, a press is made when its turn comes; queued, all at once.
            if (keyMs > 0) {
                lastKey = Clock::now();
                if (pressed == 0) {
                    firstKey = lastKey;
                    cpuAtFirstKey = ProcessCpuUs();
                }
            }
            PressKey(form, Qt::Key_Right, toSlider ? slider : nullptr);
            if (++pressed == kSliderSteps) {
                cpuAtLastKey = ProcessCpuUs();
            }
        };
        QTimer keyboard;
        if (keyMs > 0) {
            keyboard.setTimerType(Qt::PreciseTimer);
            QObject::connect(&keyboard, &QTimer::timeout, &keyboard, [&] {
                pressRight();
                if (pressed == kSliderSteps) {
                    keyboard.stop();
                }
            });
            keyboard.start(keyMs);
        } else {
            firstKey = lastKey = Clock::now();
            cpuAtFirstKey = ProcessCpuUs();
            for (int k = 0; k < kSliderSteps; ++k) {
                QMetaObject::invokeMethod(&form, pressRight, Qt::QueuedConnection);
            }
        }
        // The presses and the link's answers end the waits; the tick only
        // checks the deadline, and wakes this process seldom.
        const int tickMs = 100;
        if (!Await(
                window.prompts, kDragWaitMs,
                [&] { return pressed == kSliderSteps && window.Idle(); }, tickMs)) {
            return Fail(QStringLiteral("the drag was not handled"));
        }
        const long long endMs = WallMs();
        if (!Pause(window.prompts, kSettleMs)) { // the next drag's lines come later
            return Fail(QStringLiteral("an unexpected prompt after the drag"));
        }

        Print(kDragStartMs, startMs);
        Print(kDragEndMs, endMs);
        Print(kKeys, pressed);
        Print(kSliderEnd, slider->value());
        Print(kFocusKept, QApplication::focusWidget() == slider ? 1 : 0);
        Print(kSliderChanges, handled);
        if (handled > 0) {
            Print(kKeyToAckUs, UsBetween(lastKey, lastHandled));
            Print(kDragUs, UsBetween(firstKey, lastHandled));
        }
        const bool handledLast = handled > 0 && lastHandled > lastKey;
        Print(kCpuSpanUs, UsBetween(firstKey, handledLast ? lastHandled : lastKey));
        Print(kCpuUs, (handledLast ? cpuAtLastHandled : cpuAtLastKey) - cpuAtFirstKey);
    }
    return 0;
}

// --- configuration file ---------------------------------------------------------

// The File menu's configuration items with the file name scripted, --runs
// times (default 20). Two files take turns so that every load changes what
// the pages show: A, saved from the switcher as read back, and B, the same
// with other labels, levels and routes. Each run saves to a third file (the
// file name given to the item's return: packing and writing), loads A or B
// (the file name given to the "loaded" message: the file read and the apply
// to every page), then handles the repaint that causes; and reads the same
// file alone, which leaves the apply.
int RunConfig(qvc::GuardedApplication& app, const QStringList& args) {
    const Options options = ParseOptions(args);
    LinkChoice link;
    if (const QString problem = ChooseLink(options, link); !problem.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(kConfigMode, problem));
    }
    const QDir dir(options.value(QString::fromLatin1(kDirOption)));
    if (!options.contains(QString::fromLatin1(kDirOption)) || !dir.exists()) {
        return Fail(
            QStringLiteral("%1 needs %2 DIR, an existing folder").arg(kConfigMode, kDirOption));
    }
    const int runs = IntOption(options, kRunsOption, kConfigRuns, 1);

    ConnectedWindow window(app, link);
    if (const QString problem = window.Connect(); !problem.isEmpty()) {
        return Fail(problem);
    }
    auto* open = window.Find<QAction>(QStringLiteral("OpenConfigurationFile1"));
    auto* save = window.Find<QAction>(QStringLiteral("SaveConfigurationtoFile1"));
    if (open == nullptr || save == nullptr || !open->isEnabled() || !save->isEnabled()) {
        return Fail(
            QStringLiteral("no enabled OpenConfigurationFile1 and SaveConfigurationtoFile1"));
    }
    RunnerPrompts& prompts = window.prompts;
    Clock::time_point named;
    std::optional<Clock::time_point> loaded;
    prompts.onFileName = [&] { named = Clock::now(); };
    prompts.expectedMessage = QString::fromLatin1(qvc::kConfigLoadedText);
    prompts.onExpectedMessage = [&] { loaded = Clock::now(); };

    const QString fileA = dir.filePath(QStringLiteral("a.cfg"));
    const QString fileB = dir.filePath(QStringLiteral("b.cfg"));
    const QString saved = dir.filePath(QStringLiteral("saved.cfg"));
    const auto local = [](const QString& path) {
        return std::filesystem::path(QFile::encodeName(path).toStdString());
    };
    prompts.fileName = fileA;
    save->trigger();
    qvc::ConfigImage image;
    if (prompts.unexpected != 0 ||
        qvc::ReadConfigFile(local(fileA), image) != ConfigReadResult::Ok) {
        return Fail(QStringLiteral("the window did not save %1").arg(fileA));
    }
    // B: outputs 5 on and the levels moved along, and labels of its own.
    qvc::DeviceState other = window.Form().State();
    const int inputs = std::max(other.Inputs(), 1);
    for (int o = 4; o < other.ShownOutputs(); ++o) {
        const auto input = static_cast<std::uint8_t>((o + 3) % inputs);
        other.outputs.videoInput(o) = input;
        other.outputs.audioInput(o) = input;
    }
    for (int i = 0; i < inputs; ++i) {
        other.levels.level(i) = static_cast<std::uint8_t>(100 + 5 * i);
    }
    qvc::PackTables(image, other);
    for (qvc::LabelKind kind : {qvc::LabelKind::Input, qvc::LabelKind::Output,
                                qvc::LabelKind::Group, qvc::LabelKind::Preset}) {
        for (int n = 1; n <= qvc::kLabelsPerKind; ++n) {
            const QByteArray label =
                QStringLiteral("B%1-%2").arg(static_cast<int>(kind)).arg(n).toLatin1();
            qvc::WriteLabel(image, kind, n, label.toStdString());
        }
    }
    if (!qvc::WriteConfigFile(local(fileB), image)) {
        return Fail(QStringLiteral("cannot write %1").arg(fileB));
    }

    for (int run = 0; run < runs; ++run) {
        prompts.fileName = saved;
        save->trigger();
        Print(kSaveUs, UsSince(named));

        const bool toB = run % 2 == 0; // the window shows A at first
        prompts.fileName = toB ? fileB : fileA;
        loaded.reset();
        open->trigger();
        if (!loaded || prompts.unexpected != 0) {
            return Fail(QStringLiteral("%1 was not loaded").arg(prompts.fileName));
        }
        const long long loadUs = UsBetween(named, *loaded);
        const Clock::time_point painted = Clock::now();
        QCoreApplication::processEvents();
        const long long repaintUs = UsSince(painted);
        if (toB && window.Form().State().levels.level(0) != other.levels.level(0)) {
            return Fail(QStringLiteral("the load of %1 left the levels as they were").arg(fileB));
        }

        const Clock::time_point reading = Clock::now();
        if (qvc::ReadConfigFile(local(prompts.fileName), image) != ConfigReadResult::Ok) {
            return Fail(QStringLiteral("cannot read %1").arg(prompts.fileName));
        }
        const long long readUs = UsSince(reading);
        Print(kLoadUs, loadUs);
        Print(kRepaintUs, repaintUs);
        Print(kReadUs, readUs);
        Print(kApplyUs, loadUs - readUs);
    }
    return 0;
}

// --- preset sequencer -------------------------------------------------------------

// The preset sequencer on the Sequencing page: rows 1 to 3 ticked with
// presets 1, 2 and 5 (stored by the demo switcher) and a delay of 4 seconds
// each, the page's second shortened to --second-ms (default 250, so a step
// every second: the page takes no delay under 3 s), Start, --steps steps
// (default 100), Stop. Per step: its lateness, the time from the step
// falling due (the timer armed at the end of the previous recall, as the
// page arms it, plus the interval) to the timer's event, and the time the
// step's handler took, the recall on the link included. Then the drift of
// the last step from Start + steps x interval, the steps put off for a busy
// link, the run's wall time and the CPU of this process over it.
int RunSequence(qvc::GuardedApplication& app, const QStringList& args) {
    const Options options = ParseOptions(args);
    LinkChoice link;
    if (const QString problem = ChooseLink(options, link); !problem.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(kSequenceMode, problem));
    }
    const int steps = IntOption(options, kStepsOption, kSequenceSteps, 1);
    const int secondMs = IntOption(options, kSecondMsOption, kSecondMs, 10);
    const int intervalMs = kRowDelaySeconds * secondMs;

    ConnectedWindow window(app, link);
    if (const QString problem = window.Connect(); !problem.isEmpty()) {
        return Fail(problem);
    }
    auto* page = window.Form().findChild<qvc::SequencingPage*>();
    auto* timer = window.Find<QTimer>(QStringLiteral("PresetSeqTimer"));
    auto* start = window.Find<QPushButton>(QStringLiteral("PresetSeqStartButton"));
    auto* stop = window.Find<QPushButton>(QStringLiteral("PresetSeqStopButton"));
    if (page == nullptr || timer == nullptr || start == nullptr || stop == nullptr ||
        !window.ShowPage("SequencingTabSheet")) {
        return Fail(QStringLiteral("the window has no SequencingTabSheet with its timer and "
                                   "Start and Stop"));
    }
    page->SetSecondLength(secondMs);
    int row = 0;
    for (const char* preset : kSequencePresets) {
        ++row;
        auto* enable = window.Find<QCheckBox>(Numbered("PresetSeqEnableCheckBox", row));
        auto* number = window.Find<QLineEdit>(Numbered("PresetSeqEdit", row));
        auto* delay = window.Find<QLineEdit>(Numbered("PresetDelayEdit", row));
        if (enable == nullptr || number == nullptr || delay == nullptr) {
            return Fail(QStringLiteral("row %1 of the sequence is missing").arg(row));
        }
        enable->setChecked(true);
        number->setText(QString::fromLatin1(preset));
        delay->setText(QString::number(kRowDelaySeconds));
    }

    // The timer's events, seen before the page's handler runs.
    class TimerWatch : public QObject {
      public:
        Clock::time_point fired;

      protected:
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Timer) {
                fired = Clock::now();
            }
            return false;
        }
    } watch;
    timer->installEventFilter(&watch);

    Clock::time_point started;
    Clock::time_point due;
    Clock::time_point lastFired;
    long long cpuAtStart = 0;
    long long cpuAtLast = 0;
    int done = 0;
    int waits = 0;
    std::vector<long long> lateness;
    std::vector<long long> recalls;
    // The page's handlers were connected first: these run after they returned.
    QObject::connect(start, &QPushButton::clicked, start,
                     [&] { due = Clock::now() + std::chrono::milliseconds(timer->interval()); });
    QObject::connect(timer, &QTimer::timeout, timer, [&] {
        const Clock::time_point now = Clock::now();
        if (!timer->isActive() || timer->interval() != intervalMs) {
            ++waits; // re-armed for a short look at a busy link: the step is still due
            return;
        }
        if (done < steps) {
            lateness.push_back(UsBetween(due, watch.fired));
            recalls.push_back(UsBetween(watch.fired, now));
            lastFired = watch.fired;
            cpuAtLast = ProcessCpuUs();
            ++done;
        }
        due = now + std::chrono::milliseconds(intervalMs);
    });

    cpuAtStart = ProcessCpuUs();
    started = Clock::now();
    start->click();
    if (!timer->isActive() || window.prompts.unexpected != 0) {
        return Fail(QStringLiteral("the sequence did not start"));
    }
    const int waitMs = steps * intervalMs * 2 + 30000;
    const int tickMs = 1000; // the timer's events end the waits; this only checks the deadline
    if (!Await(
            window.prompts, waitMs, [&] { return done >= steps; }, tickMs)) {
        return Fail(QStringLiteral("%1 of %2 steps in time").arg(done).arg(steps));
    }
    stop->click();
    for (std::size_t k = 0; k < lateness.size(); ++k) {
        Print(kLatenessUs, lateness[k]);
        Print(kRecallUs, recalls[k]);
    }
    Print(kDriftUs,
          UsBetween(started + std::chrono::milliseconds(static_cast<long long>(intervalMs) * steps),
                    lastFired));
    Print(kWaitTicks, waits);
    Print(kRunUs, UsBetween(started, lastFired));
    Print(kCpuUs, cpuAtLast - cpuAtStart);
    return 0;
}

// --- preset preview --------------------------------------------------------------

// Preset previews on the preset panel over the switching page: Recall, then
// --runs clicks (default 20) on preset buttons 2 and 5 in turn, stored by
// the demo switcher with different routes. Each is timed from the click to
// the return of its handler (the preview put in the state and every page
// refreshed from it), then the repaint it causes; the labels and buttons of
// the switching page whose text or colour changed tell that it shows the
// preview. Cancel at the end.
int RunPreview(qvc::GuardedApplication& app, const QStringList& args) {
    const Options options = ParseOptions(args);
    LinkChoice link;
    if (const QString problem = ChooseLink(options, link); !problem.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(kPreviewMode, problem));
    }
    const int clicks = IntOption(options, kRunsOption, kPreviewClicks, 1);

    ConnectedWindow window(app, link);
    if (const QString problem = window.Connect(); !problem.isEmpty()) {
        return Fail(problem);
    }
    auto* switching = window.Find<QWidget>(QStringLiteral("ControlTabSheet"));
    auto* recall = window.Find<QPushButton>(QStringLiteral("PresetsRecallButton"));
    auto* cancel = window.Find<QPushButton>(QStringLiteral("PresetRecallCancelButton"));
    if (switching == nullptr || recall == nullptr || cancel == nullptr) {
        return Fail(QStringLiteral("the window has no switching page with the preset panel"));
    }
    recall->click();
    QCoreApplication::processEvents();
    for (int k = 0; k < clicks; ++k) {
        const int preset = kPreviewPresets[k % std::size(kPreviewPresets)];
        auto* button = window.Find<QPushButton>(Numbered("PresetButton", preset));
        if (button == nullptr || !button->isVisible() || !button->isEnabled()) {
            return Fail(QStringLiteral("PresetButton%1 cannot be clicked").arg(preset));
        }
        const QStringList before = ShownTexts(*switching);
        const Clock::time_point clicked = Clock::now();
        button->click();
        Print(kPreviewUs, UsSince(clicked));
        const Clock::time_point painted = Clock::now();
        QCoreApplication::processEvents();
        Print(kRepaintUs, UsSince(painted));
        const QStringList after = ShownTexts(*switching);
        int changes = 0;
        for (qsizetype i = 0; i < std::min(before.size(), after.size()); ++i) {
            changes += before[i] != after[i] ? 1 : 0;
        }
        Print(kShownChanges, changes);
        if (window.prompts.unexpected != 0) {
            return Fail(QStringLiteral("the preview of preset %1 failed").arg(preset));
        }
    }
    cancel->click();
    return 0;
}

} // namespace qvc::bench::window
