#include "Ctl.h"

#include "LabelsCsv.h"
#include "config/ConfigFile.h"
#include "link/DeviceLink.h"
#include "link/NullLinkHost.h"
#include "link/ReadBack.h"
#include "link/SerialPortMap.h"
#include "model/Audio.h"
#include "model/Grouping.h"
#include "model/Presets.h"
#include "model/Setup.h"
#include "model/Switching.h"
#include "protocol/Framing.h"
#include "protocol/StatusQueries.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <functional>
#include <iomanip>
#include <map>
#include <memory>
#include <optional>

namespace qvc::ctl {

namespace {

const QString kProgramHelp = QStringLiteral(
    "Drives a Quorvel switcher from scripts.\n\n"
    "Commands:\n"
    "  status [--json]                         read the whole state and print it\n"
    "  route OUTPUT INPUT [--video|--audio] [--take] [--no-group]\n"
    "  take | cancel | clear                   TAKE 1, TAKE 0, CLEAR\n"
    "  mute OUTPUT on|off                      OMUTE\n"
    "  level INPUT DB | level INPUT --raw N    ALVL (DB -74..20, N 0..252)\n"
    "  preset store N | preset recall N        TAKE 1 + PRST, RPRST N 0\n"
    "  group add|del G --output O|--input I    GADD / GDEL\n"
    "  group clear G|all                       GCLEAR\n"
    "  lock on|off                             FPLOCK\n"
    "  switch-source NAME|N                    SWITCH (rgb-delay, channel1-sync,\n"
    "                                          channel1-video, vref-in, or 0..3)\n"
    "  rgb-delay MS                            FDLY (0..4000)\n"
    "  reset [--factory]                       RESETQV\n"
    "  labels export CONFIG [CSV]              labels of a configuration file as CSV\n"
    "  labels import CONFIG CSV                CSV labels into a configuration file\n\n"
    "Numbers are 1-based, as on the screen. '<command> --help' tells more.\n"
    "Exit codes: 0 done, 1 the switcher did not answer, 2 usage error (nothing\n"
    "sent), 3 no link.");

// The help of each command: its synopsis and what it sends.
const std::map<QString, QString>& CommandHelp() {
    static const std::map<QString, QString> help{
        {QStringLiteral("status"),
         QStringLiteral("status [--json]\n  Reads the switcher's whole state, as the window's read "
                        "action does, and prints the\n  model, audio, firmware, IP address, every "
                        "shown output's inputs, taken marks and\n  mute, every input's level, the "
                        "groups and the stored presets.")},
        {QStringLiteral("route"),
         QStringLiteral("route OUTPUT INPUT [--video | --audio] [--take] [--no-group]\n  Routes "
                        "INPUT to OUTPUT as a temporary route (RTEMP, 101 for the layer\n  not "
                        "chosen), and to the other outputs of OUTPUT's group unless --no-group.\n "
                        " An input the group does not admit is refused. --take commits with TAKE "
                        "1.")},
        {QStringLiteral("take"), QStringLiteral("take\n  Commits the temporary routes: TAKE 1.")},
        {QStringLiteral("cancel"),
         QStringLiteral("cancel\n  Withdraws the temporary routes: TAKE 0.")},
        {QStringLiteral("clear"), QStringLiteral("clear\n  Clears every route: CLEAR.")},
        {QStringLiteral("mute"), QStringLiteral("mute OUTPUT on|off\n  Mutes an output: OMUTE.")},
        {QStringLiteral("level"),
         QStringLiteral("level INPUT DB | level INPUT --raw N\n  Sets an input's audio level "
                        "(ALVL): DB a whole number from -74 to 20,\n  sent as the slider position "
                        "of the Audio page, or N the position 0..252.")},
        {QStringLiteral("preset"),
         QStringLiteral("preset store N | preset recall N\n  store: TAKE 1, then PRST N. "
                        "recall: RPRST N 0.")},
        {QStringLiteral("group"),
         QStringLiteral("group add G --output O | --input I\ngroup del G --output O | --input "
                        "I\ngroup clear G | all\n  Edits output groups (GADD, GDEL, GCLEAR). An "
                        "input needs an output in the\n  group first.")},
        {QStringLiteral("lock"),
         QStringLiteral("lock on|off\n  Locks or frees the front panel: FPLOCK.")},
        {QStringLiteral("switch-source"),
         QStringLiteral("switch-source NAME|N\n  The video switch source: rgb-delay (0), "
                        "channel1-sync (1), channel1-video (2),\n  vref-in (3): SWITCH.")},
        {QStringLiteral("rgb-delay"),
         QStringLiteral("rgb-delay MS\n  The RGB delay, 0 to 4000 ms: FDLY.")},
        {QStringLiteral("reset"),
         QStringLiteral("reset [--factory]\n  Restarts the switcher with its saved settings "
                        "(RESETQV R) or its factory\n  settings (RESETQV F), waiting as long as "
                        "the window does.")},
        {QStringLiteral("labels"),
         QStringLiteral("labels export CONFIG [CSV]\nlabels import CONFIG CSV\n  Offline: the "
                        "labels of a configuration file as CSV (table,number,label;\n  table "
                        "input, output, group or preset). Without CSV, export prints to\n  "
                        "standard output. Import keeps every other byte of the file.")},
    };
    return help;
}

const QStringList kSwitchSourceNames = {
    QStringLiteral("rgb-delay"), QStringLiteral("channel1-sync"), QStringLiteral("channel1-video"),
    QStringLiteral("vref-in")};

std::string Text(const QString& s) {
    return s.toLocal8Bit().toStdString();
}

// Where the window asks or tells, the client tells on standard error, and
// every such message means the command failed.
class ErrPrompts : public Prompts {
  public:
    explicit ErrPrompts(std::ostream& err) : err_(err) {}
    bool Failed() const { return failed_; }

