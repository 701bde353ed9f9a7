// quorvel-control's command line and the port map it gives the window.
#include "app/CommandLine.h"

#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/GuardedApplication.h"
#include "ui/MatrixForm.h"
#include "ui/common/Version.h"

#include <QAction>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

[[maybe_unused]] ::testing::Environment* const kAppEnvironment =
    qvc::test::AddApplicationEnvironment<qvc::GuardedApplication>("app_tests");

using Kind = qvc::CommandLine::Kind;

qvc::CommandLine Parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("quorvel-control"));
    return qvc::ParseCommandLine(arguments);
}

struct ParseCase {
    QStringList arguments;
    Kind kind;
    QString textPart; // in the help, the version or the message
};

TEST(CommandLine, KindExitCodeAndText) {
    const QString version = QStringLiteral("quorvel-control %1\n").arg(qvc::kGuiVersion);
    const std::vector<ParseCase> cases = {
        {{"--help"}, Kind::Help, "--com4 <device>"},
        {{"-h"}, Kind::Help, "--version"},
        {{"--version"}, Kind::Version, version},
        {{"-v", "--com1", "/dev/ttyS0"}, Kind::Version, version},
        {{"--com1", "/dev/ttyS0", "--com3=/dev/ttyUSB1"}, Kind::Run, ""},
        {{"--frobnicate"}, Kind::Error, "Unknown option 'frobnicate'."},
        {{"--help", "--frobnicate"}, Kind::Error, "Unknown option 'frobnicate'."},
        {{"--com5", "/dev/ttyS0"}, Kind::Error, "Unknown option 'com5'."},
        {{"--com2"}, Kind::Error, "Missing value after '--com2'."},
        {{"--com2="}, Kind::Error, "Empty device after '--com2'."},
        {{"/dev/ttyS0"}, Kind::Error, "Unexpected argument '/dev/ttyS0'."},
    };
    for (const ParseCase& c : cases) {
        const qvc::CommandLine r = Parse(c.arguments);
        const std::string given = c.arguments.join(' ').toStdString();
        EXPECT_EQ(r.kind, c.kind) << given;
        EXPECT_EQ(r.ExitCode(), c.kind == Kind::Error ? 2 : 0) << given;
        EXPECT_TRUE(r.text.contains(c.textPart)) << given << ": " << r.text.toStdString();
    }
}

// QVCONTROL_COM1..4 unset for each test, and as they were afterwards.
class PortMap : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 4; ++n) {
            if (qEnvironmentVariableIsSet(Name(n))) {
                saved_[n - 1] = qgetenv(Name(n));
            }
            qunsetenv(Name(n));
        }
    }
    void TearDown() override {
        for (int n = 1; n <= 4; ++n) {
            if (saved_[n - 1]) {
                qputenv(Name(n), *saved_[n - 1]);
            } else {
                qunsetenv(Name(n));
            }
        }
    }
    static const char* Name(int n) {
        static const char* const kNames[] = {"QVCONTROL_COM1", "QVCONTROL_COM2", "QVCONTROL_COM3",
                                             "QVCONTROL_COM4"};
        return kNames[n - 1];
    }
    static std::array<std::string, 4> Devices(const qvc::SerialPortMap& map) {
        return {map.DevicePath(1).toStdString(), map.DevicePath(2).toStdString(),
                map.DevicePath(3).toStdString(), map.DevicePath(4).toStdString()};
    }

  private:
    std::array<std::optional<QByteArray>, 4> saved_;
};

struct PortCase {
    QStringList arguments;
    std::array<const char*, 4> variables; // nullptr: unset
    std::array<std::string, 4> devices;   // "": no device
};

TEST_F(PortMap, OptionsWinOverVariablesAndNameAllFourNumbers) {
    const std::vector<PortCase> cases = {
        {{"--com2", "/some/device"},
         {nullptr, "/dev/from-variable", nullptr, nullptr},
         {"", "/some/device", "", ""}},
        {{"--com2", "/some/device"},
         {"/dev/ttyUSB0", nullptr, nullptr, "/dev/ttyS3"},
         {"/dev/ttyUSB0", "/some/device", "", "/dev/ttyS3"}},
        {{"--com1=/dev/a", "--com4", "/dev/d"}, {}, {"/dev/a", "", "", "/dev/d"}},
        {{"--com3", "/dev/first", "--com3", "/dev/last"}, {}, {"", "", "/dev/last", ""}},
        {{}, {nullptr, nullptr, "/dev/ttyS2", nullptr}, {"", "", "/dev/ttyS2", ""}},
    };
    for (const PortCase& c : cases) {
        for (int n = 1; n <= 4; ++n) {
            if (const char* value = c.variables[n - 1]) {
                qputenv(Name(n), value);
            } else {
                qunsetenv(Name(n));
            }
        }
        EXPECT_EQ(Devices(qvc::PortMapFor(Parse(c.arguments))), c.devices)
            << c.arguments.join(' ').toStdString();
    }
}

// What main() builds: the window's COM2 item names the device of --com2, not
// the one of QVCONTROL_COM2.
TEST_F(PortMap, TheComItemOfTheWindowShowsTheOptionsDevice) {
    qputenv(Name(2), "/dev/from-variable");
    qvc::test::ScriptedPrompts prompts;
    qvc::TMatrixForm form(prompts, qvc::PortMapFor(Parse({"--com2", "/some/device"})));
    const auto* com2 = form.findChild<QAction*>(QStringLiteral("COM21"));
    ASSERT_NE(com2, nullptr);
    EXPECT_EQ(com2->toolTip().toStdString(), "/some/device");
}

} // namespace
