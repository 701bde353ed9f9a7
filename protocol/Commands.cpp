#include "Commands.h"

#include <ostream>
#include <string>

namespace qvc {

std::ostream& operator<<(std::ostream& out, const Command& command) {
    out << '"' << command.line << '"';
    switch (command.kind) {
    case CommandKind::Acknowledged:
        break;
    case CommandKind::NoWait:
        out << " (no wait)";
        break;
    case CommandKind::ResetWait:
        out << " (reset wait)";
        break;
    }
    return out;
}

} // namespace qvc

namespace qvc::cmd {

namespace {

// The command word and its arguments in decimal, separated by single spaces.
template <typename... Args> std::string Line(const char* word, Args... args) {
    std::string line = word;
    ((line += ' ', line += std::to_string(args)), ...);
    return line;
}

} // namespace

std::string IpConfig(int a, int b, int c, int d) {
    return Line("IPCONFIG", a, b, c, d);
}
std::string Rtemp(int output, int video, int audio) {
    return Line("RTEMP", output + 1, video + 1, audio + 1);
}
std::string Take(bool commit) {
    return Line("TAKE", commit ? 1 : 0);
}
std::string Omute(int output, int muted) {
    return Line("OMUTE", output + 1, muted);
}
std::string Alvl(int input, int level) {
    return Line("ALVL", input + 1, level);
}
std::string Fplock(bool locked) {
    return Line("FPLOCK", locked ? 1 : 0);
}
std::string ResetQv(bool factory) {
    return factory ? "RESETQV F" : "RESETQV R";
}
std::string Switch(int source) {
    return Line("SWITCH", source);
}
std::string Fdly(int delay) {
    return Line("FDLY", delay);
}
std::string Clear() {
    return "CLEAR";
}
std::string Rprst(int preset, int flag) {
    return Line("RPRST", preset + 1, flag);
}
std::string Prst(int preset) {
    return Line("PRST", preset + 1);
}
std::string Gclear(int group) {
    return Line("GCLEAR", group + 1);
}
std::string Gadd(int group, int output, int input) {
    return Line("GADD", group + 1, output + 1, input + 1);
}
std::string Gdel(int group, int output, int input) {
    return Line("GDEL", group + 1, output + 1, input + 1);
}
Command IpConfigCommand(int a, int b, int c, int d) {
    return {IpConfig(a, b, c, d), CommandKind::NoWait};
}
Command ResetCommand(bool factory) {
    return {ResetQv(factory), CommandKind::ResetWait};
}
std::string Pginfoqv(int presetGroup) {
    return Line("PGINFOQV", presetGroup);
}

} // namespace qvc::cmd