    void Message(const QString& text) override { Tell(text); }
    void MessageWithTitle(const QString&, const QString& text) override { Tell(text); }
    bool YesNo(const QString&, const QString& text) override { return Tell(text), false; }
    bool OkCancel(const QString&, const QString& text) override { return Tell(text), false; }
    void Error(const QString& text) override { Tell(text); }
    QString OpenFileName(const QString&) override { return {}; }
    QString SaveFileName(const QString&) override { return {}; }

  private:
    void Tell(const QString& text) {
        err_ << Text(text.simplified()) << '\n';
        failed_ = true;
    }
    std::ostream& err_;
    bool failed_ = false;
};

struct UsageError {
    QString text;
};

// A whole number in [low, high] or a usage error naming `what`.
int Number(const QString& text, int low, int high, const char* what) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        throw UsageError{QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                             .arg(QLatin1String(what))
                             .arg(low)
                             .arg(high)
                             .arg(text)};
    }
    return n;
}

bool OnOff(const QString& text) {
    if (text == QLatin1String("on")) {
        return true;
    }
    if (text == QLatin1String("off")) {
        return false;
    }
    throw UsageError{QStringLiteral("expected on or off, not \"%1\"").arg(text)};
}

// The link options, the command and its arguments.
struct Invocation {
    enum class LinkKind { Search, Serial, Com, Tcp };
    LinkKind link = LinkKind::Search;
    QString serialDevice;
    int com = 0;
    QString tcpAddress;
    quint16 tcpPort = 23;
    QString command;
    QStringList args; // after the command word
};

// The state of an open link and what the command needs of the switcher.
class Session {
  public:
    Session(const Invocation& inv, const Environment& env, std::ostream& err)
        : inv_(inv), prompts_(err) {
        SerialPortMap ports;
        if (inv.link == Invocation::LinkKind::Serial) {
            ports = SerialPortMap({inv.serialDevice, QString(), QString(), QString()});
        } else if (inv.link != Invocation::LinkKind::Tcp) {
            ports = SerialPortMap::FromSystem();
        }
        link_ = std::make_unique<DeviceLink>(linkState_, host_, prompts_, ports, env.timings,
                                             inv.tcpPort);
    }
    ~Session() {
        if (link_->TcpActive()) {
            link_->TcpClose();
        }
        link_->CloseSerialPort();
    }

