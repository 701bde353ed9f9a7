// The preset panel over the two pages that show it ("A / V Switching" and
// "Sequencing"), in a page list as the window holds them, on the offscreen
// platform. The lines they send are recorded, and the sequencer's question
// "is an exchange at work?" is answered by the test.
#pragma once

#include "tests/support/ScriptedPrompts.h"
#include "tests/support/WaitFor.h"
#include "tests/ui/switching/PageFixture.h" // the colours as the screen shows them
#include "ui/PageList.h"
#include "ui/presets/PresetPanel.h"
#include "ui/sequencing/SequencingPage.h"
#include "ui/switching/SwitchingPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvc::test {

class PanelFixture : public ::testing::Test {
  protected:
    // A second of the sequencer's delays lasts this long in the tests.
    static constexpr int kSecondMs = 40;

    void SetUp() override {
        state.model.ApplyModelCode(3); // 16 x 16
        state.statusRead = true;
        state.status.bytes[19] = 1; // with audio
    }
    void TearDown() override { window.reset(); }

    // Builds and shows the pages and the panel over the state seeded so far.
    void Build() {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        tabs = new QTabWidget(window.get());
        layout->addWidget(tabs);
        list = new PageList(*tabs, link, window.get());
        PageContext context{state,
                            link,
                            [this](const Commands& c) { OnSend(c); },
                            prompts,
                            labels,
                            switching,
                            presets,
                            nullptr,
                            [this] {
                                ++exchangeAsks;
                                return exchangeBusy;
                            }};
        switchingPage = list->Add(new SwitchingPage(context));
        sequencingPage = list->Add(new SequencingPage(context));
        sequencingPage->SetSecondLength(kSecondMs);
        panel = new PresetPanel(context, window.get());
        list->SetPresetPanel(panel);
        window->resize(880, 720);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        panel->PlaceOver(tabs->geometry(), tabs->tabBar()->height());
    }
    void ShowSequencing() { tabs->setCurrentWidget(sequencingPage); }

    // Lines sent since the last call.
    Lines Sent() { return std::exchange(sent, {}); }
    bool SentSomething() const { return !sent.empty(); }

    // Preset n (1-based) stored with output `out` committed to input `in`.
    void StoredPreset(int n, int out, int in) {
        OutputStatusTable image = OutputStatusTable::Initial();
        image.videoInput(out - 1) = image.audioInput(out - 1) = static_cast<std::uint8_t>(in - 1);
        auto route = state.presets.routeImage(n - 1);
        std::copy(image.bytes.begin(), image.bytes.end(), route.begin());
        state.presets.stored(n - 1) = 1;
    }
    // Output `out` committed to input `in` (1-based).
    void Committed(int out, int in) {
        state.outputs.videoInput(out - 1) = state.outputs.audioInput(out - 1) =
            static_cast<std::uint8_t>(in - 1);
        state.outputs.videoTaken(out - 1) = state.outputs.audioTaken(out - 1) = 1;
    }

    template <typename W = QWidget> W* Get(const QString& name) {
        W* w = window->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    template <typename W = QWidget> W* Get(const char* name) {
        return Get<W>(QString::fromLatin1(name));
    }
    template <typename W = QWidget> W* Get(const char* family, int n) {
        return Get<W>(QString::fromLatin1(family) + QString::number(n));
    }
    QPushButton* PresetButton(int n) { return Get<QPushButton>("PresetButton", n); }

    void Click(QWidget* w) {
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(w->isVisible() && w->isEnabled()) << w->objectName().toStdString();
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void Click(const char* name) { Click(Get(name)); }
    void ClickPreset(int n) { Click(PresetButton(n)); }

    // Shows the colour of output `out`'s video caption on the switching page.
    std::string VideoCaption(int out) {
        return ShownColour(Get<QLabel>("VideoLabel", out)).toStdString();
    }

    DeviceState state;
    LinkState link;
    Switching switching{state};
    Presets presets{state, switching};
    LabelTables labels = DefaultLabels();
    ScriptedPrompts prompts;
    bool exchangeBusy = false;
    int exchangeAsks = 0;
    std::unique_ptr<QWidget> window;
    QTabWidget* tabs = nullptr;
    PageList* list = nullptr;
    SwitchingPage* switchingPage = nullptr;
    SequencingPage* sequencingPage = nullptr;
    PresetPanel* panel = nullptr;

  private:
    void OnSend(const Commands& lines) {
        for (const Command& command : lines) {
            sent.push_back(command.line);
        }
    }
    std::vector<std::string> sent;
};

} // namespace qvc::test
