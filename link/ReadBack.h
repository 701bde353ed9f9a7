// The read-back of the switcher's whole state into DeviceState: 22 status
// queries in a fixed order, with the progress pop-up and the messages.
#pragma once

namespace qvc {

class DeviceLink;
class LinkHost;
class Prompts;
struct DeviceState;

// 1 when the system status block was read (even if later steps failed), -1
// when it was not (then nothing else is queried). A table is overwritten only
// when its query succeeds.
int ReadBack(DeviceLink& link, DeviceState& state, LinkHost& host, Prompts& prompts);

// One table of the read-back, read alone and in the same form, without the
// pop-up or a message: what a client reads before it checks an operation,
// or polls while idle. True when the reply was read and loaded.
enum class ReadPart { Status, Groups, Outputs, PrevOutputs, Levels };
bool ReadPartOf(DeviceLink& link, DeviceState& state, LinkHost& host, ReadPart part);

} // namespace qvc