    // kDone, kSwitcherFailed (the port or address answered nothing) or kNoLink.
    int Open() {
        switch (inv_.link) {
        case Invocation::LinkKind::Tcp:
            switch (link_->TcpConnect(inv_.tcpAddress)) {
            case DeviceLink::TcpOutcome::Probed:
                return kDone;
            case DeviceLink::TcpOutcome::Silent:
                return kSwitcherFailed;
            case DeviceLink::TcpOutcome::NotConnected:
                return kNoLink;
            }
            return kNoLink;
        case Invocation::LinkKind::Search:
            if (link_->SearchPorts(0) < 0) {
                return kNoLink;
            }
            break;
        case Invocation::LinkKind::Serial:
        case Invocation::LinkKind::Com: {
            const int n = inv_.link == Invocation::LinkKind::Serial ? 1 : inv_.com;
            const int opened = link_->OpenAndCheckPort(n);
            if (opened == -4) {
                return kSwitcherFailed; // the port opened; the switcher did not answer
            }
            if (opened != 0) {
                return kNoLink;
            }
            break;
        }
        }
        link_->SetSerialConnected(true);
        return kDone;
    }

    // Status block and group table, as the window holds them before a click.
    bool ReadStatusAndGroups() {
        return Query(StatusQuery::Minfoqv,
                     [this](auto p) { return state_.LoadStatusPayload(p); }) &&
               Query(StatusQuery::Ginfoqv, [this](auto p) {
                   return LoadGroupPayload(p, LargePayloadForm(state_.model), state_.groups);
               });
    }
    bool ReadStatus() {
        return Query(StatusQuery::Minfoqv, [this](auto p) { return state_.LoadStatusPayload(p); });
    }
    bool ReadAll() { return ReadBack(*link_, state_, host_, prompts_) >= 1 && !prompts_.Failed(); }

    int Send(const Commands& commands) {
        link_->SendCommands(commands);
        return prompts_.Failed() ? kSwitcherFailed : kDone;
    }
    bool Failed() const { return prompts_.Failed(); }
    DeviceState& State() { return state_; }

  private:
    template <typename Load> bool Query(StatusQuery q, Load load) {
        const int length = ExpectedLength(q, state_.model, state_.status.ModelCode());
        if (!link_->QueryStatus(QueryLine(q), length)) {
            return false;
        }
        const auto payload =
            ExtractPayload(link_->ReceiveBuffer(), static_cast<std::size_t>(length));
        if (payload && load(*payload)) {
            if (q == StatusQuery::Minfoqv) {
                state_.statusRead = true;
            }
            return true;
        }
        return false;
    }

    const Invocation& inv_;
    LinkState linkState_;
    NullLinkHost host_;
    ErrPrompts prompts_;
    DeviceState state_;
    std::unique_ptr<DeviceLink> link_;
};

QJsonValue InputOrNull(int value) {
    return value == NoInput ? QJsonValue() : QJsonValue(value + 1);
}

