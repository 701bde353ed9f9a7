// Reading and writing configuration files on a real file system: sizes,
// byte-exact round trips, and saves that fail part-way.
#include "config/ConfigFile.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvc {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kOld = 0xEE;

void WriteRaw(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ConfigImage Filled(std::uint8_t value) {
    ConfigImage image;
    image.bytes.fill(value);
    return image;
}

Bytes AsBytes(const ConfigImage& image) {
    return Bytes(image.bytes.begin(), image.bytes.end());
}

// An image as another run may have saved it: arbitrary reserved bytes, junk
// after label terminators, six-character labels without terminator.
Bytes ForeignImage() {
    Bytes bytes(832);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 37 + 11) % 256);
    }
    const auto put = [&](std::size_t at, Bytes piece) {
        std::copy(piece.begin(), piece.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(430, {'C', 'a', 'm', 0, 'Q', 'Z'});      // input 1: junk after the terminator
    put(436, {0, 0x01, 0x02, 0x03, 0x04, 0x05}); // input 2: empty label, junk
    put(532, {'S', 'C', 'R', 'E', 'E', 'N'});    // output 1: six characters
    put(634, {'G', 0, 0, 0x7F, 0, 0x80});        // group 1
    put(826, {'L', 'A', 'S', 'T', '1', '6'});    // preset 16 up to byte 831
    return bytes;
}

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qvc-config-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    // Names in the folder, to see that no temporary file is left behind.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

TEST_F(ConfigFileTest, WrongSizesAreRefusedAndTheImageIsUntouched) {
    for (std::size_t size : {831u, 833u, 0u}) {
        SCOPED_TRACE(size);
        WriteRaw(dir / "cfg", Bytes(size, 0x00));
        ConfigImage image = Filled(kOld);
        EXPECT_EQ(ReadConfigFile(dir / "cfg", image), ConfigReadResult::BadSize);
        EXPECT_EQ(AsBytes(image), Bytes(832, kOld));
    }
    EXPECT_STREQ(ConfigReadErrorText(ConfigReadResult::BadSize),
                 "Error! File corrupted. File size invalid.");
}

TEST_F(ConfigFileTest, WhatCannotBeOpenedIsRefusedAndTheImageIsUntouched) {
    ConfigImage image = Filled(kOld);
    EXPECT_EQ(ReadConfigFile(dir / "missing", image), ConfigReadResult::CannotOpen);
    EXPECT_EQ(ReadConfigFile(dir, image), ConfigReadResult::CannotOpen);
    // A FIFO must be refused at once, not wait for a writer.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadConfigFile(dir / "fifo", image), ConfigReadResult::CannotOpen);
    EXPECT_EQ(AsBytes(image), Bytes(832, kOld));
    EXPECT_STREQ(ConfigReadErrorText(ConfigReadResult::CannotOpen),
                 "Error! Unable to open Configuration file. Check if file exist?");
    EXPECT_EQ(ConfigReadErrorText(ConfigReadResult::Ok), nullptr);
}

TEST_F(ConfigFileTest, AllZeroFileIsAccepted) {
    WriteRaw(dir / "zero.cfg", Bytes(832, 0x00));
    ConfigImage image = Filled(kOld);
    EXPECT_EQ(ReadConfigFile(dir / "zero.cfg", image), ConfigReadResult::Ok);
    EXPECT_EQ(AsBytes(image), Bytes(832, 0x00));
}

TEST_F(ConfigFileTest, LoadThenSaveGivesAnIdenticalFile) {
    const Bytes original = ForeignImage();
    WriteRaw(dir / "in.cfg", original);
    ConfigImage image;
    ASSERT_EQ(ReadConfigFile(dir / "in.cfg", image), ConfigReadResult::Ok);
    ASSERT_EQ(AsBytes(image), original);

    // Apply to the window's state and labels, then save as the window does.
    DeviceState state;
    state.model.ApplyModelCode(0);
    UnpackTables(image, state);
    const LabelTables labels = UnpackLabels(image);
    EXPECT_EQ(labels.inputs[0], "Cam");
    EXPECT_EQ(labels.inputs[1], "");
    EXPECT_EQ(labels.outputs[0], "SCREEN");
    EXPECT_EQ(labels.groups[0], "G");
    EXPECT_EQ(labels.presets[15], "LAST16");
    PackLabels(image, labels, state.model.InputCount, state.model.OutputCount);
    PackTables(image, state);
    ASSERT_TRUE(WriteConfigFile(dir / "out.cfg", image));
    EXPECT_EQ(ReadRaw(dir / "out.cfg"), original);
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.cfg", "out.cfg"}));
}

TEST_F(ConfigFileTest, SaveReplacesAnExistingFileAndKeepsItsPermissions) {
    WriteRaw(dir / "cfg", Bytes(100, 0x41));
    ASSERT_EQ(::chmod((dir / "cfg").c_str(), 0640), 0);
    const ConfigImage image = Filled(0x5A);
    ASSERT_TRUE(WriteConfigFile(dir / "cfg", image));
    EXPECT_EQ(ReadRaw(dir / "cfg"), Bytes(832, 0x5A));
    EXPECT_EQ(fs::status(dir / "cfg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(), std::vector<std::string>{"cfg"});
}

TEST_F(ConfigFileTest, SaveThroughASymbolicLinkUpdatesItsTarget) {
    WriteRaw(dir / "real.cfg", Bytes(832, 0x00));
    fs::create_symlink("real.cfg", dir / "link.cfg");
    ASSERT_TRUE(WriteConfigFile(dir / "link.cfg", Filled(0x11)));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "link.cfg")));
    EXPECT_EQ(ReadRaw(dir / "real.cfg"), Bytes(832, 0x11));
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.cfg", "real.cfg"}));
}

