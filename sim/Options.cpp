// Command line of quorvel-sim.
#include "SimOptions.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <iterator>
#include <limits>
#include <optional>
#include <string_view>

namespace qvsim {

namespace {

constexpr const char* kQueryWords[] = {"MINFOQV", "AINFOQV", "OINFOQV", "OPINFOQV",
                                       "PINFOQV", "GINFOQV", "PGINFOQV"};

struct OptionHelp {
    const char* name;
    const char* value;
    const char* text;
};

constexpr OptionHelp kHelp[] = {
    {"--model", "N", "switcher model code: 0 = 12x4, 1 = 12x8, 2 = 16x8, 3 = 16x16 (default 3)"},
    {"--no-audio", "", "report a switcher without audio"},
    {"--firmware", "TEXT", "firmware text reported by MINFOQV, at most 6 characters"},
    {"--ip", "A.B.C.D", "IP address reported by MINFOQV (default 192.168.1.50)"},
    {"--tcp", "[ADDR:]PORT", "listen on TCP (loopback unless ADDR is given; PORT 0 = any free)"},
    {"--pty", "PATH", "create a pseudo-terminal and a symlink PATH to its device"},
    {"--demo", "", "start with demo routes, levels, groups and presets"},
    {"--log", "FILE", "append every received line with a timestamp to FILE"},
    {"--baud", "N", "pace output like a serial line at N baud (10 bits per byte)"},
    {"--silent", "", "fault: never answer"},
    {"--no-prompt", "", "fault: do not answer write commands with '#'"},
    {"--reply-delay", "MS", "fault: wait MS milliseconds before each answer"},
    {"--chunk", "N", "fault: write answers in pieces of N bytes"},
    {"--chunk-pause", "MS", "pause between pieces of --chunk (default 2)"},
    {"--text-before-soh", "N", "fault: N bytes of text before the SOH of every status reply"},
    {"--no-soh", "QUERY", "fault: the reply to QUERY (e.g. PGINFOQV) has no SOH"},
    {"--no-soh-after", "K", "with --no-soh: only from the K-th such query on"},
    {"--close-after", "N", "fault: stop a status reply after N bytes (TCP: close the connection)"},
    {"--second-probe-only", "", "fault: of consecutive bare CRs, ignore the first"},
    {"--help", "", "show this help and exit"},
};

bool ParseInt(std::string_view text, long lo, long hi, long& out) {
    if (text.empty()) {
        return false;
    }
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size() && out >= lo && out <= hi;
}

bool ParseIp(std::string_view text, std::array<std::uint8_t, 4>& ip) {
    for (std::size_t part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        const std::string_view piece = part < 3 ? text.substr(0, dot) : text;
        if (part < 3 && dot == std::string_view::npos) {
            return false;
        }
        long v = 0;
        if (piece.empty() || piece.size() > 3 || !ParseInt(piece, 0, 255, v)) {
            return false;
        }
        ip[part] = static_cast<std::uint8_t>(v);
        if (part < 3) {
            text.remove_prefix(dot + 1);
        }
    }
    return true;
}

// The option's name as QCommandLineParser knows it: without the dashes.
QString ParserName(const OptionHelp& h) {
    return QString::fromLatin1(h.name + 2);
}

// The parser's complaint in this program's words, naming the option as it is
// written. Besides unknown options, the parser stops at a value missing after
// the last option or a value given to an option without one; it quotes that
// option in its text.
std::string ParseError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const QString& first = unknown.front();
        return std::string("unknown option '") + (first.size() == 1 ? "-" : "--") +
               first.toLocal8Bit().toStdString() + "'";
    }
    const QString quoted = parser.errorText().section(QLatin1Char('\''), 1, 1);
    for (const OptionHelp& h : kHelp) {
        if (quoted == QLatin1String(h.name)) {
            const std::string name = h.name;
            return *h.value != '\0' ? "option '" + name + "' needs a value " + h.value
                                    : "option '" + name + "' takes no value";
        }
    }
    return parser.errorText().toLocal8Bit().toStdString();
}