void PrintStatus(DeviceState& s, bool json, std::ostream& out) {
    const auto& st = s.status;
    const Grouping grouping(s);
    const QString model = QString::fromStdString(ModelSizeText(st.ModelCode()));
    const QString firmware = QString::fromLatin1(st.FirmwareVersion().c_str());
    const QString ip = QString::fromStdString(st.IPAddressText());
    const bool audio = s.AudioPresent();
    if (json) {
        QJsonArray outputs;
        for (int o = 0; o < s.ShownOutputs(); ++o) {
            outputs.append(
                QJsonObject{{QStringLiteral("output"), o + 1},
                            {QStringLiteral("video"), InputOrNull(s.outputs.videoInput(o))},
                            {QStringLiteral("audio"), InputOrNull(s.outputs.audioInput(o))},
                            {QStringLiteral("video_taken"), s.outputs.videoTaken(o) != 0},
                            {QStringLiteral("audio_taken"), s.outputs.audioTaken(o) != 0},
                            {QStringLiteral("muted"), s.outputs.muted(o) != 0}});
        }
        QJsonArray levels;
        for (int i = 0; i < s.Inputs(); ++i) {
            levels.append(QJsonObject{{QStringLiteral("input"), i + 1},
                                      {QStringLiteral("level"), s.levels.level(i)},
                                      {QStringLiteral("db"), LevelToDb(s.levels.level(i))}});
        }
        QJsonArray groups;
        for (int g = 0; g < grouping.GroupCount(); ++g) {
            if (!grouping.HasMembers(g)) {
                continue;
            }
            QJsonArray outs;
            QJsonArray ins;
            for (int o = 0; o < grouping.OutputCount(); ++o) {
                if (grouping.IsOutputMember(g, o)) {
                    outs.append(o + 1);
                }
            }
            for (int k = 0; k < grouping.InputCount(); ++k) {
                if (grouping.IsInputMember(g, k)) {
                    ins.append(k + 1);
                }
            }
            groups.append(QJsonObject{{QStringLiteral("group"), g + 1},
                                      {QStringLiteral("outputs"), outs},
                                      {QStringLiteral("inputs"), ins}});
        }
        QJsonArray presets;
        for (int n = 1; n <= kPresetCount; ++n) {
            if (PresetIsStored(s.presets, n) != 0) {
                presets.append(n);
            }
        }
        const QJsonObject all{
            {QStringLiteral("model"), model},       {QStringLiteral("audio"), audio},
            {QStringLiteral("firmware"), firmware}, {QStringLiteral("ip"), ip},
            {QStringLiteral("outputs"), outputs},   {QStringLiteral("levels"), levels},
            {QStringLiteral("groups"), groups},     {QStringLiteral("presets"), presets}};
        out << QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
        return;
    }
    const auto input = [](int v) {
        return v == NoInput ? std::string("--") : std::to_string(v + 1);
    };
    out << "Model " << Text(model) << ", audio " << (audio ? "yes" : "no") << ", firmware "
        << Text(firmware) << ", IP " << Text(ip) << "\n\n";
    out << "Output  Video       Audio       Mute\n";
    for (int o = 0; o < s.ShownOutputs(); ++o) {
        const auto layer = [&](int v, int taken) {
            return input(v) + (taken != 0 ? "" : " (temp)");
        };
        out << std::setw(6) << o + 1 << "  " << std::left << std::setw(12)
            << layer(s.outputs.videoInput(o), s.outputs.videoTaken(o)) << std::setw(12)
            << layer(s.outputs.audioInput(o), s.outputs.audioTaken(o)) << std::right
            << (s.outputs.muted(o) != 0 ? "on" : "off") << '\n';
    }
    out << "\nInput  Level   dB\n";
    for (int i = 0; i < s.Inputs(); ++i) {
        out << std::setw(5) << i + 1 << "  " << std::setw(5) << int(s.levels.level(i)) << "  "
            << std::setw(3) << LevelToDb(s.levels.level(i)) << '\n';
    }
    out << "\nGroups:";
    bool any = false;
    for (int g = 0; g < grouping.GroupCount(); ++g) {
        if (!grouping.HasMembers(g)) {
            continue;
        }
        any = true;
        out << "\n  " << g + 1 << ": outputs";
        for (int o = 0; o < grouping.OutputCount(); ++o) {
            if (grouping.IsOutputMember(g, o)) {
                out << ' ' << o + 1;
            }
        }
        out << ", inputs";
        for (int k = 0; k < grouping.InputCount(); ++k) {
            if (grouping.IsInputMember(g, k)) {
                out << ' ' << k + 1;
            }
        }
    }
    out << (any ? "\n" : " none\n") << "Stored presets:";
    any = false;
    for (int n = 1; n <= kPresetCount; ++n) {
        if (PresetIsStored(s.presets, n) != 0) {
            out << ' ' << n;
            any = true;
        }
    }
    out << (any ? "\n" : " none\n");
}

