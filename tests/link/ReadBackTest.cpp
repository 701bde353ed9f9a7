// The read-back of the switcher's whole state, over both links and for all
// four models, and its failures step by step.
#include "link/ReadBack.h"

#include "LinkFixture.h"
#include "model/DeviceState.h"

#include <gtest/gtest.h>

namespace qvc::test {
namespace {

constexpr std::uint8_t kUntouched = 0x5A;
const QString kFailureTitle = "Norvak Dellby - QV Control :Error reading from Quorvel(s)";
const Lines kAllQueries = ReadBackLines();

const std::vector<QString> kFullProgress = {"show:QV Control querying Quorvel. Please wait....",
                                            "progress:",
                                            "progress:.",
                                            "progress:..",
                                            "progress:...",
                                            "progress:....",
                                            "progress:.....",
                                            "progress:......",
                                            "progress:.......",
                                            "progress:........",
                                            "progress:.........",
                                            "progress:..........",
                                            "hide"};

// Every table filled with a marker, so that what a read-back leaves alone shows.
DeviceState MarkedState() {
    DeviceState s;
    s.status.bytes.fill(kUntouched);
    s.outputs.bytes.fill(kUntouched);
    s.prevOutputs.bytes.fill(kUntouched);
    s.levels.bytes.fill(kUntouched);
    s.groups.bytes.fill(kUntouched);
    s.presets.bytes.fill(kUntouched);
    for (GroupTable& image : s.presetGroups.images) {
        image.bytes.fill(kUntouched);
    }
    return s;
}

struct ModelSizes {
    int inputs;
    int outputs;
    int slotCount;
};
// Inputs x outputs and the output entries of the replies, model by model.
const ModelSizes kSizes[4] = {{12, 4, 8}, {12, 8, 8}, {16, 8, 16}, {16, 16, 16}};

void ExpectGroupTable(const GroupTable& got, const qvsim::GroupTable& sim, bool large,
                      const std::string& where) {
    const int groups = large ? 16 : 8;
    const int inputs = large ? 16 : 12;
    SCOPED_TRACE(where);
    for (int g = 0; g < 16; ++g) {
        const bool carried = g < groups;
        EXPECT_EQ(got.bytes[GroupTable::kMemberCount + g],
                  carried ? static_cast<std::uint8_t>(sim.memberCount[g]) : kUntouched);
        EXPECT_EQ(got.bytes[GroupTable::kOutputCount + g],
                  carried ? static_cast<std::uint8_t>(sim.outputCount[g]) : kUntouched);
        EXPECT_EQ(got.bytes[GroupTable::kInputCount + g],
                  carried ? static_cast<std::uint8_t>(sim.inputCount[g]) : kUntouched);
        EXPECT_EQ(got.outputGroup(g), carried ? sim.outputGroup[g] : kUntouched) << "output " << g;
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(got.inputMember(g, k),
                      carried && k < inputs ? sim.inputMember[g][k] : kUntouched)
                << "group " << g << " input " << k;
        }
    }
    EXPECT_EQ(got.bytes[GroupTable::kTrailer], sim.trailer[0]);
    EXPECT_EQ(got.bytes[GroupTable::kTrailer + 1], sim.trailer[1]);
}

void ExpectEntry(const std::uint8_t* got, const qvsim::OutputEntry& e) {
    EXPECT_EQ(got[0], e.videoInput);
    EXPECT_EQ(got[1], e.audioInput);
    EXPECT_EQ(got[2], e.videoTaken);
    EXPECT_EQ(got[3], e.audioTaken);
    EXPECT_EQ(got[4], e.muted);
}

// The whole of DeviceState against the simulator's own state: the entries a
// model reports are copied, everything beyond them is left alone.
void ExpectStateOf(const DeviceState& got, const qvsim::SimState& sim, int model) {
    const ModelSizes size = kSizes[model];
    const bool large = size.slotCount == 16;

    EXPECT_EQ(got.status.ModelCode(), model);
    EXPECT_EQ(got.status.FirmwareVersion(), "2.17D");
    EXPECT_EQ(got.status.IPAddressText(), "192.168.1.50");
    EXPECT_EQ(got.status.RGBDelay(), 1500);
    EXPECT_EQ(got.status.VideoSwitchSource(), 2);
    EXPECT_EQ(got.status.AudioPresent(), 1);
    EXPECT_EQ(got.model.InputCount, size.inputs);
    EXPECT_EQ(got.model.OutputCount, size.outputs);
    EXPECT_EQ(got.model.OutputSlots, size.slotCount);

    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(got.levels.level(i), i < size.inputs ? sim.levels[i] : kUntouched) << i;
    }
    for (int o = 0; o < 16; ++o) {
        SCOPED_TRACE("output slot " + std::to_string(o));
        if (o < size.slotCount) {
            ExpectEntry(&got.outputs.bytes[5 * o], sim.outputs[o]);
            EXPECT_EQ(got.prevOutputs.videoInput(o), sim.committed[o].videoInput);
            EXPECT_EQ(got.prevOutputs.audioInput(o), sim.committed[o].audioInput);
        } else {
            for (int k = 0; k < 5; ++k) {
                EXPECT_EQ(got.outputs.bytes[5 * o + k], kUntouched);
            }
            EXPECT_EQ(got.prevOutputs.videoInput(o), kUntouched);
            EXPECT_EQ(got.prevOutputs.audioInput(o), kUntouched);
        }
    }
    for (int p = 0; p < 16; ++p) {
        SCOPED_TRACE("preset " + std::to_string(p));
        const qvsim::PresetRecord& rec = sim.presets[p];
        EXPECT_EQ(got.presets.stored(p), rec.stored);
        EXPECT_EQ(got.presets.lastStored(p), rec.lastStored);
        const auto image = got.presets.routeImage(p);
        for (int o = 0; o < 16; ++o) {
            if (o < size.slotCount) {
                ExpectEntry(&image[5 * o], rec.routes[o]);
            } else {
                EXPECT_EQ(image[5 * o], kUntouched);
            }
        }
        const std::size_t inputBytes = PresetTable::kRecord * p + PresetTable::kInputBytes;
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(got.presets.bytes[inputBytes + i],
                      i < (large ? 16 : 12) ? rec.inputBytes[i] : kUntouched);
        }
        ExpectGroupTable(got.presetGroups.images[p], rec.groups, large,
                         "preset group " + std::to_string(p));
    }
    ExpectGroupTable(got.groups, sim.groups, large, "groups");
}

