// The "Crosspoint Grid" window over the "A / V Switching" page and the preset
// panel, on the offscreen platform, with the lines sent recorded. Also how a
// test reads a route from either view, so that it can say they agree.
#pragma once

#include "tests/ui/presets/PanelFixture.h"
#include "ui/grid/CrosspointGridWindow.h"
#include "ui/switching/SwitchingPage.h"

#include <QAbstractButton>
#include <string>

namespace qvc::test {

// Cell of output `out` and input `in` (1-based) of `grid`.
inline CrosspointCell* GridCell(QWidget* grid, int out, int in) {
    return grid->findChild<CrosspointCell*>(
        QStringLiteral("CrosspointCell_%1_%2").arg(out).arg(in));
}

// The routes of output `out` as the grid shows them: "5:cVA 1:tV" for
// committed video and audio from input 5 and temporary video from input 1.
inline std::string GridRow(QWidget* grid, int out, int inputs) {
    std::string row;
    for (int in = 1; in <= inputs; ++in) {
        const CrosspointCell* cell = GridCell(grid, out, in);
        if (cell == nullptr) {
            std::string missing = "no cell ";
            missing += std::to_string(in);
            return missing;
        }
        const CrosspointView& v = cell->View();
        std::string marks;
        if (v.committedVideo || v.committedAudio) {
            marks += " c";
            marks += v.committedVideo ? "V" : "";
            marks += v.committedAudio ? "A" : "";
        }
        if (v.temporaryVideo || v.temporaryAudio) {
            marks += " t";
            marks += v.temporaryVideo ? "V" : "";
            marks += v.temporaryAudio ? "A" : "";
        }
        if (!marks.empty()) {
            row += row.empty() ? "" : " ";
            row += std::to_string(in);
            row += ":";
            row += marks.substr(1);
        }
    }
    return row;
}

// What output `out` carries now, as "video audio" with a t (temporary) or c
// (committed) after each input, "-" for none: from the grid's cells...
inline std::string GridCarries(QWidget* grid, int out, int inputs) {
    std::string video = "-";
    std::string audio = "-";
    for (int in = 1; in <= inputs; ++in) {
        const CrosspointView& v = GridCell(grid, out, in)->View();
        const std::string n = std::to_string(in);
        if (v.temporaryVideo) {
            video = n + "t";
        } else if (v.committedVideo && video == "-") {
            video = n + "c";
        }
        if (v.temporaryAudio) {
            audio = n + "t";
        } else if (v.committedAudio && audio == "-") {
            audio = n + "c";
        }
    }
    // A temporary route to no input shows beside the row.
    const auto* none = grid->findChild<QLabel*>(QStringLiteral("GridNoInputMark%1").arg(out));
    if (none != nullptr && none->isVisible()) {
        if (none->text().contains(QLatin1Char('V'))) {
            video = "--t";
        }
        if (none->text().contains(QLatin1Char('A'))) {
            audio = "--t";
        }
    }
    return video + " " + audio;
}

// ... and from the switching page's captions, text and colour on screen.
inline std::string PageCarries(QWidget* window, int out) {
    const auto caption = [&](const char* family) {
        auto* label =
            window->findChild<QLabel*>(QString::fromLatin1(family) + QString::number(out));
        if (label == nullptr) {
            return std::string("no caption");
        }
        const QString colour = ShownColour(label);
        const std::string text = label->text().toStdString();
        if (text == "--") {
            return colour == kRed ? std::string("--t") : std::string("-");
        }
        return text + (colour == kRed ? "t" : colour == kLime ? "c" : "?");
    };
    return caption("VideoLabel") + " " + caption("AudioLabel");
}

class GridFixture : public PanelFixture {
  protected:
    void SetUp() override { SetModel(3, 1); }
    void TearDown() override {
        grid.reset();
        PanelFixture::TearDown();
    }

    // The pages, the panel and the grid window over the state seeded so far.
    void BuildGrid() {
        Build();
        page = qobject_cast<SwitchingPage*>(list->Pages().front());
        ASSERT_NE(page, nullptr);
        grid = std::make_unique<CrosspointGridWindow>(Context(), *page);
        grid->show();
        grid->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));
    }

    CrosspointCell* Cell(int out, int in) {
        CrosspointCell* cell = GridCell(grid.get(), out, in);
        EXPECT_NE(cell, nullptr) << out << "," << in;
        return cell;
    }
    void ClickCell(int out, int in) { Click(Cell(out, in)); }
    void ClickGrid(const char* name) {
        Click(grid->findChild<QWidget*>(QString::fromLatin1(name)));
    }
    std::string Row(int out) { return GridRow(grid.get(), out, state.Inputs()); }
    // Every shown output: the grid and the page show the same routes.
    void ExpectViewsAgree() {
        for (int out = 1; out <= state.ShownOutputs(); ++out) {
            EXPECT_EQ(GridCarries(grid.get(), out, state.Inputs()), PageCarries(window.get(), out))
                << "output " << out;
        }
    }
    // Output `out` committed to `video` and `audio` (1-based, kNone: none).
    void Committed(int out, int video, int audio) {
        const auto input = [](int n) {
            return n == kNone ? NoInput : static_cast<std::uint8_t>(n - 1);
        };
        state.outputs.videoInput(out - 1) = state.prevOutputs.videoInput(out - 1) = input(video);
        state.outputs.audioInput(out - 1) = state.prevOutputs.audioInput(out - 1) = input(audio);
        state.outputs.videoTaken(out - 1) = state.outputs.audioTaken(out - 1) = 1;
    }
    void ChooseMode(int item) {
        auto* radio =
            window->findChild<QRadioButton*>(QStringLiteral("AVInputRadioGroupItem%1").arg(item));
        ASSERT_NE(radio, nullptr);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(8, radio->height() / 2));
        ASSERT_TRUE(radio->isChecked());
    }

    SwitchingPage* page = nullptr;
    std::unique_ptr<CrosspointGridWindow> grid;
};

} // namespace qvc::test