// Reads the whole file, or a message.
std::optional<QString> ReadText(const QString& path, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1").arg(path);
    }
    text = QString::fromUtf8(file.readAll());
    return std::nullopt;
}

int Labels(const QStringList& a, std::ostream& out, std::ostream& err) {
    if (a.size() < 2 || (a[0] != QLatin1String("export") && a[0] != QLatin1String("import")) ||
        (a[0] == QLatin1String("import") && a.size() != 3) || a.size() > 3) {
        throw UsageError{
            QStringLiteral("usage: labels export CONFIG [CSV] | labels import CONFIG CSV")};
    }
    const std::filesystem::path config(QFile::encodeName(a[1]).toStdString());
    ConfigImage image;
    if (const ConfigReadResult r = ReadConfigFile(config, image); r != ConfigReadResult::Ok) {
        err << ConfigReadErrorText(r) << '\n';
        return kUsage;
    }
    if (a[0] == QLatin1String("export")) {
        const QByteArray csv = LabelsToCsv(image).toUtf8();
        if (a.size() == 2) {
            out << csv.toStdString();
            return kDone;
        }
        QFile file(a[2]);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(csv) != csv.size()) {
            err << "cannot write " << Text(a[2]) << '\n';
            return kUsage;
        }
        return kDone;
    }
    QString csv;
    if (const auto problem = ReadText(a[2], csv)) {
        err << Text(*problem) << '\n';
        return kUsage;
    }
    if (const auto problem = CsvToLabels(csv, image)) {
        err << Text(a[2]) << ": " << Text(*problem) << '\n';
        return kUsage;
    }
    if (!WriteConfigFile(config, image)) {
        err << kConfigCreateErrorText << '\n';
        return kUsage;
    }
    return kDone;
}

// A command's own options: parsed with negative numbers kept as arguments.
struct CommandLine {
    QCommandLineParser parser;
    QStringList positional;
};

void ParseCommand(const QString& command, const QStringList& args,
                  const QList<QCommandLineOption>& options, CommandLine& line) {
    line.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    line.parser.addOptions(options);
    QStringList argv{command};
    static const QRegularExpression negative(QStringLiteral("^-\\d+$"));
    QStringList numbers; // negative numbers would read as options
    for (const QString& a : args) {
        if (negative.match(a).hasMatch()) {
            numbers << a;
            argv << QStringLiteral("__number%1").arg(numbers.size() - 1);
        } else {
            argv << a;
        }
    }
    if (!line.parser.parse(argv)) {
        throw UsageError{line.parser.errorText()};
    }
    for (QString p : line.parser.positionalArguments()) {
        if (p.startsWith(QLatin1String("__number"))) {
            p = numbers.value(p.mid(8).toInt());
        }
        line.positional << p;
    }
}

void NeedArgs(const CommandLine& line, qsizetype n, const QString& command) {
    if (line.positional.size() != n) {
        throw UsageError{QStringLiteral("usage: %1")
                             .arg(CommandHelp().at(command).section(QLatin1Char('\n'), 0, 0))};
    }
}