TEST_F(ConfigFileTest, SaveOntoADirectoryOrIntoAMissingFolderFails) {
    fs::create_directory(dir / "sub");
    WriteRaw(dir / "sub" / "keep", Bytes{1, 2, 3});
    EXPECT_FALSE(WriteConfigFile(dir / "sub", Filled(0x22)));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_EQ(ReadRaw(dir / "sub" / "keep"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(WriteConfigFile(dir / "nowhere" / "cfg", Filled(0x22)));
    EXPECT_FALSE(WriteConfigFile(dir / "sub" / "", Filled(0x22)));
    EXPECT_EQ(Names(), std::vector<std::string>{"sub"});
    EXPECT_EQ(fs::directory_iterator(dir / "sub")->path().filename(), "keep");
}

TEST_F(ConfigFileTest, SaveIntoAReadOnlyFolderFailsAndKeepsTheOldFile) {
    const Bytes old = ForeignImage();
    WriteRaw(dir / "cfg", old);
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    if (::access(dir.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write into read-only folders";
    }
    EXPECT_FALSE(WriteConfigFile(dir / "cfg", Filled(0x33)));
    EXPECT_FALSE(WriteConfigFile(dir / "new.cfg", Filled(0x33)));
    EXPECT_EQ(ReadRaw(dir / "cfg"), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"cfg"});
}

TEST_F(ConfigFileTest, SaveThatFailsPartWayKeepsTheOldFileAndLeavesNoTemporary) {
    // The disk fills after 100 bytes: the write of 832 comes up short.
    const Bytes old = ForeignImage();
    WriteRaw(dir / "cfg", old);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool replaced = WriteConfigFile(dir / "cfg", Filled(0x44));
    const bool created = WriteConfigFile(dir / "new.cfg", Filled(0x44));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(replaced);
    EXPECT_FALSE(created);
    EXPECT_EQ(ReadRaw(dir / "cfg"), old);
    EXPECT_EQ(Names(), std::vector<std::string>{"cfg"});
    EXPECT_STREQ(kConfigCreateErrorText,
                 "Error! Unable to create Configuration file. Check if disk is write-protected");
}

} // namespace
} // namespace qvc
