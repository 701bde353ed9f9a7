// The status reply path: a byte stream in arbitrary pieces through the serial
// and the TCP collector, then the SOH search, then every payload loader.
//
// Input: the model code and the query (which give ExpectedLength), the counts
// handed to the loaders, then pieces: a length byte and that many bytes.
#include "FuzzCheck.h"
#include "model/DeviceState.h"
#include "protocol/Framing.h"
#include "protocol/ReplyCollector.h"
#include "protocol/StatusQueries.h"
#include "protocol/SystemStatus.h"
#include "protocol/Tables.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <span>
#include <vector>

namespace {

using namespace qvc;

using Payload = std::span<const std::uint8_t>;

struct Counts {
    int inputs;
    int slots;
    int presetGroup;
    bool large;
};

// Every loader over one payload, with counts the fuzzer chooses (also ones
// no read-back would pass).
void LoadEverything(Payload payload, const Counts& counts, DeviceState& state) {
    state.LoadStatusPayload(payload);
    state.model.ApplyModelCode(state.status.ModelCode());
    (void)state.status.FirmwareVersion();
    (void)state.status.IPAddressText();
    (void)state.status.RGBDelay();
    (void)ModelSizeText(state.status.ModelCode());
    LoadAudioPayload(payload, counts.inputs, state.levels);
    LoadOutputStatusPayload(payload, counts.slots, state.outputs);
    LoadPrevOutputStatusPayload(payload, counts.slots, state.prevOutputs);
    LoadPresetPayload(payload, counts.large, state.presets);
    LoadGroupPayload(payload, counts.large, state.groups);
    LoadPresetGroupPayload(counts.presetGroup, payload, counts.large, state.presetGroups);
    for (int n = 0; n <= kPresetCount + 1; ++n) {
        (void)PresetIsStored(state.presets, n);
    }
}

// What a read-back does with a collected reply: the SOH in the first 30
// bytes, the payload two bytes after it, then the loaders.
void Parse(Payload reply, std::size_t expected, const Counts& counts) {
    const auto payload = ExtractPayload(reply, expected);
    if (!payload) {
        return;
    }
    QVC_FUZZ_CHECK(payload->size() == expected);
    QVC_FUZZ_CHECK(FindSoh(reply).has_value());
    DeviceState state;
    LoadEverything(*payload, counts, state);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto code = input.ConsumeIntegral<std::uint8_t>();
    const auto query = static_cast<StatusQuery>(input.ConsumeIntegralInRange(0, 6));
    DeviceModel model;
    model.ApplyModelCode(code);
    const std::size_t expected =
        static_cast<std::size_t>(std::max(ExpectedLength(query, model, code), 0));
    const Counts counts{input.ConsumeIntegral<std::int8_t>(), input.ConsumeIntegral<std::int8_t>(),
                        input.ConsumeIntegralInRange(-2, kPresetCount + 1), input.ConsumeBool()};

    std::vector<std::vector<std::uint8_t>> pieces;
    std::vector<std::uint8_t> stream;
    while (input.remaining_bytes() > 0) {
        const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 160);
        pieces.push_back(input.ConsumeBytes<std::uint8_t>(length));
        stream.insert(stream.end(), pieces.back().begin(), pieces.back().end());
    }

    // The serial collector: the pieces as data-available events.
    std::array<std::uint8_t, kReceiveBufferSize> serial{};
    std::size_t position = 0;
    bool serialComplete = false;
    for (const auto& piece : pieces) {
        serialComplete = CollectSerialReply(serial, position, expected, piece);
        QVC_FUZZ_CHECK(position <= serial.size());
        if (serialComplete) {
            QVC_FUZZ_CHECK(position == 0);
            break;
        }
    }
    if (serialComplete) {
        Parse(serial, expected, counts);
    }

    // The TCP collector: each piece as reads of at most 100 bytes; an empty
    // piece is a read of 0 bytes (the switcher closed the connection).
    TcpReplyCollector tcp(expected);
    for (const auto& piece : pieces) {
        const Payload bytes(piece);
        if (bytes.empty()) {
            tcp.Add(bytes);
        }
        for (std::size_t at = 0; at < bytes.size() && tcp.WantsMore(); at += 100) {
            tcp.Add(bytes.subspan(at, std::min<std::size_t>(100, bytes.size() - at)));
        }
        if (!tcp.WantsMore()) {
            break;
        }
    }
    QVC_FUZZ_CHECK(tcp.Bytes().size() <= kReceiveBufferSize);
    if (tcp.Complete()) {
        // A reply that ended holds its whole payload whenever it has an SOH.
        if (FindSoh(tcp.Bytes())) {
            QVC_FUZZ_CHECK(ExtractPayload(tcp.Bytes(), expected).has_value());
        }
        std::array<std::uint8_t, kReceiveBufferSize> buffer{};
        std::copy(tcp.Bytes().begin(), tcp.Bytes().end(), buffer.begin());
        Parse(buffer, expected, counts);
    }

    // The SOH search and the loaders straight over the stream, as it came.
    Parse(stream, expected, counts);
    return 0;
}
