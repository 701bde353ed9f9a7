#include "ReadBackWire.h"

#include "link/LinkTimings.h"
#include "protocol/Framing.h"
#include "protocol/StatusQueries.h"

namespace qvc::bench {

namespace {
constexpr int kPresetGroups = 16;
constexpr int kReplyTrailer = 3; // CR, LF, '#' after the payload
constexpr double kBitsPerByte = 10;
} // namespace

ReadBackWire ReadBackWireOf(const DeviceState& state) {
    ReadBackWire wire;
    const auto add = [&](StatusQuery q, int presetGroup) {
        const int length = ExpectedLength(q, state.model, state.status.ModelCode());
        wire.queryBytes += static_cast<long long>(QueryLine(q, presetGroup).size()) + 1;
        wire.replyBytes += static_cast<long long>(PayloadStart(0)) + length + kReplyTrailer;
        wire.payloadBytes += length;
        ++wire.queries;
    };
    for (StatusQuery q : {StatusQuery::Minfoqv, StatusQuery::Ainfoqv, StatusQuery::Oinfoqv,
                          StatusQuery::Opinfoqv, StatusQuery::Pinfoqv, StatusQuery::Ginfoqv}) {
        add(q, 0);
    }
    for (int n = 0; n < kPresetGroups; ++n) {
        add(StatusQuery::Pginfoqv, n);
    }
    return wire;
}

double TcpFloorMs(const ReadBackWire& wire) {
    return wire.queries * LinkTimings::Production().tcpPauseMs;
}

double SerialFloorMs(const ReadBackWire& wire, int baud) {
    return static_cast<double>(wire.queryBytes + wire.replyBytes) * kBitsPerByte / baud * 1000;
}

double SerialReplyMs(const ReadBackWire& wire, int baud) {
    return static_cast<double>(wire.replyBytes) * kBitsPerByte / baud * 1000;
}

} // namespace qvc::bench
