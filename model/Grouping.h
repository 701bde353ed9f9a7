// Output groups and their member inputs, as the grouping page edits them.
//
// A group ties outputs together (an output is in at most one group) and may
// restrict which inputs feed them (an input may be in several groups). There
// are as many groups as the model has shown outputs, and a group exists only
// while it has an output. The switching page reads the same table at each
// click (Switching::OutputEnabledFor, PropagateToGroup).
//
// Every edit changes DeviceState.groups first and returns the lines that tell
// the switcher: "GADD g o i" / "GDEL g o i" with 101 for the side the command
// does not concern, "GCLEAR g" or "GCLEAR 201" for all. The caller redraws
// and then sends. All numbers are 0-based; numbers outside the model change
// and send nothing. Tables read from a switcher or a file are edited as they
// come; no value of the table is ever used as an index.
#pragma once

#include "DeviceState.h"
#include "protocol/Commands.h"

namespace qvc {

// What a click on a group's input did.
struct InputToggle {
    // The group has no output yet: nothing changed and nothing is sent; the
    // operator must give it an output first.
    bool needsOutput = false;
    Commands commands;
};

class Grouping {
  public:
    explicit Grouping(DeviceState& state) : state_(state) {}

    // One group per shown output; the model's inputs and shown outputs.
    int GroupCount() const;
    int InputCount() const;
    int OutputCount() const;

    // Input k / output o is marked as a member of group g.
    bool IsInputMember(int g, int k) const;
    bool IsOutputMember(int g, int o) const;
    // Output o can join or leave group g: it is in no group or in g.
    bool OutputAvailableFor(int g, int o) const;
    // The existence test after an edit: members, among them an output.
    bool Exists(int g) const;
    // The existence test after a read-back: any member counted.
    bool HasMembers(int g) const;

    // Adds input k to group g ("GADD g 101 k") or takes it out ("GDEL g 101 k").
    // Refused for a group without an output.
    InputToggle ToggleGroupInput(int g, int k);
    // Adds output o to group g ("GADD g o 101") or takes it out ("GDEL g o 101").
    // Taking out the last output removes the whole group ("GCLEAR g"), its
    // inputs with it. An output of another group is left alone.
    Commands ToggleGroupOutput(int g, int o);
    // Empties group g: counts 0, its inputs and outputs no members; "GCLEAR g".
    // Nothing for a group without members.
    Commands RemoveGroup(int g);
    // Empties every group that has members, then "GCLEAR 201", also when
    // there was none.
    Commands RemoveAllGroups();

  private:
    bool IsGroup(int g) const { return g >= 0 && g < GroupCount(); }
    bool IsInput(int k) const { return k >= 0 && k < InputCount(); }
    bool IsOutput(int o) const { return o >= 0 && o < OutputCount(); }
    // Counts 0 and every member of the model's inputs and shown outputs
    // released.
    void ClearGroup(int g);

    DeviceState& state_;
};

} // namespace qvc
