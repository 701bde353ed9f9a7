// The preset panel over the two pages that show it ("A / V Switching" and
// "Sequencing"), in a page list as the window holds them, on the offscreen
// platform. The lines sent are recorded; the test answers the sequencer's
// question whether an exchange is at work.
#pragma once

#include "tests/support/WaitFor.h"
#include "tests/ui/switching/PageFixture.h" // colours as the screen shows them
#include "ui/PageList.h"
#include "ui/presets/PresetPanel.h"
#include "ui/sequencing/SequencingPage.h"

#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace qvc::test {

class PanelFixture : public ::testing::Test, public PageRig {
  protected:
    static constexpr int kSecondMs = 40; // a second of the sequencer's delays

    void TearDown() override { window.reset(); }

    // Builds and shows the pages and the panel over the state seeded so far.
    void Build() {
        window = std::make_unique<QWidget>();
        auto* tabs = new QTabWidget(window.get());
        (new QVBoxLayout(window.get()))->addWidget(tabs);
        list = new PageList(*tabs, link, window.get());
        const PageContext context = Context(nullptr, [this] {
            ++exchangeAsks;
            return exchangeBusy;
        });
        list->Add(new SwitchingPage(context));
        sequencing = list->Add(new SequencingPage(context));
        sequencing->SetSecondLength(kSecondMs);
        auto* panel = new PresetPanel(context, window.get());
        list->SetPresetPanel(panel);
        window->resize(880, 720);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        panel->PlaceOver(tabs->geometry(), tabs->tabBar()->height());
    }

    Lines NextLines() {
        EXPECT_TRUE(WaitFor([this] { return !sent.empty(); }));
        return Sent();
    }

    // Preset n stored with output 1 committed to input `in` (both 1-based).
    void StoredPreset(int n, int in) {
        OutputStatusTable image = OutputStatusTable::Initial();
        image.videoInput(0) = image.audioInput(0) = static_cast<std::uint8_t>(in - 1);
        std::copy(image.bytes.begin(), image.bytes.end(), state.presets.routeImage(n - 1).begin());
        state.presets.stored(n - 1) = 1;
    }

    template <typename W = QWidget> W* Get(const char* name, int n = 0) {
        const QString full = QString::fromLatin1(name) + (n > 0 ? QString::number(n) : QString());
        W* w = window->findChild<W*>(full);
        EXPECT_NE(w, nullptr) << full.toStdString();
        return w;
    }
    void Click(QWidget* w) {
        ASSERT_TRUE(w != nullptr && w->isVisible() && w->isEnabled());
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void Click(const char* name, int n = 0) { Click(Get(name, n)); }
    // Output 1's video caption on the switching page: its text and colour.
    std::string Output1() {
        auto* label = Get<QLabel>("VideoLabel1");
        return label->text().toStdString() + " " + ShownColour(label).toStdString();
    }

    bool exchangeBusy = false;
    int exchangeAsks = 0;
    std::unique_ptr<QWidget> window;
    PageList* list = nullptr;
    SequencingPage* sequencing = nullptr;
};

} // namespace qvc::test