// --- the whole read-back, per model and link ----------------------------------------

struct ReadBackCase {
    int model;
    bool tcp;
};

class ReadBackModels : public LinkFixture, public ::testing::WithParamInterface<ReadBackCase> {
  protected:
    ReadBackModels()
        : LinkFixture({.model = GetParam().model, .tcp = GetParam().tcp, .pty = !GetParam().tcp}) {}
};

TEST_P(ReadBackModels, CopiesEveryTableOfTheModel) {
    const ReadBackCase c = GetParam();
    if (c.tcp) {
        ConnectTcp();
    } else {
        ConnectSerial();
    }
    ASSERT_FALSE(HasFatalFailure());

    DeviceState got = MarkedState();
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_EQ(peer.Lines(22), kAllQueries);
    EXPECT_EQ(host.info, kFullProgress);
    EXPECT_TRUE(host.statusTexts.empty() || c.tcp == false);
    ExpectStateOf(got, peer->State(), c.model);
}

INSTANTIATE_TEST_SUITE_P(AllModels, ReadBackModels,
                         ::testing::Values(ReadBackCase{0, false}, ReadBackCase{1, false},
                                           ReadBackCase{2, false}, ReadBackCase{3, false},
                                           ReadBackCase{0, true}, ReadBackCase{1, true},
                                           ReadBackCase{2, true}, ReadBackCase{3, true}),
                         [](const ::testing::TestParamInfo<ReadBackCase>& param) {
                             return std::string(param.param.tcp ? "Tcp" : "Serial") + "Model" +
                                    std::to_string(param.param.model);
                         });

// A switcher behind a serial-to-Ethernet converter at 57600 baud: every
// reply of the smallest and the largest model arrives in packets of 1 to 4
// bytes, hundreds of reads for the larger ones, and is collected whole.
struct PacedCase {
    int model;
    int piece;
};

class PacedReadBack : public LinkFixture, public ::testing::WithParamInterface<PacedCase> {
  protected:
    PacedReadBack() : LinkFixture({.model = GetParam().model, .tcp = true}) {}
};

TEST_P(PacedReadBack, RepliesInSmallPiecesAreCollectedWhole) {
    ConnectTcp();
    ASSERT_FALSE(HasFatalFailure());
    peer->ChangeFaults([&](qvsim::Faults& f) {
        f.baud = 57600;
        f.chunkSize = GetParam().piece;
        f.chunkPauseMs = 0;
    });
    DeviceState got = MarkedState();
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_EQ(peer.Lines(22), kAllQueries);
    EXPECT_EQ(host.info, kFullProgress);
    ExpectStateOf(got, peer->State(), GetParam().model);
}