int RunCommand(const Invocation& inv, const Environment& env, std::ostream& out,
               std::ostream& err) {
    const QString& c = inv.command;
    if (c == QLatin1String("labels")) {
        return Labels(inv.args, out, err);
    }

    // Arguments that need no switcher are checked before anything is opened.
    CommandLine line;
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption video(QStringLiteral("video")), audio(QStringLiteral("audio")),
        take(QStringLiteral("take")), noGroup(QStringLiteral("no-group"));
    const QCommandLineOption raw(QStringLiteral("raw"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringLiteral("output"), QString(), QStringLiteral("O"));
    const QCommandLineOption inputOption(QStringLiteral("input"), QString(), QStringLiteral("I"));
    const QCommandLineOption factory(QStringLiteral("factory"));
    std::function<int(Session&)> work;

    if (c == QLatin1String("status")) {
        ParseCommand(c, inv.args, {json}, line);
        NeedArgs(line, 0, c);
        const bool asJson = line.parser.isSet(json);
        work = [&out, asJson](Session& s) {
            if (!s.ReadAll()) {
                return kSwitcherFailed;
            }
            PrintStatus(s.State(), asJson, out);
            return kDone;
        };
    } else if (c == QLatin1String("route")) {
        ParseCommand(c, inv.args, {video, audio, take, noGroup}, line);
        NeedArgs(line, 2, c);
        if (line.parser.isSet(video) && line.parser.isSet(audio)) {
            throw UsageError{QStringLiteral("choose --video or --audio, not both")};
        }
        const int o = Number(line.positional[0], 1, kMaxOutputs, "OUTPUT") - 1;
        const int k = Number(line.positional[1], 1, kMaxInputs, "INPUT") - 1;
        const AvMode mode = line.parser.isSet(video)   ? AvMode::VideoOnly
                            : line.parser.isSet(audio) ? AvMode::AudioOnly
                                                       : AvMode::AudioVideo;
        const bool commit = line.parser.isSet(take);
        const bool group = !line.parser.isSet(noGroup);
        work = [&err, o, k, mode, commit, group](Session& s) {
            if (!s.ReadStatusAndGroups()) {
                return kSwitcherFailed;
            }
            DeviceState& state = s.State();
            if (o >= state.ShownOutputs() || k >= state.Inputs()) {
                err << "this " << ModelSizeText(state.status.ModelCode()) << " switcher has "
                    << state.Inputs() << " inputs and " << state.ShownOutputs() << " outputs\n";
                return kUsage;
            }
            Switching switching(state);
            if (!switching.OutputEnabledFor(o, k)) {
                err << "input " << k + 1 << " is not one of the inputs of output " << o + 1
                    << "'s group\n";
                return kUsage;
            }
            switching.SelectInput(k);
            Commands commands = switching.ToggleOutput(o, mode);
            if (group) {
                const Commands others = switching.PropagateToGroup(o, mode);
                commands.insert(commands.end(), others.begin(), others.end());
            }
            if (commit) {
                commands.push_back(cmd::Take(true));
            }
            return s.Send(commands);
        };
    } else if (c == QLatin1String("take") || c == QLatin1String("cancel") ||
               c == QLatin1String("clear")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 0, c);
        const Command command =
            c == QLatin1String("clear") ? Command(cmd::Clear()) : Command(cmd::Take(c == "take"));
        work = [command](Session& s) { return s.Send({command}); };
    } else if (c == QLatin1String("mute")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 2, c);
        const int o = Number(line.positional[0], 1, kMaxOutputs, "OUTPUT") - 1;
        const bool on = OnOff(line.positional[1]);
        work = [&err, o, on](Session& s) {
            if (!s.ReadStatus()) {
                return kSwitcherFailed;
            }
            if (o >= s.State().ShownOutputs()) {
                err << "this switcher has " << s.State().ShownOutputs() << " outputs\n";
                return kUsage;
            }
            return s.Send(Switching(s.State()).SetOutputMute(o, on));
        };
    } else if (c == QLatin1String("level")) {
        ParseCommand(c, inv.args, {raw}, line);
        const bool isRaw = line.parser.isSet(raw);
        NeedArgs(line, isRaw ? 1 : 2, c);
        const int i = Number(line.positional[0], 1, kMaxInputs, "INPUT") - 1;
        const int position = isRaw ? Number(line.parser.value(raw), 0, 252, "N")
                                   : DbToPosition(Number(line.positional[1], -74, 20, "DB"));
        work = [&err, i, position](Session& s) {
            if (!s.ReadStatus()) {
                return kSwitcherFailed;
            }
            if (i >= s.State().Inputs()) {
                err << "this switcher has " << s.State().Inputs() << " inputs\n";
                return kUsage;
            }
            return s.Send(SetAudioLevel(s.State(), i, position));
        };
    } else if (c == QLatin1String("preset")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 2, c);
        const QString verb = line.positional[0];
        if (verb != QLatin1String("store") && verb != QLatin1String("recall")) {
            throw UsageError{QStringLiteral("expected store or recall, not \"%1\"").arg(verb)};
        }
        const int p = Number(line.positional[1], 1, kPresetCount, "N") - 1;
        const bool store = verb == QLatin1String("store");
        work = [p, store](Session& s) {
            Switching switching(s.State());
            Presets presets(s.State(), switching);
            return s.Send(store ? presets.StorePreset(p)
                                : presets.RecallPreset(p, Presets::RecallMode::Direct));
        };
    } else if (c == QLatin1String("group")) {
        ParseCommand(c, inv.args, {output, inputOption}, line);
        NeedArgs(line, 2, c);
        const QString verb = line.positional[0];
        if (verb == QLatin1String("clear")) {
            const bool all = line.positional[1] == QLatin1String("all");
            const int g = all ? -1 : Number(line.positional[1], 1, kMaxOutputs, "G") - 1;
            work = [&err, g, all](Session& s) {
                if (!s.ReadStatusAndGroups()) {
                    return kSwitcherFailed;
                }
                Grouping grouping(s.State());
                if (!all && g >= grouping.GroupCount()) {
                    err << "this switcher has " << grouping.GroupCount() << " groups\n";
                    return kUsage;
                }
                return s.Send(all ? grouping.RemoveAllGroups() : grouping.RemoveGroup(g));
            };
        } else if (verb == QLatin1String("add") || verb == QLatin1String("del")) {
            const bool add = verb == QLatin1String("add");
            const bool isOutput = line.parser.isSet(output);
            if (isOutput == line.parser.isSet(inputOption)) {
                throw UsageError{QStringLiteral("give one of --output O or --input I")};
            }
            const int g = Number(line.positional[1], 1, kMaxOutputs, "G") - 1;
            const int member = isOutput
                                   ? Number(line.parser.value(output), 1, kMaxOutputs, "O") - 1
                                   : Number(line.parser.value(inputOption), 1, kMaxInputs, "I") - 1;
            work = [&err, &out, g, member, add, isOutput](Session& s) {
                if (!s.ReadStatusAndGroups()) {
                    return kSwitcherFailed;
                }
                Grouping grouping(s.State());
                const int limit = isOutput ? grouping.OutputCount() : grouping.InputCount();
                if (g >= grouping.GroupCount() || member >= limit) {
                    err << "this switcher has " << grouping.GroupCount() << " groups, "
                        << grouping.InputCount() << " inputs and " << grouping.OutputCount()
                        << " outputs\n";
                    return kUsage;
                }
                const bool member_now = isOutput ? grouping.IsOutputMember(g, member)
                                                 : grouping.IsInputMember(g, member);
                if (member_now == add) {
                    out << (isOutput ? "output " : "input ") << member + 1
                        << (add ? " is already in group " : " is not in group ") << g + 1 << '\n';
                    return kDone;
                }
                if (isOutput) {
                    if (!grouping.OutputAvailableFor(g, member)) {
                        err << "output " << member + 1 << " belongs to another group\n";
                        return kUsage;
                    }
                    return s.Send(grouping.ToggleGroupOutput(g, member));
                }
                const InputToggle toggle = grouping.ToggleGroupInput(g, member);
                if (toggle.needsOutput) {
                    err << "group " << g + 1 << " has no output: add an output first\n";
                    return kUsage;
                }
                return s.Send(toggle.commands);
            };
        } else {
            throw UsageError{QStringLiteral("expected add, del or clear, not \"%1\"").arg(verb)};
        }
    } else if (c == QLatin1String("lock")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 1, c);
        const bool on = OnOff(line.positional[0]);
        work = [on](Session& s) { return s.Send(Setup(s.State()).SetFrontPanelLock(on)); };
    } else if (c == QLatin1String("switch-source")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 1, c);
        int item = static_cast<int>(kSwitchSourceNames.indexOf(line.positional[0].toLower()));
        if (item < 0) {
            item = Number(line.positional[0], 0, kSwitchSourceItems - 1, "the switch source");
        }
        work = [item](Session& s) { return s.Send(Setup(s.State()).SetVideoSwitchSource(item)); };
    } else if (c == QLatin1String("rgb-delay")) {
        ParseCommand(c, inv.args, {}, line);
        NeedArgs(line, 1, c);
        const int delay = Number(line.positional[0], kMinRgbDelay, kMaxRgbDelay, "MS");
        work = [delay](Session& s) { return s.Send(Setup(s.State()).SetRGBDelay(delay)); };
    } else if (c == QLatin1String("reset")) {
        ParseCommand(c, inv.args, {factory}, line);
        NeedArgs(line, 0, c);
        const bool toFactory = line.parser.isSet(factory);
        work = [toFactory](Session& s) { return s.Send(Setup::Reset(toFactory)); };
    } else {
        throw UsageError{QStringLiteral("unknown command \"%1\"; see --help").arg(c)};
    }

    Session session(inv, env, err);
    const int opened = session.Open();
    if (opened != kDone) {
        if (!session.Failed()) {
            err << (opened == kNoLink ? "no link to a switcher could be opened\n"
                                      : "the switcher does not answer\n");
        }
        return opened;
    }
    return work(session);
}

} // namespace

