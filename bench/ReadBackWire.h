// What one read-back of the switcher moves on the wire, and the least time
// that takes on each link: the floor the read-back figures are held against.
#pragma once

#include "model/DeviceState.h"

namespace qvc::bench {

struct ReadBackWire {
    int queries = 0;
    long long queryBytes = 0;   // the query lines with their CR
    long long replyBytes = 0;   // the replies with their framing
    long long payloadBytes = 0; // of which payload
};

// Computed from the reply sizes of the switcher `state` describes (as read
// back): each query line with its CR, and each reply (SOH and tag, payload,
// CR LF '#'; the simulator sends no text before the SOH).
ReadBackWire ReadBackWireOf(const DeviceState& state);

// TCP: the link's pause before each query.
double TcpFloorMs(const ReadBackWire& wire);
// Serial: every byte at `baud` with 10 bits per byte.
double SerialFloorMs(const ReadBackWire& wire, int baud);
// The part of it the simulator paces: its replies.
double SerialReplyMs(const ReadBackWire& wire, int baud);

} // namespace qvc::bench