INSTANTIATE_TEST_SUITE_P(Models0And3, PacedReadBack,
                         ::testing::Values(PacedCase{0, 1}, PacedCase{0, 2}, PacedCase{0, 3},
                                           PacedCase{0, 4}, PacedCase{3, 1}, PacedCase{3, 2},
                                           PacedCase{3, 3}, PacedCase{3, 4}),
                         [](const ::testing::TestParamInfo<PacedCase>& param) {
                             return "Model" + std::to_string(param.param.model) + "Pieces" +
                                    std::to_string(param.param.piece);
                         });

// A status block with a model code outside 0..3 leaves the model as it was:
// every later reply is asked for and copied in that model's form. Here a
// 12 x 4 read before reports code 7, and its small replies still fit.
TEST(ReadBackModelCode, CodeOutsideTheTableKeepsTheFormOfTheModel) {
    SimPeer peer({.model = 0, .tcp = true});
    LinkState state;
    RecordingHost host;
    host.linkState = &state;
    ScriptedPrompts prompts;
    DeviceLink link(state, host, prompts, SerialPortMap(), ShortTimings(), peer->TcpPort());
    ASSERT_EQ(link.TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);
    peer.Lines(1);
    peer->ClearReceivedLines();

    DeviceState got = MarkedState();
    got.model.ApplyModelCode(0);
    Bytes block = kDemoStatusBlock;
    block[14] = 7;
    peer->ChangeFaults([&](qvsim::Faults& f) { f.canned["MINFOQV"] = Framed(block); });
    EXPECT_EQ(ReadBack(link, got, host, prompts), 1); // no failure message
    EXPECT_EQ(peer.Lines(22), kAllQueries);
    EXPECT_TRUE(host.statusTexts.empty());
    EXPECT_EQ(got.model.OutputSlots, 8);

    const auto sim = peer->State();
    ExpectGroupTable(got.groups, sim.groups, false, "groups");
    for (int p = 0; p < 16; ++p) {
        SCOPED_TRACE("preset " + std::to_string(p));
        EXPECT_EQ(got.presets.stored(p), sim.presets[p].stored);
        for (int o = 0; o < 8; ++o) {
            ExpectEntry(&got.presets.routeImage(p)[5 * o], sim.presets[p].routes[o]);
        }
        ExpectGroupTable(got.presetGroups.images[p], sim.presets[p].groups, false,
                         "preset group " + std::to_string(p));
    }
}

// --- failures -----------------------------------------------------------------------

class ReadBackFailures : public LinkFixture {
  protected:
    ReadBackFailures() : LinkFixture({.tcp = true, .pty = true}) {}
    DeviceState got = MarkedState();
};

TEST_F(ReadBackFailures, SilentSwitcherFailsTheStatusBlockAndNothingElseIsAsked) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    prompts.ExpectMessage(kSerialTimeoutText);
    EXPECT_EQ(ReadBack(*link, got, host, prompts), -1);
    EXPECT_EQ(peer.Lines(1), Lines{"MINFOQV"});
    EXPECT_EQ(host.info, (std::vector<QString>{"show:QV Control querying Quorvel. Please wait....",
                                               "progress:", "hide"}));
    EXPECT_EQ(got.status.bytes[14], kUntouched);
}

TEST_F(ReadBackFailures, SohAtIndex30IsAParseError) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 30; });
    EXPECT_EQ(ReadBack(*link, got, host, prompts), -1);
    EXPECT_EQ(host.statusTexts, std::vector<QString>{"Error parsing MINFOQV message...."});
    EXPECT_EQ(peer.Lines(1), Lines{"MINFOQV"});
}

TEST_F(ReadBackFailures, SohAtIndex29IsAccepted) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 29; });
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    ExpectStateOf(got, peer->State(), 3);
}

TEST_F(ReadBackFailures, IncompleteTcpReplyOfTheStatusBlockIsAParseError) {
    ConnectTcp();
    peer->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = 10; });
    EXPECT_EQ(ReadBack(*link, got, host, prompts), -1);
    EXPECT_EQ(host.statusTexts, std::vector<QString>{"Error parsing MINFOQV message...."});
    EXPECT_EQ(got.status.bytes[14], kUntouched);
}

