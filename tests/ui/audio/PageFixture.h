// An AudioPage on the offscreen platform, with the lines it sends recorded,
// and its controls reached by name.
#pragma once

#include "tests/support/PageRig.h"
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

class PageFixture : public ::testing::Test, public PageRig {
  protected:
    void SetUp() override {
        SetModel(3, 1);              // 16 x 16 with audio
        link.EthernetConnected = true; // levels go to a switcher
    }
    void TearDown() override { page.reset(); }

    // Builds and shows the page over the state seeded so far.
    void Build() {
        page = std::make_unique<AudioPage>(Context());
        Show(*page);
    }
    // What the window does after a read-back: the refresh under both flags.
    void Refresh() {
        BusyScope busy(link);
        RefreshScope refreshing(link);
        page->AdaptToModel();
        page->RefreshFromState();
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

    std::unique_ptr<AudioPage> page;
};

} // namespace qvc::test
