// The configuration file items in the window: refused sizes, an all-zero
// file, a load and save that give back the same bytes, a save from a small
// switcher, nothing sent during a load, and saves that cannot be written.
#include "FormRig.h"
#include "config/ConfigFile.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <sys/stat.h>

namespace qvc::test {
namespace {

const QString kLoaded =
    QStringLiteral("File open successful. Quorvel Command updated with settings from file.");
const QString kSizeError = QStringLiteral("Error! File corrupted. File size invalid.");
const QString kCreateError =
    QStringLiteral("Error! Unable to create Configuration file. Check if disk is write-protected");

class ConfigFileTest : public ::testing::Test {
  protected:
    void Start(int model) {
        auto& sim = rig.StartSim({.model = model, .tcp = true});
        sim_ = &sim;
        rig.CreateForm(&sim);
        rig.ConnectEthernet();
        sim.ClearReceivedLines();
    }
    QString Path(const QString& name) { return dir.filePath(name); }
    static QByteArray Bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void Put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void Load(const QString& path, const QString& message) {
        rig.prompts.ExpectOpenFile(path);
        rig.prompts.ExpectMessage(message);
        rig.Action(QStringLiteral("OpenConfigurationFile1"))->trigger();
        rig.prompts.VerifyAllUsed();
    }
    // `message`: the one the save must show, if any.
    void Save(const QString& path, const QString& message = {}) {
        rig.prompts.ExpectSaveFile(path);
        if (!message.isEmpty()) {
            rig.prompts.ExpectMessage(message);
        }
        rig.Action(QStringLiteral("SaveConfigurationtoFile1"))->trigger();
        rig.prompts.VerifyAllUsed();
    }
    QString Caption(const QString& name) { return rig.Find<QPushButton>(name)->text(); }

    QTemporaryDir dir;
    FormRig rig;
    qvsim::SimThread* sim_ = nullptr;
};

TEST_F(ConfigFileTest, FilesOfAnyOtherSizeAreRefusedAndChangeNothing) {
    Start(3);
    Save(Path("before"));
    for (int size : {0, 831, 833}) {
        Put(Path("bad"), QByteArray(size, '\x07'));
        Load(Path("bad"), kSizeError);
        EXPECT_EQ(Caption(QStringLiteral("InputButton1")), QStringLiteral("1")) << size;
    }
    Save(Path("after"));
    EXPECT_EQ(Bytes(Path("after")), Bytes(Path("before")));
    EXPECT_TRUE(sim_->ReceivedLines().empty());
}

TEST_F(ConfigFileTest, AnAllZeroFileEmptiesTheLabelsAndRoutesEveryOutputToInputOne) {
    Start(3);
    Put(Path("zero"), QByteArray(832, '\0'));
    Load(Path("zero"), kLoaded);

    EXPECT_TRUE(sim_->ReceivedLines().empty()); // no ALVL, OMUTE, GADD or anything else
    EXPECT_EQ(Caption(QStringLiteral("InputButton4")), QString());
    EXPECT_EQ(Caption(QStringLiteral("OutputButton16")), QString());
    const DeviceState& state = rig.Form().State();
    for (int o = 0; o < 16; ++o) {
        EXPECT_EQ(state.outputs.videoInput(o), 0) << o;
        EXPECT_EQ(state.outputs.videoTaken(o), 0) << o;
        EXPECT_EQ(state.levels.level(o), 0) << o;
    }
    EXPECT_EQ(rig.Text(QStringLiteral("VideoLabel1")), QStringLiteral("1"));
    EXPECT_FALSE(rig.Form().Flags().RefreshingFlag);
}

TEST_F(ConfigFileTest, LoadThenSaveGivesBackEveryByte) {
    Start(3);
    // A plausible image with noise wherever the program never writes:
    // reserved bytes and the bytes after each label's terminator.
    QByteArray image(832, '\0');
    QRandomGenerator random(7);
    for (int i = 0; i < 832; ++i) {
        image[i] = static_cast<char>(random.bounded(256));
    }
    for (int o = 0; o < 16; ++o) {
        for (int f = 0; f < 5; ++f) {
            image[1 + 5 * o + f] = static_cast<char>(f < 2 ? o : 1);
        }
    }
    for (int t = 0; t < 4; ++t) {
        for (int n = 1; n <= 16; ++n) {
            const int slot = 424 + 102 * t + 6 * n;
            image[slot] = static_cast<char>('A' + t);
            image[slot + 1] = static_cast<char>(n % 6 == 0 ? 'x' : '\0');
        }
    }
    Put(Path("in"), image);
    Load(Path("in"), kLoaded);
    Save(Path("out"));
    EXPECT_EQ(Bytes(Path("out")), image);
    EXPECT_TRUE(sim_->ReceivedLines().empty());
}

TEST_F(ConfigFileTest, ASmallSwitcherSavesOnlyItsInputsAndOutputsFromTheWindow) {
    Start(0); // 12 x 4
    QByteArray image(832, '\0');
    for (int t = 0; t < 2; ++t) {
        for (int n = 1; n <= 16; ++n) {
            QByteArray label = (t == 0 ? "In" : "Out") + QByteArray::number(n);
            image.replace(424 + 102 * t + 6 * n, label.size(), label.left(6));
        }
    }
    Put(Path("labels"), image);
    Load(Path("labels"), kLoaded);
    rig.ClickTab(QStringLiteral("Labeling"));
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("ResetInputLabelsButton")),
                      Qt::LeftButton);
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("ResetOutputLabelsButton")),
                      Qt::LeftButton);
    Save(Path("saved"));

    ConfigImage saved;
    ASSERT_EQ(ReadConfigFile(QFile::encodeName(Path("saved")).toStdString(), saved),
              ConfigReadResult::Ok);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(ReadLabel(saved, LabelKind::Input, n),
                  n <= 12 ? std::to_string(n) : "In" + std::to_string(n))
            << n;
        EXPECT_EQ(ReadLabel(saved, LabelKind::Output, n),
                  n <= 4 ? std::to_string(n) : "Out" + std::to_string(n))
            << n;
    }
}

TEST_F(ConfigFileTest, ASaveThatCannotBeWrittenSaysSoAndLeavesWhatWasThere) {
    Start(3);
    // A new file in a folder that cannot be written.
    const QString locked = Path("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    Save(locked + QStringLiteral("/new"), kCreateError);
    EXPECT_FALSE(QFile::exists(locked + QStringLiteral("/new")));

    // An existing file that cannot be written.
    const QString readOnly = Path("read-only");
    Put(readOnly, QByteArray("keep me"));
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    Save(readOnly, kCreateError);
    EXPECT_EQ(Bytes(readOnly), QByteArray("keep me"));
    ::chmod(QFile::encodeName(locked).constData(), 0755);
}

} // namespace
} // namespace qvc::test