TEST_F(ReadBackFailures, LaterStepFailsAndTheRestIsStillRead) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.noSohQuery = "OINFOQV"; });
    prompts.ExpectMessageWithTitle(kFailureTitle,
                                   "QV Control unable to read Output Status. (NOTE: QV Control "
                                   "settings on Output will be invalid)");
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_EQ(peer.Lines(22), kAllQueries);
    EXPECT_EQ(host.statusTexts, std::vector<QString>{"Error parsing OINFOQB message...."});
    // The pop-up goes at the first failure; the progress goes on.
    const std::vector<QString> info = {"show:QV Control querying Quorvel. Please wait....",
                                       "progress:",
                                       "progress:.",
                                       "progress:..",
                                       "hide",
                                       "progress:...",
                                       "progress:....",
                                       "progress:.....",
                                       "progress:......",
                                       "progress:.......",
                                       "progress:........",
                                       "progress:.........",
                                       "progress:..........",
                                       "hide"};
    EXPECT_EQ(host.info, info);
    for (std::uint8_t b : got.outputs.bytes) {
        ASSERT_EQ(b, kUntouched);
    }
    const auto sim = peer->State();
    EXPECT_EQ(got.levels.level(1), sim.levels[1]);
    EXPECT_EQ(got.prevOutputs.videoInput(1), sim.committed[1].videoInput);
    EXPECT_EQ(got.presets.stored(0), sim.presets[0].stored);
    EXPECT_EQ(got.groups.outputGroup(0), sim.groups.outputGroup[0]);
}

TEST_F(ReadBackFailures, EveryStepHasItsOwnTexts) {
    ConnectTcp();
    struct Step {
        const char* query;
        QString parse;
        QString failure;
    };
    const Step steps[] = {
        {"AINFOQV", "Error parsing AINFOQB message....",
         "QV Control unable to read Audio Status. (NOTE: QV Control settings on Audio will be "
         "invalid)"},
        {"OPINFOQV", "Error parsing OINFOQB message....",
         "QV Control unable to read Prev Output Status. (NOTE: QV Control settings on Output "
         "will be invalid)"},
        {"PINFOQV", "Error parsing PINFOQV message....",
         "QV Control unable to read Preset Status. (NOTE: QV Control settings will be invalid)"},
        {"GINFOQV", "Error parsing GINFOQV message....",
         "QV Control unable to read Grouping Status. (NOTE: QV Control settings on Grouping will "
         "be invalid)"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.query);
        host.Clear();
        peer->ClearReceivedLines();
        peer->ChangeFaults([&](qvsim::Faults& f) { f.noSohQuery = step.query; });
        prompts.ExpectMessageWithTitle(kFailureTitle, step.failure);
        EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
        EXPECT_EQ(host.statusTexts, std::vector<QString>{step.parse});
        EXPECT_EQ(peer.Lines(22), kAllQueries);
        prompts.VerifyAllUsed();
    }
}

TEST_F(ReadBackFailures, FourthPresetGroupFailingStopsTheRest) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) {
        f.noSohQuery = "PGINFOQV";
        f.noSohFrom = 4;
    });
    prompts.ExpectMessageWithTitle(
        kFailureTitle,
        "QV Control unable to read Preset Group Status. (NOTE: QV Control settings will be "
        "invalid)");
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_EQ(peer.Lines(10), Lines(kAllQueries.begin(), kAllQueries.begin() + 10));
    EXPECT_EQ(host.statusTexts, std::vector<QString>{"Error parsing PGINFOQV message...."});
    const auto sim = peer->State();
    for (int n = 0; n < 3; ++n) {
        ExpectGroupTable(got.presetGroups.images[n], sim.presets[n].groups, true,
                         "image " + std::to_string(n));
    }
    for (int n = 3; n < 16; ++n) {
        for (std::uint8_t b : got.presetGroups.images[n].bytes) {
            ASSERT_EQ(b, kUntouched) << "image " << n;
        }
    }
}

TEST_F(ReadBackFailures, TimeoutInALaterStepShowsBothMessagesOnce) {
    ConnectSerial();
    peer->ChangeFaults([](qvsim::Faults& f) { f.canned["AINFOQV"] = {}; }); // no answer at all
    prompts.ExpectMessage(kSerialTimeoutText);
    prompts.ExpectMessageWithTitle(kFailureTitle,
                                   "QV Control unable to read Audio Status. (NOTE: QV Control "
                                   "settings on Audio will be invalid)");
    EXPECT_EQ(ReadBack(*link, got, host, prompts), 1);
    EXPECT_EQ(peer.Lines(22), kAllQueries);
    EXPECT_TRUE(host.statusTexts.empty()); // a timeout is not a parse error
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(got.levels.level(i), kUntouched);
    }
    EXPECT_EQ(got.model.OutputSlots, 16);
}

} // namespace
} // namespace qvc::test