// "" when `value` is a whole number in lo..hi, which then goes into `field`;
// else the complaint.
std::string NumberInto(const std::string& name, const std::string& value, long lo, long hi,
                       int& field) {
    long n = 0;
    if (ParseInt(value, lo, hi, n)) {
        field = static_cast<int>(n);
        return {};
    }
    long any = 0;
    const bool numeric =
        ParseInt(value, std::numeric_limits<long>::min(), std::numeric_limits<long>::max(), any);
    return numeric ? "option '" + name + "': " + value + " is out of range " + std::to_string(lo) +
                         ".." + std::to_string(hi)
                   : "option '" + name + "': '" + value + "' is not a number";
}

std::string FirmwareInto(const std::string& value, SimOptions& o) {
    if (value.size() > 6) {
        return "option '--firmware': '" + value + "' is longer than 6 characters";
    }
    for (char c : value) {
        if (c < 0x20 || c > 0x7E) {
            return "option '--firmware': only printable characters are allowed";
        }
    }
    o.firmware = value;
    return {};
}

// [ADDR:]PORT, ADDR an IPv4 or (bracketed or not) IPv6 address.
std::string TcpInto(const std::string& value, SimOptions& o) {
    std::string portText = value;
    const auto colon = value.rfind(':');
    if (colon != std::string::npos) {
        std::string addr = value.substr(0, colon);
        if (addr.size() >= 2 && addr.front() == '[' && addr.back() == ']') {
            addr = addr.substr(1, addr.size() - 2);
        }
        if (QHostAddress(QString::fromStdString(addr)).isNull()) {
            return "option '--tcp': '" + addr + "' is not an IP address";
        }
        o.tcpAddress = addr;
        portText = value.substr(colon + 1);
    }
    long port = 0;
    if (!ParseInt(portText, 0, 65535, port)) {
        return "option '--tcp': '" + portText + "' is not a port 0..65535";
    }
    o.tcp = true;
    o.tcpPort = static_cast<std::uint16_t>(port);
    return {};
}

// One value of an option for the switcher, the transports or the log: "" or
// the complaint; nothing when `name` is none of those options.
std::optional<std::string> ApplyRunOption(const std::string& name, const std::string& value,
                                          SimOptions& o) {
    if (name == "--model") {
        return NumberInto(name, value, 0, 3, o.model);
    }
    if (name == "--no-audio") {
        o.audio = false;
    } else if (name == "--firmware") {
        return FirmwareInto(value, o);
    } else if (name == "--ip") {
        if (!ParseIp(value, o.ip)) {
            return "option '--ip': '" + value + "' is not an address a.b.c.d";
        }
    } else if (name == "--tcp") {
        return TcpInto(value, o);
    } else if (name == "--pty") {
        if (value.empty()) {
            return "option '--pty' needs a path";
        }
        o.ptyPath = value;
    } else if (name == "--demo") {
        o.demo = true;
    } else if (name == "--log") {
        if (value.empty()) {
            return "option '--log' needs a file name";
        }
        o.logFile = value;
    } else {
        return std::nullopt;
    }
    return std::string();
}

// The fault and pacing options that take a number, and its range.
struct NumberOption {
    const char* name;
    long lo;
    long hi;
    int Faults::*field;
};
constexpr NumberOption kFaultNumbers[] = {
    {"--baud", 1, 4000000, &Faults::baud},
    {"--reply-delay", 0, 600000, &Faults::replyDelayMs},
    {"--chunk", 1, 1000000, &Faults::chunkSize},
    {"--chunk-pause", 0, 60000, &Faults::chunkPauseMs},
    {"--text-before-soh", 0, 10000000, &Faults::textBeforeSoh},
    {"--no-soh-after", 1, 1000000, &Faults::noSohFrom},
    {"--close-after", 0, 100000000, &Faults::closeAfter},
};

