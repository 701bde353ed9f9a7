// The wire log window (View > "Wire Log") after read-backs from the menu:
// its rows, Pause, Clear, Copy and Save, the 10,000-entry limit, and that
// the link records nothing while the window is closed.
#include "FormRig.h"
#include "ui/wirelog/WireLogWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace qvc::test {
namespace {

QString Cell(const WireLogModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

void Click(WireLogWindow& window, const char* name) {
    auto* button = window.findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

class WireLogWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim = &rig.StartSim({.tcp = true});
        rig.CreateForm(sim);
        rig.ConnectEthernet();
        ASSERT_TRUE(rig.Form().Flags().EthernetConnected);
        rig.prompts.Clear();
        EXPECT_FALSE(rig.Form().Link().WireLogging());
        EXPECT_EQ(rig.Form().WireLog(), nullptr);
        rig.Action(QStringLiteral("WireLog1"))->trigger();
        window = rig.Form().WireLog();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    void Read() { rig.Action(QStringLiteral("ReadfromQuorvels1"))->trigger(); }
    int Rows() { return window->Model().rowCount(); }
    // The table takes in new exchanges in batches, shortly after they came.
    bool RowsBecome(int n) {
        return WaitFor([&] { return Rows() == n; }, 5000);
    }

    FormRig rig;
    qvsim::SimThread* sim = nullptr;
    WireLogWindow* window = nullptr;
};

TEST_F(WireLogWindowTest, ReadBackFromTheMenuListsItsQueries) {
    EXPECT_TRUE(rig.Form().Link().WireLogging());
    EXPECT_EQ(window->windowTitle(), "Wire Log");
    EXPECT_FALSE(window->isModal());
    Read();
    const WireLogModel& model = window->Model();
    ASSERT_TRUE(RowsBecome(22));
    const Lines queries = ReadBackLines();
    for (int row = 0; row < 22; ++row) {
        EXPECT_EQ(Cell(model, row, WireLogModel::LinkColumn), "Ethernet 127.0.0.1");
        EXPECT_EQ(Cell(model, row, WireLogModel::LineColumn),
                  QString::fromStdString(queries[static_cast<std::size_t>(row)]) + "\\r");
        EXPECT_EQ(Cell(model, row, WireLogModel::KindColumn), "query");
    }
    // A 16 x 16 switcher: the status block of 20 bytes and the preset table
    // of 16 x 98, each framed by SOH, tag and CR LF '#'.
    EXPECT_EQ(Cell(model, 0, WireLogModel::OutcomeColumn), "reply of 25 bytes");
    EXPECT_EQ(Cell(model, 4, WireLogModel::OutcomeColumn), "reply of 1573 bytes");
    EXPECT_EQ(model.headerData(WireLogModel::LineColumn, Qt::Horizontal).toString(), "Line sent");

    // A command from a page is logged with the prompt it got.
    rig.ClickTab(QStringLiteral("Setup"));
    QTest::mouseClick(rig.Find<QWidget>(QStringLiteral("FrontPanelLockCheckBox")),
                      Qt::LeftButton, {}, QPoint(8, 8));
    ASSERT_TRUE(RowsBecome(23));
    EXPECT_EQ(Cell(model, 22, WireLogModel::LineColumn), "FPLOCK 1\\r");
    EXPECT_EQ(Cell(model, 22, WireLogModel::KindColumn), "command");
    EXPECT_EQ(Cell(model, 22, WireLogModel::OutcomeColumn), "prompt");
}

TEST_F(WireLogWindowTest, PauseStopsTheLogClearEmptiesItAndClosingStopsTheLink) {
    Read();
    ASSERT_TRUE(RowsBecome(22));
    Click(*window, "WireLogPauseButton");
    auto* pause = window->findChild<QPushButton*>(QStringLiteral("WireLogPauseButton"));
    EXPECT_EQ(pause->text(), "Resume");
    EXPECT_EQ(pause->accessibleName(), "Resume");
    EXPECT_FALSE(rig.Form().Link().WireLogging());
    Read();
    EXPECT_EQ(Rows(), 22);

    Click(*window, "WireLogPauseButton");
    EXPECT_EQ(pause->text(), "Pause");
    Read();
    EXPECT_TRUE(RowsBecome(44));

    Click(*window, "WireLogClearButton");
    EXPECT_EQ(Rows(), 0);

    window->close();
    EXPECT_FALSE(rig.Form().Link().WireLogging());
    Read();
    EXPECT_EQ(Rows(), 0);
    // Opened again: the same window, logging again.
    rig.Action(QStringLiteral("WireLog1"))->trigger();
    EXPECT_EQ(rig.Form().WireLog(), window);
    EXPECT_TRUE(rig.Form().Link().WireLogging());
}

TEST_F(WireLogWindowTest, SaveWritesWhatCopyCopies) {
    Read();
    Click(*window, "WireLogCopyButton");
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.count(QLatin1Char('\n')), 22);
    EXPECT_TRUE(copied.startsWith(Cell(window->Model(), 0, WireLogModel::TimeColumn) +
                                  "\tEthernet 127.0.0.1\tMINFOQV\\r\tquery\treply of 25 bytes\t"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wire.log"));
    rig.prompts.ExpectSaveFile(path);
    Click(*window, "WireLogSaveButton");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), copied.toUtf8());
    EXPECT_EQ(rig.prompts.Titles(PromptRecord::Kind::SaveFile), QStringList{"Save Wire Log"});

    // Cancelled: nothing is written.
    rig.prompts.ExpectSaveFile(QString());
    Click(*window, "WireLogSaveButton");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"wire.log"});
}

TEST(WireLogModelTest, KeepsTheLast10000ExchangesAndDropsTheOldest) {
    WireLogModel model;
    const auto entry = [](qint64 n) {
        return WireExchange{n, QStringLiteral("RS-232 COM1"), "MINFOQV\r", WireKind::Query,
                            WireOutcome::Reply, 25, 1};
    };
    for (qint64 n = 0; n < 10000; ++n) {
        model.Append(entry(n));
    }
    EXPECT_EQ(model.rowCount(), 10000);
    EXPECT_EQ(Cell(model, 0, WireLogModel::TimeColumn), "0");
    for (qint64 n = 10000; n < 10005; ++n) {
        model.Append(entry(n));
    }
    EXPECT_EQ(model.rowCount(), 10000);
    EXPECT_EQ(Cell(model, 0, WireLogModel::TimeColumn), "5");
    EXPECT_EQ(Cell(model, 9999, WireLogModel::TimeColumn), "10004");
    const QStringList lines = model.Text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 10000);
    EXPECT_EQ(lines.first(), "5\tRS-232 COM1\tMINFOQV\\r\tquery\treply of 25 bytes\t1 ms");
    EXPECT_TRUE(lines.last().startsWith("10004\t"));
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace qvc::test
