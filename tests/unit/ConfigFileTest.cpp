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
    // Names in a folder, to see that no temporary file is left behind.
    std::vector<std::string> Names() const { return NamesIn(dir); }
    static std::vector<std::string> NamesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
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

ino_t Inode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_ino;
}

// A save onto an existing file, by the file's and its folder's permission
// bits, directly or through a symbolic link beside it. A file without any
// write bit is refused even for root; in a folder without any, a writable file
// is rewritten in place (it keeps its inode) instead of replaced.
TEST_F(ConfigFileTest, SaveOntoAnExistingFile) {
    struct Case {
        const char* what;
        mode_t fileMode;
        mode_t folderMode;
        bool throughLink;
        bool saved;
        bool inPlace;
    };
    const Case cases[] = {
        {"0640 replaced, 0640 kept", 0640, 0755, false, true, false},
        {"0604 replaced, 0604 kept", 0604, 0700, false, true, false},
        {"read-only refused", 0444, 0755, false, false, false},
        {"read-only folder, written in place", 0640, 0555, false, true, true},
        {"read-only file and folder refused", 0444, 0555, false, false, false},
        {"link: target replaced, link kept", 0640, 0755, true, true, false},
        {"link to a read-only file refused", 0440, 0755, true, false, false},
        {"link in a read-only folder, target in place", 0600, 0555, true, true, true},
    };
    const Bytes old = ForeignImage();
    const ConfigImage image = Filled(0x33);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir / std::to_string(n++);
        const fs::path real = folder / "cfg";
        const fs::path link = folder / "link";
        ASSERT_TRUE(fs::create_directory(folder));
        WriteRaw(real, old);
        ASSERT_EQ(::chmod(real.c_str(), c.fileMode), 0);
        if (c.throughLink) {
            fs::create_symlink("cfg", link);
        }
        const ino_t before = Inode(real);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const bool saved = WriteConfigFile(c.throughLink ? link : real, image);
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);

        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(ReadRaw(real), c.saved ? AsBytes(image) : old);
        EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
                  static_cast<fs::perms>(c.fileMode));
        EXPECT_EQ(Inode(real) == before, !c.saved || c.inPlace);
        if (c.throughLink) {
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
            EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"cfg", "link"}));
        } else {
            EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"cfg"});
        }
    }
}

TEST_F(ConfigFileTest, SaveThroughALinkToAMissingFileMakesTheFileAndKeepsTheLink) {
    fs::create_symlink("new.cfg", dir / "link");
    ASSERT_TRUE(WriteConfigFile(dir / "link", Filled(0x11)));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "link")));
    EXPECT_EQ(ReadRaw(dir / "new.cfg"), Bytes(832, 0x11));
    // A loop of links leads nowhere.
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    EXPECT_FALSE(WriteConfigFile(dir / "a", Filled(0x11)));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "link", "new.cfg"}));
}

TEST_F(ConfigFileTest, SaveOntoADirectoryOrIntoAMissingOrReadOnlyFolderFails) {
    fs::create_directory(dir / "sub");
    WriteRaw(dir / "sub" / "keep", Bytes{1, 2, 3});
    EXPECT_FALSE(WriteConfigFile(dir / "sub", Filled(0x22)));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_EQ(ReadRaw(dir / "sub" / "keep"), (Bytes{1, 2, 3}));
    EXPECT_FALSE(WriteConfigFile(dir / "nowhere" / "cfg", Filled(0x22)));
    EXPECT_FALSE(WriteConfigFile(dir / "sub" / "", Filled(0x22)));
    // A new file needs a folder with a write bit, for root too.
    ASSERT_EQ(::chmod((dir / "sub").c_str(), 0555), 0);
    EXPECT_FALSE(WriteConfigFile(dir / "sub" / "new.cfg", Filled(0x22)));
    ASSERT_EQ(::chmod((dir / "sub").c_str(), 0755), 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"sub"});
    EXPECT_EQ(NamesIn(dir / "sub"), std::vector<std::string>{"keep"});
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
