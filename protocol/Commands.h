// Command lines of the switcher's control protocol.
//
// Every request is one line of printable ASCII; the link appends the CR.
// Inputs, outputs, groups and presets are 0-based in the program and 1-based
// on the wire: the formatters below take the program's values and add 1.
// Special values: an RTEMP input of -1 goes out as 0 (no input on that
// layer) and 100 as 101 (layer unchanged); a GADD/GDEL member of 100 goes
// out as 101 (not given); a GCLEAR group of 200 goes out as 201 (all).
#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace qvc {

// How the link sends a command: most wait for the switcher's prompt; the
// address change goes out without waiting on TCP; a reset is given the long
// prompt wait, as the switcher restarts before it answers.
enum class CommandKind { Acknowledged, NoWait, ResetWait };

// One write command: its line (without the CR) and how it is sent. Every
// operation returns these, and the link takes them at one entry point.
struct Command {
    Command(std::string text, CommandKind how = CommandKind::Acknowledged)
        : line(std::move(text)), kind(how) {}
    Command(const char* text) : line(text) {}

    std::string line;
    CommandKind kind = CommandKind::Acknowledged;

    friend bool operator==(const Command&, const Command&) = default;
};
// Test output and diagnostics: the line, with the kind when it is not the usual.
std::ostream& operator<<(std::ostream& out, const Command& command);

using Commands = std::vector<Command>;

} // namespace qvc

namespace qvc::cmd {

inline constexpr int kNoInput = -1;    // RTEMP: disconnect the layer
inline constexpr int kUnchanged = 100; // RTEMP: keep the layer's input
inline constexpr int kNotGiven = 100;  // GADD/GDEL: the other side only
inline constexpr int kAllGroups = 200; // GCLEAR: every group

// Write commands.
std::string IpConfig(int a, int b, int c, int d);    // "IPCONFIG a b c d", parts as typed
std::string Rtemp(int output, int video, int audio); // "RTEMP o v a"
std::string Take(bool commit);                       // "TAKE 1" / "TAKE 0"
std::string Omute(int output, int muted);            // "OMUTE o m"
std::string Alvl(int input, int level);              // "ALVL i l"
std::string Fplock(bool locked);                     // "FPLOCK 1|0"
std::string ResetQv(bool factory);                   // "RESETQV R" / "RESETQV F"
std::string Switch(int source);                      // "SWITCH s"
std::string Fdly(int delay);                         // "FDLY d"
std::string Clear();                                 // "CLEAR"
std::string Rprst(int preset, int flag);             // "RPRST p f", flag as given
std::string Prst(int preset);                        // "PRST p"
std::string Gclear(int group);                       // "GCLEAR g"
std::string Gadd(int group, int output, int input);  // "GADD g o i"
std::string Gdel(int group, int output, int input);  // "GDEL g o i"

// The two commands that are not simply acknowledged, with their kinds.
Command IpConfigCommand(int a, int b, int c, int d); // no wait on TCP
Command ResetCommand(bool factory);                  // the long prompt wait

// Status queries. PGINFOQV is the one request whose number stays 0-based.
inline constexpr const char* kMinfoqv = "MINFOQV";
inline constexpr const char* kAinfoqv = "AINFOQV";
inline constexpr const char* kOinfoqv = "OINFOQV";
inline constexpr const char* kOpinfoqv = "OPINFOQV";
inline constexpr const char* kPinfoqv = "PINFOQV";
inline constexpr const char* kGinfoqv = "GINFOQV";
std::string Pginfoqv(int presetGroup); // "PGINFOQV n", n = 0..15

} // namespace qvc::cmd
