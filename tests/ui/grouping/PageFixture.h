// A GroupingPage on the offscreen platform, with the lines it sends recorded
// and its controls reached by name.
#pragma once

#include "tests/support/PageRig.h"
#include "ui/grouping/GroupingPage.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvc::test {

inline const QString kYellow = QStringLiteral("#ffff00");

// The colour a widget shows just inside its left border, halfway down.
inline std::string ShownColour(QWidget* w) {
    const QImage image = w->grab().toImage();
    const int x = static_cast<int>(4 * image.devicePixelRatio());
    return image.pixelColor(x, image.height() / 2).name().toStdString();
}
inline std::string Face() {
    return QApplication::palette().color(QPalette::Button).name().toStdString();
}

class PageFixture : public ::testing::Test, public PageRig {
  protected:
    void SetUp() override { SetModel(3); } // 16 x 16
    void TearDown() override { page.reset(); }

    void Build() {
        page = std::make_unique<GroupingPage>(Context());
        Show(*page);
    }
    // What the window's page list does after a read-back.
    void Refresh() {
        RefreshScope refreshing(link);
        page->AdaptToModel();
        page->RefreshFromState();
    }
    // Group `group` (1-based) as a read-back brings it, consistent counts.
    void Seed(int group, std::vector<int> outputs, std::vector<int> inputs = {}) {
        const int g = group - 1;
        for (int o : outputs) {
            state.groups.outputGroup(o - 1) = static_cast<std::uint8_t>(g);
        }
        for (int k : inputs) {
            state.groups.inputMember(g, k - 1) = static_cast<std::uint8_t>(g);
        }
        state.groups.setOutputCount(g, static_cast<int>(outputs.size()));
        state.groups.setInputCount(g, static_cast<int>(inputs.size()));
        state.groups.setMemberCount(g, static_cast<int>(outputs.size() + inputs.size()));
    }

    static QString Named(const char* family, int n) {
        return QString::fromLatin1(family) + QString::number(n);
    }
    template <typename W> W* Get(const QString& name) {
        W* w = page->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QPushButton* InputButton(int n) { return Get<QPushButton>(Named("GroupInputButton", n)); }
    QPushButton* OutputButton(int n) { return Get<QPushButton>(Named("GroupOutputButton", n)); }
    QCheckBox* ExistBox(int n) { return Get<QCheckBox>(Named("GroupExistCheckBox", n)); }
    QRadioButton* GroupItem(int n) { // of group n (1-based)
        return Get<QRadioButton>(Named("GroupingRadioGroupItem", n - 1));
    }
    QLabel* OutputFirst() { return Get<QLabel>(QStringLiteral("OutputFirstLabel")); }

    void Click(QWidget* w) {
        ASSERT_NE(w, nullptr);
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void SelectGroup(int n) {
        QTest::mouseClick(GroupItem(n), Qt::LeftButton, {}, QPoint(8, GroupItem(n)->height() / 2));
        ASSERT_EQ(page->SelectedGroup(), n - 1);
    }

    std::unique_ptr<GroupingPage> page;
};

} // namespace qvc::test
