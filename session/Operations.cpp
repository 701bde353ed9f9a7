#include "Operations.h"

#include "model/Audio.h"
#include "model/Grouping.h"
#include "model/Presets.h"
#include "model/Setup.h"
#include "model/Switching.h"
#include "protocol/SystemStatus.h"

#include <iterator>

namespace qvc::session {

namespace {

using Type = Param::Type;

// Argument kinds used by several rows.
Param Number(const char* key, const char* name, int low, int high) {
    Param p;
    p.key = QString::fromLatin1(key);
    p.name = QString::fromLatin1(name);
    p.low = low;
    p.high = high;
    return p;
}
Param OnOff(const char* key, const char* name) {
    Param p = Number(key, name, 0, 0);
    p.type = Type::OnOff;
    return p;
}
Param Words(const char* key, const char* name, int low, int high, const QStringList& words) {
    Param p = Number(key, name, low, high);
    p.type = Type::Word;
    p.words = words;
    return p;
}
Param Flag(const char* key, const char* option, const QVariant& value, const QVariant& fallback,
           const char* choice = "") {
    Param p = Number(key, "", 0, 0);
    p.type = Type::Flag;
    p.option = QString::fromLatin1(option);
    p.flagValue = value;
    p.fallback = fallback;
    p.choice = QString::fromLatin1(choice);
    return p;
}
Param Option(Param p, const char* option) {
    p.option = QString::fromLatin1(option);
    return p;
}
Param OneOf(Param p, const char* choice) {
    p.choice = QString::fromLatin1(choice);
    return p;
}

Outcome Send(Commands commands) {
    Outcome outcome;
    outcome.commands = std::move(commands);
    return outcome;
}
Outcome Refuse(Refusal::Kind kind, const QString& text) {
    Outcome outcome;
    outcome.refusal = Refusal{kind, text};
    return outcome;
}
Outcome Note(const QString& text) {
    Outcome outcome;
    outcome.note = text;
    return outcome;
}
QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

Outcome Route(DeviceState& state, const Args& a) {
    const int o = a.Int(QStringLiteral("output")) - 1;
    const int k = a.Int(QStringLiteral("input")) - 1;
    if (o >= state.ShownOutputs() || k >= state.Inputs()) {
        return Refuse(Refusal::Kind::Usage,
                      QStringLiteral("this %1 switcher has %2 inputs and %3 outputs")
                          .arg(Text(ModelSizeText(state.status.ModelCode())))
                          .arg(state.Inputs())
                          .arg(state.ShownOutputs()));
    }
    Switching switching(state);
    if (k >= 0 && !switching.OutputEnabledFor(o, k)) {
        return Refuse(Refusal::Kind::State,
                      QStringLiteral("input %1 is not one of the inputs of output %2's group")
                          .arg(k + 1)
                          .arg(o + 1));
    }
    const QString layer = a.Word(QStringLiteral("signals"));
    const AvMode mode = layer == QLatin1String("video")   ? AvMode::VideoOnly
                        : layer == QLatin1String("audio") ? AvMode::AudioOnly
                                                          : AvMode::AudioVideo;
    // The output first, then the other outputs of its group, ascending.
    const int group = a.Bool(QStringLiteral("group")) ? switching.GroupOf(o) : -1;
    const int input = k < 0 ? NoInput : k;
    Commands commands = switching.RouteOutput(o, input, mode);
    for (int i = 0; i < state.ShownOutputs(); ++i) {
        if (i != o && group >= 0 && switching.GroupOf(i) == group) {
            const Commands line = switching.RouteOutput(i, input, mode);
            commands.insert(commands.end(), line.begin(), line.end());
        }
    }
    if (a.Bool(QStringLiteral("take"))) {
        const Commands take = switching.Take();
        commands.insert(commands.end(), take.begin(), take.end());
    }
    if (commands.empty()) {
        return Note(QStringLiteral("output %1 already shows %2")
                        .arg(o + 1)
                        .arg(k < 0 ? QStringLiteral("no input") : QStringLiteral("input %1").arg(k + 1)));
    }
    return Send(commands);
}

Outcome Mute(DeviceState& state, const Args& a) {
    const int o = a.Int(QStringLiteral("output")) - 1;
    if (o >= state.ShownOutputs()) {
        return Refuse(Refusal::Kind::Usage,
                      QStringLiteral("this switcher has %1 outputs").arg(state.ShownOutputs()));
    }
    return Send(Switching(state).SetOutputMute(o, a.Bool(QStringLiteral("muted"))));
}

Outcome Level(DeviceState& state, const Args& a) {
    const int i = a.Int(QStringLiteral("input")) - 1;
    if (i >= state.Inputs()) {
        return Refuse(Refusal::Kind::Usage,
                      QStringLiteral("this switcher has %1 inputs").arg(state.Inputs()));
    }
    const int position = a.Has(QStringLiteral("raw")) ? a.Int(QStringLiteral("raw"))
                                                      : DbToPosition(a.Int(QStringLiteral("db")));
    return Send(SetAudioLevel(state, i, position));
}

Outcome GroupClear(DeviceState& state, const Args& a) {
    Grouping grouping(state);
    if (a.Word(QStringLiteral("group")) == QLatin1String("all")) {
        return Send(grouping.RemoveAllGroups());
    }
    const int g = a.Int(QStringLiteral("group")) - 1;
    if (g >= grouping.GroupCount()) {
        return Refuse(Refusal::Kind::Usage,
                      QStringLiteral("this switcher has %1 groups").arg(grouping.GroupCount()));
    }
    return Send(grouping.RemoveGroup(g));
}

Outcome GroupEdit(DeviceState& state, const Args& a, bool add) {
    Grouping grouping(state);
    const bool isOutput = a.Has(QStringLiteral("output"));
    const int g = a.Int(QStringLiteral("group")) - 1;
    const int member = a.Int(isOutput ? QStringLiteral("output") : QStringLiteral("input")) - 1;
    const int limit = isOutput ? grouping.OutputCount() : grouping.InputCount();
    if (g >= grouping.GroupCount() || member >= limit) {
        return Refuse(Refusal::Kind::Usage,
                      QStringLiteral("this switcher has %1 groups, %2 inputs and %3 outputs")
                          .arg(grouping.GroupCount())
                          .arg(grouping.InputCount())
                          .arg(grouping.OutputCount()));
    }
    const bool memberNow =
        isOutput ? grouping.IsOutputMember(g, member) : grouping.IsInputMember(g, member);
    if (memberNow == add) {
        return Note(QStringLiteral("%1 %2 %3 %4")
                        .arg(isOutput ? QStringLiteral("output") : QStringLiteral("input"))
                        .arg(member + 1)
                        .arg(add ? QStringLiteral("is already in group")
                                 : QStringLiteral("is not in group"))
                        .arg(g + 1));
    }
    if (isOutput) {
        if (!grouping.OutputAvailableFor(g, member)) {
            return Refuse(Refusal::Kind::State,
                          QStringLiteral("output %1 belongs to another group").arg(member + 1));
        }
        return Send(grouping.ToggleGroupOutput(g, member));
    }
    const InputToggle toggle = grouping.ToggleGroupInput(g, member);
    if (toggle.needsOutput) {
        return Refuse(Refusal::Kind::State,
                      QStringLiteral("group %1 has no output: add an output first").arg(g + 1));
    }
    return Send(toggle.commands);
}

Outcome Preset(DeviceState& state, const Args& a, bool store) {
    const int p = a.Int(QStringLiteral("preset")) - 1;
    if (!store && state.presetsRead && state.presets.stored(p) == 0) {
        return Refuse(Refusal::Kind::State, QStringLiteral("preset %1 is empty").arg(p + 1));
    }
    Switching switching(state);
    Presets presets(state, switching);
    return Send(store ? presets.StorePreset(p)
                      : presets.RecallPreset(p, Presets::RecallMode::Direct));
}

Outcome SwitchSource(DeviceState& state, const Args& a) {
    const QString word = a.Word(QStringLiteral("switch_source"));
    qsizetype item = SwitchSourceNames().indexOf(word);
    if (item < 0) {
        item = a.Int(QStringLiteral("switch_source"));
    }
    return Send(Setup(state).SetVideoSwitchSource(static_cast<int>(item)));
}

Operation Row(const char* name, const char* synopsis, const char* summary,
              std::vector<Param> params, Reads reads,
              std::function<Outcome(DeviceState&, const Args&)> run) {
    Operation op;
    op.name = QString::fromLatin1(name);
    op.command = op.name.section(QLatin1Char(' '), 0, 0);
    op.verb = op.name.section(QLatin1Char(' '), 1, 1);
    op.synopsis = QString::fromLatin1(synopsis);
    op.summary = QString::fromLatin1(summary);
    op.params = std::move(params);
    op.reads = reads;
    op.run = std::move(run);
    return op;
}

const Param kOutput = Number("output", "OUTPUT", 1, kMaxOutputs);
const Param kInput = Number("input", "INPUT", 1, kMaxInputs);
const Param kRouteInput = Number("input", "INPUT", 0, kMaxInputs); // 0: no input
const Param kPreset = Number("preset", "N", 1, kPresetCount);
const Param kGroup = Number("group", "G", 1, kMaxOutputs);

// The state, routes, mutes and levels.
std::vector<Operation> RoutingRows() {
    const auto row = Row;
    const Param& output = kOutput;
    const Param& input = kInput;
    const Param& routeInput = kRouteInput;
    return {
        row("status", "status [--json]",
            "reads the whole state back, as the window does, and prints it",
            {Flag("json", "--json", true, false)}, Reads::Everything,
            [](DeviceState&, const Args&) { return Outcome{}; }),
        row("route", "route OUTPUT INPUT [--video | --audio] [--take] [--no-group]",
            "RTEMP to OUTPUT and, unless --no-group, the other outputs of its group; "
            "INPUT 0 disconnects; an input the group does not admit is refused; "
            "--take adds TAKE 1",
            {output, routeInput,
             Flag("signals", "--video", QStringLiteral("video"), QStringLiteral("av"), "layer"),
             Flag("signals", "--audio", QStringLiteral("audio"), QStringLiteral("av"), "layer"),
             Flag("take", "--take", true, false), Flag("group", "--no-group", false, true)},
            Reads::StatusAndGroups, Route),
        row("take", "take", "TAKE 1: commits the temporary routes", {}, Reads::Nothing,
            [](DeviceState& s, const Args&) { return Send(Switching(s).Take()); }),
        row("cancel", "cancel", "TAKE 0: withdraws the temporary routes", {}, Reads::Nothing,
            [](DeviceState& s, const Args&) {
                Switching(s).CancelPending();
                return Send({cmd::Take(false)});
            }),
        row("clear", "clear", "CLEAR: clears every route", {}, Reads::Nothing,
            [](DeviceState& s, const Args&) {
                Switching switching(s);
                Commands commands = switching.CancelPending();
                const Commands clear = switching.ClearAllRouting();
                commands.insert(commands.end(), clear.begin(), clear.end());
                return Send(commands);
            }),
        row("mute", "mute OUTPUT on|off", "OMUTE: mutes an output or frees it",
            {output, OnOff("muted", "on|off")}, Reads::Status, Mute),
        row("level", "level INPUT DB | level INPUT --raw N",
            "ALVL: DB -74..20 sent as the Audio page's slider position, or the "
            "position N 0..252",
            {input, OneOf(Number("db", "DB", -74, 20), "level"),
             OneOf(Option(Number("raw", "N", 0, 252), "--raw"), "level")},
            Reads::Status, Level),
    };
}

// Presets and groups.
std::vector<Operation> PresetAndGroupRows() {
    const auto row = Row;
    const Param& preset = kPreset;
    const Param& group = kGroup;
    return {
        row("preset store", "preset store N", "TAKE 1, then PRST N", {preset}, Reads::Nothing,
            [](DeviceState& s, const Args& a) { return Preset(s, a, true); }),
        row("preset recall", "preset recall N", "RPRST N 0", {preset}, Reads::Nothing,
            [](DeviceState& s, const Args& a) { return Preset(s, a, false); }),
        row("group add", "group add G --output O | --input I",
            "GADD; an input needs an output in the group first",
            {group, OneOf(Option(Number("output", "O", 1, kMaxOutputs), "--output"), "member"),
             OneOf(Option(Number("input", "I", 1, kMaxInputs), "--input"), "member")},
            Reads::StatusAndGroups,
            [](DeviceState& s, const Args& a) { return GroupEdit(s, a, true); }),
        row("group del", "group del G --output O | --input I",
            "GDEL, or GCLEAR for the last output",
            {group, OneOf(Option(Number("output", "O", 1, kMaxOutputs), "--output"), "member"),
             OneOf(Option(Number("input", "I", 1, kMaxInputs), "--input"), "member")},
            Reads::StatusAndGroups,
            [](DeviceState& s, const Args& a) { return GroupEdit(s, a, false); }),
        row("group clear", "group clear G | all", "GCLEAR",
            {Words("group", "G", 1, kMaxOutputs, {QStringLiteral("all")})}, Reads::StatusAndGroups,
            GroupClear),
    };
}

// The system settings and the reset.
std::vector<Operation> SettingRows() {
    const auto row = Row;
    return {
        row("lock", "lock on|off", "FPLOCK: locks or frees the front panel",
            {OnOff("front_panel_lock", "on|off")}, Reads::Nothing,
            [](DeviceState& s, const Args& a) {
                return Send(Setup(s).SetFrontPanelLock(a.Bool(QStringLiteral("front_panel_lock"))));
            }),
        row("switch-source", "switch-source NAME|N",
            "SWITCH: rgb-delay (0), channel1-sync (1), channel1-video (2) or "
            "vref-in (3)",
            {Words("switch_source", "the switch source", 0, kSwitchSourceItems - 1, SwitchSourceNames())},
            Reads::Nothing, SwitchSource),
        row("rgb-delay", "rgb-delay MS", "FDLY: the RGB delay, 0 to 4000 ms",
            {Number("rgb_delay", "MS", kMinRgbDelay, kMaxRgbDelay)}, Reads::Nothing,
            [](DeviceState& s, const Args& a) {
                return Send(Setup(s).SetRGBDelay(a.Int(QStringLiteral("rgb_delay"))));
            }),
        row("reset", "reset [--factory]",
            "RESETQV R, or F with --factory, waiting as long as the window does",
            {Flag("factory", "--factory", true, false)}, Reads::Nothing,
            [](DeviceState&, const Args& a) {
                return Send(Setup::Reset(a.Bool(QStringLiteral("factory"))));
            }),
    };
}

std::vector<Operation> BuildTable() {
    std::vector<Operation> table = RoutingRows();
    for (auto* part : {PresetAndGroupRows, SettingRows}) {
        std::vector<Operation> rows = part();
        std::move(rows.begin(), rows.end(), std::back_inserter(table));
    }
    return table;
}

} // namespace

const std::vector<Operation>& OperationTable() {
    static const std::vector<Operation> table = BuildTable();
    return table;
}

const Operation* FindOperation(const QString& name) {
    for (const Operation& op : OperationTable()) {
        if (op.name == name) {
            return &op;
        }
    }
    return nullptr;
}

std::vector<const Operation*> OperationsOf(const QString& command) {
    std::vector<const Operation*> rows;
    for (const Operation& op : OperationTable()) {
        if (op.command == command) {
            rows.push_back(&op);
        }
    }
    return rows;
}

QString RangeErrorText(const QString& name, int low, int high, const QString& given) {
    return QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
        .arg(name)
        .arg(low)
        .arg(high)
        .arg(given);
}

QString OnOffErrorText(const QString& given) {
    return QStringLiteral("expected on or off, not \"%1\"").arg(given);
}

const QStringList& SwitchSourceNames() {
    static const QStringList names = {QStringLiteral("rgb-delay"), QStringLiteral("channel1-sync"),
                                      QStringLiteral("channel1-video"), QStringLiteral("vref-in")};
    return names;
}

} // namespace qvc::session
