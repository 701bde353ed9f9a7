// Command-line parsing of the simulator.
#include "Simulator.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

qvsim::ParseOutcome Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"quorvel-sim"};
    argv.insert(argv.end(), args.begin(), args.end());
    return qvsim::ParseOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, EveryOptionIsTakenIntoTheOptions) {
    const auto r = Parse({"--model",
                          "1",
                          "--no-audio",
                          "--firmware",
                          "X9.1",
                          "--ip",
                          "10.20.30.40",
                          "--tcp",
                          "0.0.0.0:2323",
                          "--pty",
                          "/tmp/qv",
                          "--demo",
                          "--log",
                          "/tmp/qv.log",
                          "--baud",
                          "57600",
                          "--silent",
                          "--no-prompt",
                          "--reply-delay",
                          "250",
                          "--chunk",
                          "7",
                          "--chunk-pause",
                          "9",
                          "--text-before-soh",
                          "100000",
                          "--no-soh",
                          "PGINFOQV",
                          "--no-soh-after",
                          "4",
                          "--close-after",
                          "12",
                          "--second-probe-only"});
    ASSERT_EQ(r.kind, qvsim::ParseOutcome::Kind::Run) << r.message;
    EXPECT_EQ(r.ExitCode(), 0);
    const qvsim::SimOptions& o = r.options;
    EXPECT_EQ(o.model, 1);
    EXPECT_FALSE(o.audio);
    EXPECT_EQ(o.firmware, "X9.1");
    EXPECT_EQ(o.ip, (std::array<std::uint8_t, 4>{10, 20, 30, 40}));
    EXPECT_TRUE(o.tcp);
    EXPECT_EQ(o.tcpAddress, "0.0.0.0");
    EXPECT_EQ(o.tcpPort, 2323);
    EXPECT_EQ(o.ptyPath, "/tmp/qv");
    EXPECT_TRUE(o.demo);
    EXPECT_EQ(o.logFile, "/tmp/qv.log");
    EXPECT_EQ(o.faults.baud, 57600);
    EXPECT_TRUE(o.faults.silent);
    EXPECT_TRUE(o.faults.noPrompt);
    EXPECT_EQ(o.faults.replyDelayMs, 250);
    EXPECT_EQ(o.faults.chunkSize, 7);
    EXPECT_EQ(o.faults.chunkPauseMs, 9);
    EXPECT_EQ(o.faults.textBeforeSoh, 100000);
    EXPECT_EQ(o.faults.noSohQuery, "PGINFOQV");
    EXPECT_EQ(o.faults.noSohFrom, 4);
    EXPECT_EQ(o.faults.closeAfter, 12);
    EXPECT_TRUE(o.faults.secondProbeOnly);
}

TEST(Options, DefaultsAndShortForms) {
    const auto r = Parse({"--tcp=0"});
    ASSERT_EQ(r.kind, qvsim::ParseOutcome::Kind::Run) << r.message;
    EXPECT_EQ(r.options.model, 3);
    EXPECT_TRUE(r.options.audio);
    EXPECT_FALSE(r.options.firmware.has_value());
    EXPECT_EQ(r.options.ip, (std::array<std::uint8_t, 4>{192, 168, 1, 50}));
    EXPECT_EQ(r.options.tcpAddress, "127.0.0.1");
    EXPECT_EQ(r.options.tcpPort, 0);
    EXPECT_EQ(r.options.faults.chunkPauseMs, 2);
    EXPECT_EQ(r.options.faults.closeAfter, -1);

    const auto help = Parse({"-h"});
    EXPECT_EQ(help.kind, qvsim::ParseOutcome::Kind::Help);
    EXPECT_EQ(help.ExitCode(), 0);
    EXPECT_NE(help.message.find("--second-probe-only"), std::string::npos);
}

struct BadCase {
    std::vector<const char*> args;
    const char* messagePart;
};

TEST(Options, BadCommandLinesAreErrorsWithExitCodeTwo) {
    const std::vector<BadCase> cases = {
        {{"--tcp", "0", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--tcp"}, "needs a value"},
        {{"--tcp", "0", "--model"}, "needs a value"},
        {{"--tcp", "0", "--model", "x"}, "is not a number"},
        {{"--tcp", "0", "--model", "4"}, "out of range 0..3"},
        {{"--tcp", "0", "--model", "-1"}, "out of range"},
        {{"--tcp", "70000"}, "not a port"},
        {{"--tcp", "localhost:23"}, "not an IP address"},
        {{"--tcp", "0", "--ip", "1.2.3.256"}, "not an address"},
        {{"--tcp", "0", "--ip", "1.2.3"}, "not an address"},
        {{"--tcp", "0", "--firmware", "1234567"}, "longer than 6"},
        {{"--tcp", "0", "--baud", "0"}, "out of range"},
        {{"--tcp", "0", "--reply-delay", "5ms"}, "is not a number"},
        {{"--tcp", "0", "--chunk", "0"}, "out of range"},
        {{"--tcp", "0", "--no-soh", "TAKE"}, "not a status query"},
        {{"--tcp", "0", "--no-soh-after", "2"}, "needs --no-soh"},
        {{"--tcp", "0", "--close-after", "-2"}, "out of range"},
        {{"--demo", "--tcp=0", "--silent=1"}, "takes no value"},
        {{"--demo"}, "no transport"},
        {{}, "no transport"},
    };
    for (const BadCase& bad : cases) {
        std::vector<const char*> argv{"quorvel-sim"};
        argv.insert(argv.end(), bad.args.begin(), bad.args.end());
        const auto r = qvsim::ParseOptions(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(r.kind, qvsim::ParseOutcome::Kind::Error) << bad.messagePart;
        EXPECT_EQ(r.ExitCode(), 2);
        EXPECT_NE(r.message.find(bad.messagePart), std::string::npos)
            << "message was: " << r.message;
    }
}

} // namespace
