// An AudioPage on the offscreen platform, with the lines it sends recorded,
// and its controls reached by name.
#pragma once

#include "tests/support/ScriptedPrompts.h"
#include "ui/audio/AudioPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvc::test {

using Lines = std::vector<std::string>;

class PageFixture : public ::testing::Test {
  protected:
    void SetUp() override { SetModel(3, 1); } // 16 x 16 with audio
    void TearDown() override { page.reset(); }

    // Builds and shows the page over the state seeded so far.
    void Build() {
        page = std::make_unique<AudioPage>(PageContext{state,
                                                       link,
                                                       [this](const Commands& lines) {
                                                           for (const Command& c : lines) {
                                                               sent.push_back(c.line);
                                                           }
                                                       },
                                                       prompts,
                                                       labels,
                                                       switching,
                                                       presets,
                                                       nullptr,
                                                       {}});
        page->resize(880, 680);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    // What the window does after a read-back: the refresh under both flags.
    void Refresh() {
        BusyScope busy(link);
        RefreshScope refreshing(link);
        page->AdaptToModel();
        page->RefreshFromState();
    }
    Lines Sent() { return std::exchange(sent, {}); }

    // The switcher size and audio flag as a status block reports them.
    void SetModel(int code, int audioPresent) {
        state.status.bytes[14] = static_cast<std::uint8_t>(code);
        state.status.bytes[19] = static_cast<std::uint8_t>(audioPresent);
        state.model.ApplyModelCode(static_cast<std::uint8_t>(code));
        state.statusRead = true;
    }

    template <typename W> W* Get(const char* family, int n, const char* suffix = "") {
        const QString name = QString::fromLatin1(family) + QString::number(n) + suffix;
        W* w = page->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QGroupBox* Box(int n) { return Get<QGroupBox>("AudioInputGroupBox", n); }
    LevelSlider* Slider(int n) { return Get<LevelSlider>("AudioTrackBar", n); }
    QLabel* ReadOut(int n) { return Get<QLabel>("AudioEdit", n); }
    QToolButton* Up(int n) { return Get<QToolButton>("AudioSpinBtn", n, "Up"); }
    QToolButton* Down(int n) { return Get<QToolButton>("AudioSpinBtn", n, "Down"); }
    // The read-out's text, which must also be its accessible name.
    std::string Shown(int n) {
        EXPECT_EQ(ReadOut(n)->accessibleName(), ReadOut(n)->text()) << n;
        return ReadOut(n)->text().toStdString();
    }

    DeviceState state;
    LinkState link{.EthernetConnected = true}; // levels go to a switcher
    Switching switching{state};
    Presets presets{state, switching};
    LabelTables labels = DefaultLabels();
    ScriptedPrompts prompts;
    Lines sent;
    std::unique_ptr<AudioPage> page;
};

} // namespace qvc::test