// One value of a fault or pacing option: "" or the complaint; nothing when
// `name` is none of those options.
std::optional<std::string> ApplyFaultOption(const std::string& name, const std::string& value,
                                            Faults& f) {
    for (const NumberOption& n : kFaultNumbers) {
        if (name == n.name) {
            return NumberInto(name, value, n.lo, n.hi, f.*n.field);
        }
    }
    if (name == "--no-soh") {
        const auto* const end = std::end(kQueryWords);
        if (std::find(std::begin(kQueryWords), end, value) == end) {
            return "option '--no-soh': '" + value + "' is not a status query word";
        }
        f.noSohQuery = value;
    } else if (name == "--silent") {
        f.silent = true;
    } else if (name == "--no-prompt") {
        f.noPrompt = true;
    } else if (name == "--second-probe-only") {
        f.secondProbeOnly = true;
    } else {
        return std::nullopt;
    }
    return std::string();
}

void AddOptions(QCommandLineParser& parser) {
    for (const OptionHelp& h : kHelp) {
        QStringList names{ParserName(h)};
        if (names.front() == QLatin1String("help")) {
            names.prepend(QStringLiteral("h"));
        }
        parser.addOption(
            QCommandLineOption(names, QString::fromUtf8(h.text), QString::fromLatin1(h.value)));
    }
}

// Applies every option given, checked in the order of the help; every value
// of a repeated option is checked and the last one counts. "" or the first
// complaint.
std::string ApplyOptions(const QCommandLineParser& parser, SimOptions& o) {
    for (const OptionHelp& h : kHelp) {
        const QString key = ParserName(h);
        if (!parser.isSet(key)) {
            continue;
        }
        const std::string name = h.name;
        const QStringList values = *h.value != '\0' ? parser.values(key) : QStringList{QString()};
        for (const QString& given : values) {
            const std::string value = given.toLocal8Bit().toStdString();
            std::optional<std::string> error = ApplyRunOption(name, value, o);
            if (!error) {
                error = ApplyFaultOption(name, value, o.faults);
            }
            if (error && !error->empty()) {
                return *error;
            }
        }
    }
    return {};
}

} // namespace

std::string HelpText() {
    std::string text = "Usage: quorvel-sim [OPTIONS]\n"
                       "Simulates a Quorvel matrix switcher on a pseudo-terminal and/or TCP.\n"
                       "At least one of --tcp and --pty is required.\n\nOptions:\n";
    for (const OptionHelp& h : kHelp) {
        std::string left = std::string("  ") + h.name;
        if (*h.value != '\0') {
            left += std::string(" ") + h.value;
        }
        left.resize(std::max<std::size_t>(left.size() + 2, 28), ' ');
        text += left + h.text + "\n";
    }
    return text;
}

ParseOutcome ParseOptions(int argc, const char* const* argv) {
    ParseOutcome outcome;
    const auto fail = [&](std::string message) {
        outcome.kind = ParseOutcome::Kind::Error;
        outcome.message = std::move(message);
        return outcome;
    };

    QCommandLineParser parser;
    AddOptions(parser);
    QStringList arguments;
    for (int k = 0; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }
    if (!parser.parse(arguments)) {
        return fail(ParseError(parser));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail("unexpected argument '" +
                    parser.positionalArguments().front().toLocal8Bit().toStdString() + "'");
    }
    if (parser.isSet(QStringLiteral("help"))) {
        outcome.kind = ParseOutcome::Kind::Help;
        outcome.message = HelpText();
        return outcome;
    }
    SimOptions& o = outcome.options;
    if (std::string error = ApplyOptions(parser, o); !error.empty()) {
        return fail(std::move(error));
    }
    if (parser.isSet(QStringLiteral("no-soh-after")) && o.faults.noSohQuery.empty()) {
        return fail("option '--no-soh-after' needs --no-soh");
    }
    if (!o.tcp && o.ptyPath.empty()) {
        return fail("no transport: give --tcp [ADDR:]PORT and/or --pty PATH");
    }
    return outcome;
}

} // namespace qvsim