int Run(const QStringList& args, std::ostream& out, std::ostream& err, const Environment& env) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kProgramHelp);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Opens the serial DEVICE."),
                                    QStringLiteral("DEVICE"));
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Uses COMn as the program maps it "
                                                "(QVCONTROL_COM1..4, then the system's ports)."),
                                 QStringLiteral("N"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Connects to ADDRESS, port 23 unless :PORT is given."),
        QStringLiteral("ADDRESS[:PORT]"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version."));
    parser.addOptions({serial, com, tcp, help, version});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [ARGS...]"));

    try {
        if (!parser.parse(QStringList{QStringLiteral("quorvel-ctl")} + args)) {
            throw UsageError{parser.errorText()};
        }
        const QStringList rest = parser.positionalArguments();
        if (parser.isSet(version)) {
            out << "quorvel-ctl " << QVC_VERSION << '\n';
            return kDone;
        }
        if (parser.isSet(help) || rest.isEmpty()) {
            if (rest.isEmpty() && !parser.isSet(help)) {
                throw UsageError{QStringLiteral("no command; see --help")};
            }
            out << Text(parser.helpText());
            return kDone;
        }
        Invocation inv;
        inv.command = rest.first();
        inv.args = rest.mid(1);
        inv.tcpPort = env.defaultTcpPort;
        if (inv.args.contains(QStringLiteral("--help")) ||
            inv.args.contains(QStringLiteral("-h"))) {
            const auto it = CommandHelp().find(inv.command);
            if (it == CommandHelp().end()) {
                throw UsageError{
                    QStringLiteral("unknown command \"%1\"; see --help").arg(inv.command)};
            }
            out << Text(it->second) << '\n';
            return kDone;
        }
        if (int(parser.isSet(serial)) + int(parser.isSet(com)) + int(parser.isSet(tcp)) > 1) {
            throw UsageError{QStringLiteral("give at most one of --serial, --com and --tcp")};
        }
        if (parser.isSet(serial)) {
            inv.link = Invocation::LinkKind::Serial;
            inv.serialDevice = parser.value(serial);
        } else if (parser.isSet(com)) {
            inv.link = Invocation::LinkKind::Com;
            inv.com = Number(parser.value(com), 1, 4, "--com");
        } else if (parser.isSet(tcp)) {
            inv.link = Invocation::LinkKind::Tcp;
            const QString value = parser.value(tcp);
            const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
            inv.tcpAddress = colon < 0 ? value : value.left(colon);
            if (colon >= 0) {
                inv.tcpPort = static_cast<quint16>(Number(value.mid(colon + 1), 1, 65535, "PORT"));
            }
        }
        return RunCommand(inv, env, out, err);
    } catch (const UsageError& e) {
        err << "quorvel-ctl: " << Text(e.text) << '\n';
        return kUsage;
    }
}

} // namespace qvc::ctl
