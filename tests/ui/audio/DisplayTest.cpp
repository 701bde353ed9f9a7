// What the page shows: levels in dB after a read-back, the boxes for each
// switcher size and without audio, a loaded configuration, the captions with
// the input labels, names for assistive technology, keyboard order and the
// fit in the page area (also at 200 %).
#include "PageFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>

namespace qvc::test {
namespace {

using DisplayTest = PageFixture;

// The background of a group box: its caption strip right of the caption
// (a style may shade the inside of the frame).
QString BoxColour(QWidget* box) {
    const QImage image = box->grab().toImage();
    const int inset = static_cast<int>(6 * image.devicePixelRatio());
    return image.pixelColor(image.width() - inset, inset / 2).name();
}

QString SpokenName(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

TEST_F(DisplayTest, ReadBackShowsEachLevelInDb) {
    const struct {
        int level;
        const char* shown;
        int position;
    } rows[] = {{0, "-74", 0},   {1, "-73", 1},    {195, "-1", 195}, {196, "0", 196},
                {201, "0", 201}, {251, "19", 251}, {252, "20", 252}, {255, "20", 252}};
    for (int i = 0; i < 8; ++i) {
        state.levels.level(i) = static_cast<std::uint8_t>(rows[i].level);
    }
    SetModel(0, 1);
    Build();
    Refresh();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Shown(i + 1), rows[i].shown) << i;
        EXPECT_EQ(Slider(i + 1)->value(), rows[i].position) << i;
    }
    EXPECT_FALSE(Slider(7)->invertedAppearance()); // 252 is the right end
    EXPECT_TRUE(Sent().empty());
    const QPixmap picture = page->grab(); // for a look without a display
    ASSERT_TRUE(picture.save(QStringLiteral(QT_TESTCASE_BUILDDIR "/audio_page@%1x.png")
                                 .arg(picture.devicePixelRatio())));
}

TEST_F(DisplayTest, BoxesOfMissingInputsAreDisabledAndSilver) {
    const QString face = QApplication::palette().color(QPalette::Button).name();
    const struct {
        int code;
        int audio;
        int present;
    } cases[] = {{0, 1, 12}, {1, 1, 12}, {2, 1, 16}, {3, 1, 16}, {3, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "model " << c.code << " audio " << c.audio);
        page.reset();
        SetModel(3, 1);
        state.levels.level(15) = 0;
        Build();
        Refresh();
        SetModel(c.code, c.audio); // the switcher shrinks, or has no audio
        state.levels.level(15) = 252;
        Refresh();
        for (int n = 1; n <= 16; ++n) {
            EXPECT_EQ(Box(n)->isEnabled(), n <= c.present) << n;
            EXPECT_EQ(BoxColour(Box(n)), n <= c.present ? face : QStringLiteral("#c0c0c0")) << n;
        }
        EXPECT_EQ(Shown(16), c.present == 16 ? "20" : "-74"); // a box left out keeps its level
        EXPECT_TRUE(Sent().empty());
    }
}

TEST_F(DisplayTest, LoadedConfigurationShowsTheModelsInputsAsTheyAre) {
    SetModel(1, 0);
    Build();
    Refresh();
    state.levels.level(11) = 252;
    state.levels.level(12) = 252;
    RefreshScope refreshing(link);
    page->ShowLoadedConfiguration();
    EXPECT_EQ(Shown(12), "20");
    EXPECT_EQ(Shown(13), "0");
    EXPECT_FALSE(Box(12)->isEnabled());
}

TEST_F(DisplayTest, NamesCaptionsAndTabOrder) {
    labels.inputs[2] = "CAM 3";
    labels.inputs[4] = "";
    Build();
    page->ApplyLabels();
    EXPECT_EQ(SpokenName(Box(3)).toStdString(), "Input 3 (CAM 3)");
    EXPECT_EQ(Box(5)->title().toStdString(), "Input 5 ()");
    EXPECT_EQ(Box(16)->title().toStdString(), "Input 16 (16)");
    std::vector<QWidget*> expected;
    for (int n = 1; n <= 16; ++n) {
        expected.insert(expected.end(), {Slider(n), ReadOut(n), Up(n), Down(n)});
        const QStringList names{SpokenName(Slider(n)), SpokenName(ReadOut(n)), SpokenName(Up(n)),
                                SpokenName(Down(n))};
        EXPECT_EQ(names, (QStringList{"Level", "0", "Level up", "Level down"})) << n;
    }
    std::vector<QWidget*> chain;
    for (QWidget* w = Slider(1); chain.size() < expected.size(); w = w->nextInFocusChain()) {
        if (w->focusPolicy() & Qt::TabFocus) {
            chain.push_back(w);
        }
    }
    EXPECT_EQ(chain, expected);
}

TEST_F(DisplayTest, NamedControlsFitThePageArea) {
    Build();
    EXPECT_LE(page->minimumSizeHint().width(), 880);
    EXPECT_LE(page->minimumSizeHint().height(), 680);
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->accessibleDescription().isEmpty()) {
            const QRect r(w->mapTo(page.get(), QPoint(0, 0)), w->size());
            EXPECT_TRUE(page->rect().contains(r)) << w->objectName().toStdString();
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
        }
    }
}

} // namespace
} // namespace qvc::test
