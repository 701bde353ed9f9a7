#include "StateDocument.h"

#include "model/Audio.h"
#include "model/Grouping.h"
#include "model/Presets.h"
#include "model/Setup.h"
#include "protocol/SystemStatus.h"
#include "session/Operations.h"

#include <QJsonArray>
#include <iomanip>
#include <sstream>

namespace qvc::session {

namespace {

QJsonValue InputOrNull(int value) {
    return value == NoInput ? QJsonValue() : QJsonValue(value + 1);
}

QJsonArray Outputs(const DeviceState& s) {
    QJsonArray outputs;
    for (int o = 0; o < s.ShownOutputs(); ++o) {
        outputs.append(QJsonObject{{QStringLiteral("output"), o + 1},
                                   {QStringLiteral("video"), InputOrNull(s.outputs.videoInput(o))},
                                   {QStringLiteral("audio"), InputOrNull(s.outputs.audioInput(o))},
                                   {QStringLiteral("video_taken"), s.outputs.videoTaken(o) != 0},
                                   {QStringLiteral("audio_taken"), s.outputs.audioTaken(o) != 0},
                                   {QStringLiteral("muted"), s.outputs.muted(o) != 0}});
    }
    return outputs;
}

QJsonArray Levels(const DeviceState& s) {
    QJsonArray levels;
    for (int i = 0; i < s.Inputs(); ++i) {
        levels.append(QJsonObject{{QStringLiteral("input"), i + 1},
                                  {QStringLiteral("level"), s.levels.level(i)},
                                  {QStringLiteral("db"), LevelToDb(s.levels.level(i))}});
    }
    return levels;
}

QJsonArray Groups(DeviceState& s) {
    const Grouping grouping(s);
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
    return groups;
}

QJsonArray LabelList(const LabelTable& table) {
    QJsonArray list;
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        const std::string& label = table[static_cast<std::size_t>(n - 1)];
        list.append(QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
    }
    return list;
}

QJsonObject Settings(const DeviceState& s) {
    const int source = s.status.VideoSwitchSource();
    return QJsonObject{
        {QStringLiteral("front_panel_lock"), s.status.FrontPanelLock() != 0},
        {QStringLiteral("switch_source"), source >= 0 && source < kSwitchSourceItems
                                              ? QJsonValue(SwitchSourceNames()[source])
                                              : QJsonValue(source)},
        {QStringLiteral("rgb_delay"), s.status.RGBDelay()}};
}

} // namespace

QJsonObject StateDocument(const DocumentSource& src) {
    // Grouping reads through a non-const state; it changes nothing here.
    DeviceState& s = const_cast<DeviceState&>(src.state);
    QJsonArray presets;
    for (int n = 1; n <= kPresetCount; ++n) {
        if (PresetIsStored(s.presets, n) != 0) {
            presets.append(n);
        }
    }
    const int live = LivePreset(s);
    return QJsonObject{
        {QStringLiteral("revision"), src.revision},
        {QStringLiteral("link"), QJsonObject{{QStringLiteral("up"), src.linkUp},
                                             {QStringLiteral("kind"), src.linkKind},
                                             {QStringLiteral("target"), src.linkTarget}}},
        {QStringLiteral("model"), QString::fromStdString(ModelSizeText(s.status.ModelCode()))},
        {QStringLiteral("input_count"), s.Inputs()},
        {QStringLiteral("output_count"), s.ShownOutputs()},
        {QStringLiteral("audio"), s.AudioPresent()},
        {QStringLiteral("firmware"), QString::fromLatin1(s.status.FirmwareVersion().c_str())},
        {QStringLiteral("ip"), QString::fromStdString(s.status.IPAddressText())},
        {QStringLiteral("settings"), Settings(s)},
        {QStringLiteral("outputs"), Outputs(s)},
        {QStringLiteral("levels"), Levels(s)},
        {QStringLiteral("groups"), Groups(s)},
        {QStringLiteral("presets"), presets},
        {QStringLiteral("live_preset"), live > 0 ? QJsonValue(live) : QJsonValue()},
        {QStringLiteral("labels"),
         QJsonObject{{QStringLiteral("inputs"), LabelList(src.labels.inputs)},
                     {QStringLiteral("outputs"), LabelList(src.labels.outputs)},
                     {QStringLiteral("groups"), LabelList(src.labels.groups)},
                     {QStringLiteral("presets"), LabelList(src.labels.presets)}}}};
}

namespace {

std::string Text(const QJsonValue& v) {
    return v.toString().toLocal8Bit().toStdString();
}

std::string InputText(const QJsonValue& v) {
    return v.isNull() ? std::string("--") : std::to_string(v.toInt());
}

// " 1 2 3", or " none".
std::string List(const QJsonArray& numbers) {
    std::string text;
    for (const QJsonValue& n : numbers) {
        text += ' ' + std::to_string(n.toInt());
    }
    return text;
}

} // namespace

std::string StateText(const QJsonObject& doc) {
    std::ostringstream out;
    out << "Model " << Text(doc[QStringLiteral("model")]) << ", audio "
        << (doc[QStringLiteral("audio")].toBool() ? "yes" : "no") << ", firmware "
        << Text(doc[QStringLiteral("firmware")]) << ", IP " << Text(doc[QStringLiteral("ip")])
        << "\n\n";
    out << "Output  Video       Audio       Mute\n";
    for (const QJsonValue& v : doc[QStringLiteral("outputs")].toArray()) {
        const QJsonObject o = v.toObject();
        const auto layer = [&](const char* input, const char* taken) {
            return InputText(o[QLatin1String(input)]) +
                   (o[QLatin1String(taken)].toBool() ? "" : " (temp)");
        };
        out << std::setw(6) << o[QStringLiteral("output")].toInt() << "  " << std::left
            << std::setw(12) << layer("video", "video_taken") << std::setw(12)
            << layer("audio", "audio_taken") << std::right
            << (o[QStringLiteral("muted")].toBool() ? "on" : "off") << '\n';
    }
    out << "\nInput  Level   dB\n";
    for (const QJsonValue& v : doc[QStringLiteral("levels")].toArray()) {
        const QJsonObject l = v.toObject();
        out << std::setw(5) << l[QStringLiteral("input")].toInt() << "  " << std::setw(5)
            << l[QStringLiteral("level")].toInt() << "  " << std::setw(3)
            << l[QStringLiteral("db")].toInt() << '\n';
    }
    const QJsonArray groups = doc[QStringLiteral("groups")].toArray();
    out << "\nGroups:";
    for (const QJsonValue& v : groups) {
        const QJsonObject g = v.toObject();
        out << "\n  " << g[QStringLiteral("group")].toInt() << ": outputs"
            << List(g[QStringLiteral("outputs")].toArray()) << ", inputs"
            << List(g[QStringLiteral("inputs")].toArray());
    }
    const QJsonArray presets = doc[QStringLiteral("presets")].toArray();
    out << (groups.isEmpty() ? " none\n" : "\n")
        << "Stored presets:" << (presets.isEmpty() ? std::string(" none") : List(presets)) << '\n';
    return out.str();
}

} // namespace qvc::session
