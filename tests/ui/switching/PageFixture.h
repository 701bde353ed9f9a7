// A SwitchingPage on the offscreen platform, with the lines it sends
// recorded, and helpers to click its controls by name and read what they
// show on screen.
#pragma once

#include "tests/support/PageRig.h"
#include "ui/switching/SwitchingPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolTip>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace qvc::test {

// Colours the page must show, written out.
inline const QString kRed = QStringLiteral("#ff0000");
inline const QString kLime = QStringLiteral("#00ff00");
inline const QString kYellow = QStringLiteral("#ffff00");
inline const QString kAqua = QStringLiteral("#00ffff");
inline const QString kBlue = QStringLiteral("#0000ff");
inline const QString kLampGreen = QStringLiteral("#008000");
// The platform's own colours: the button face and the tooltip background.
inline QString Face() {
    return QApplication::palette().color(QPalette::Button).name();
}
inline QString TooltipBase() {
    return QToolTip::palette().color(QPalette::ToolTipBase).name();
}

// "No input" in the seeding helpers below, which take 1-based numbers.
inline constexpr int kNone = 0;

// The colour of a widget on screen: a grabbed pixel just inside its left
// border, halfway down (clear of a centred caption), or its centre.
inline QString ShownColour(QWidget* w) {
    const QImage image = w->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(4 * dpr), image.height() / 2).name();
}
inline QString ShownCentre(QWidget* w) {
    const QImage image = w->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2).name();
}

class PageFixture : public ::testing::Test, public PageRig {
  protected:
    // A 16 x 16 switcher with audio, as most tests need.
    void SetUp() override { SetModel(3, 1); }
    void TearDown() override { page.reset(); }

    // Builds and shows the page over the state seeded so far.
    void Build() {
        page = std::make_unique<SwitchingPage>(Context());
        // What the window's page list does when a page changed shared state.
        QObject::connect(page.get(), &Page::stateChanged, page.get(),
                         [this] { page->RefreshFromState(); });
        Show(*page);
    }

    // Output `out` (1-based) committed to inputs `video` and `audio`
    // (1-based, kNone for none).
    void Committed(int out, int video, int audio) {
        const int o = out - 1;
        state.outputs.videoInput(o) = Input(video);
        state.outputs.audioInput(o) = Input(audio);
        state.outputs.videoTaken(o) = 1;
        state.outputs.audioTaken(o) = 1;
        state.prevOutputs.videoInput(o) = Input(video);
        state.prevOutputs.audioInput(o) = Input(audio);
    }

    // Output `out` in group `group` (both 1-based); `inputs` the group's
    // inputs (1-based).
    void Grouped(int out, int group, std::vector<int> inputs = {}) {
        const int g = group - 1;
        state.groups.outputGroup(out - 1) = static_cast<std::uint8_t>(g);
        if (!inputs.empty()) {
            state.groups.setInputCount(g, static_cast<int>(inputs.size()));
            for (int k : inputs) {
                state.groups.inputMember(g, k - 1) = static_cast<std::uint8_t>(g);
            }
        }
    }

    template <typename W> W* Get(const QString& name) {
        W* w = page->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QPushButton* InputButton(int n) { return Get<QPushButton>(Named("InputButton", n)); }
    QPushButton* OutputButton(int n) { return Get<QPushButton>(Named("OutputButton", n)); }
    QLabel* VideoLabel(int n) { return Get<QLabel>(Named("VideoLabel", n)); }
    QLabel* AudioLabel(int n) { return Get<QLabel>(Named("AudioLabel", n)); }
    QCheckBox* MuteBox(int n) { return Get<QCheckBox>(Named("OutputMuteCheckBox", n)); }
    QLabel* TakeLamp() { return Get<QLabel>(QStringLiteral("ApdStatusLight1")); }

    void Click(QWidget* w) {
        ASSERT_NE(w, nullptr);
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void Click(const char* name) { Click(Get<QWidget>(QString::fromLatin1(name))); }
    void ClickInput(int n) { Click(InputButton(n)); }
    void ClickOutput(int n) { Click(OutputButton(n)); }
    // Picks an item of AVInputRadioGroup: 0 "Audio/Video", 1 "Video Only",
    // 2 "Audio Only".
    void ChooseMode(int item) {
        auto* radio = Get<QRadioButton>(Named("AVInputRadioGroupItem", item));
        ASSERT_NE(radio, nullptr);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
        ASSERT_TRUE(radio->isChecked());
    }

    // Caption text and colour of output `n`'s two labels.
    void ExpectVideo(int n, const char* text, const QString& colour) {
        EXPECT_EQ(VideoLabel(n)->text().toStdString(), text) << "VideoLabel" << n;
        EXPECT_EQ(ShownColour(VideoLabel(n)).toStdString(), colour.toStdString())
            << "VideoLabel" << n;
    }
    void ExpectAudio(int n, const char* text, const QString& colour) {
        EXPECT_EQ(AudioLabel(n)->text().toStdString(), text) << "AudioLabel" << n;
        EXPECT_EQ(ShownColour(AudioLabel(n)).toStdString(), colour.toStdString())
            << "AudioLabel" << n;
    }
    void ExpectButton(QWidget* button, const QString& colour) {
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(ShownColour(button).toStdString(), colour.toStdString())
            << button->objectName().toStdString();
    }

    static QString Named(const char* family, int n) {
        return QString::fromLatin1(family) + QString::number(n);
    }
    static std::uint8_t Input(int n) {
        return n == kNone ? NoInput : static_cast<std::uint8_t>(n - 1);
    }

    std::unique_ptr<SwitchingPage> page;
};

} // namespace qvc::test
