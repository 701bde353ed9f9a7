#include "Discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <set>

namespace qvc::bridge {

namespace {

constexpr int kMaxEntities = 16; // outputs, inputs and presets of the largest model

QString Label(const QJsonObject& state, const char* kind, int n) {
    return state[QStringLiteral("labels")][QLatin1String(kind)][n - 1].toString().trimmed();
}

// A label that says more than the number, else "Output 3".
QString Name(const QJsonObject& state, const char* kind, const QString& noun, int n) {
    const QString label = Label(state, kind, n);
    return label.isEmpty() || label == QString::number(n) ? QStringLiteral("%1 %2").arg(noun).arg(n)
                                                          : label;
}

// A string literal of the templates' language (Jinja): double quotes, with a
// backslash before a quote or a backslash and control characters as \xNN.
QString TemplateString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\');
            out += c;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

struct Context {
    const QJsonObject& state;
    QString id;
    QJsonObject device;
    QJsonObject origin;
};

QJsonObject Entity(const Context& c, const QString& name, const QString& object) {
    return QJsonObject{
        {QStringLiteral("name"), name},
        {QStringLiteral("unique_id"), QStringLiteral("quorvel_%1_%2").arg(c.id, object)},
        {QStringLiteral("availability_topic"), MqttTopic(c.id, QStringLiteral("availability"))},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("device"), c.device},
        {QStringLiteral("origin"), c.origin},
    };
}

void AddState(QJsonObject& entity, const Context& c, const QString& valueTemplate) {
    entity.insert(QStringLiteral("state_topic"), MqttTopic(c.id, QStringLiteral("state")));
    entity.insert(QStringLiteral("value_template"), valueTemplate);
}

QString Topic(const QString& component, const QString& id, const QString& object) {
    return QStringLiteral("homeassistant/%1/%2_%3/config").arg(component, id, object);
}

QByteArray Payload(const QJsonObject& entity) {
    return QJsonDocument(entity).toJson(QJsonDocument::Compact);
}

// Output n's input: choosing an option routes it with its group and takes it.
QJsonObject OutputSelect(const Context& c, int n, const QStringList& options) {
    QString map = QStringLiteral("{%1: 0").arg(TemplateString(QStringLiteral("none")));
    QString list = QStringLiteral("[%1").arg(TemplateString(QStringLiteral("none")));
    for (qsizetype i = 0; i < options.size(); ++i) {
        map += QStringLiteral(", %1: %2").arg(TemplateString(options[i]), QString::number(i + 1));
        list += QStringLiteral(", ") + TemplateString(options[i]);
    }
    QJsonObject e = Entity(c, Name(c.state, "outputs", QStringLiteral("Output"), n),
                           QStringLiteral("output%1").arg(n));
    e.insert(QStringLiteral("icon"), QStringLiteral("mdi:video-input-component"));
    e.insert(QStringLiteral("options"),
             QJsonArray::fromStringList(options + QStringList{QStringLiteral("none")}));
    e.insert(QStringLiteral("command_topic"), MqttTopic(c.id, QStringLiteral("set/route")));
    e.insert(
        QStringLiteral("command_template"),
        QStringLiteral("{% set inputs = %1} %}{\"output\": %2, \"input\": {{ inputs[value] }}, "
                       "\"take\": true}")
            .arg(map, QString::number(n)));
    AddState(e, c,
             QStringLiteral("{{ %1][value_json.outputs[%2].video or 0] }}")
                 .arg(list, QString::number(n - 1)));
    return e;
}

QJsonObject MuteSwitch(const Context& c, int n) {
    QJsonObject e =
        Entity(c, Name(c.state, "outputs", QStringLiteral("Output"), n) + QStringLiteral(" mute"),
               QStringLiteral("mute%1").arg(n));
    e.insert(QStringLiteral("icon"), QStringLiteral("mdi:volume-off"));
    e.insert(QStringLiteral("command_topic"), MqttTopic(c.id, QStringLiteral("set/mute")));
    e.insert(QStringLiteral("payload_on"),
             QStringLiteral("{\"output\": %1, \"muted\": true}").arg(n));
    e.insert(QStringLiteral("payload_off"),
             QStringLiteral("{\"output\": %1, \"muted\": false}").arg(n));
    e.insert(QStringLiteral("state_on"), QStringLiteral("ON"));
    e.insert(QStringLiteral("state_off"), QStringLiteral("OFF"));
    AddState(e, c,
             QStringLiteral("{{ 'ON' if value_json.outputs[%1].muted else 'OFF' }}").arg(n - 1));
    return e;
}

QJsonObject LevelNumber(const Context& c, int n) {
    QJsonObject e =
        Entity(c, Name(c.state, "inputs", QStringLiteral("Input"), n) + QStringLiteral(" level"),
               QStringLiteral("level%1").arg(n));
    e.insert(QStringLiteral("icon"), QStringLiteral("mdi:volume-high"));
    e.insert(QStringLiteral("command_topic"), MqttTopic(c.id, QStringLiteral("set/level")));
    e.insert(QStringLiteral("command_template"),
             QStringLiteral("{\"input\": %1, \"db\": {{ value | int }}}").arg(n));
    e.insert(QStringLiteral("min"), -74);
    e.insert(QStringLiteral("max"), 20);
    e.insert(QStringLiteral("step"), 1);
    e.insert(QStringLiteral("mode"), QStringLiteral("slider"));
    e.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("dB"));
    AddState(e, c, QStringLiteral("{{ value_json.levels[%1].db }}").arg(n - 1));
    return e;
}

QJsonObject PresetButton(const Context& c, int n) {
    QJsonObject e =
        Entity(c, QStringLiteral("Recall ") + Name(c.state, "presets", QStringLiteral("preset"), n),
               QStringLiteral("preset%1").arg(n));
    e.insert(QStringLiteral("icon"), QStringLiteral("mdi:playlist-play"));
    e.insert(QStringLiteral("command_topic"), MqttTopic(c.id, QStringLiteral("set/preset/recall")));
    e.insert(QStringLiteral("payload_press"), QStringLiteral("{\"preset\": %1}").arg(n));
    return e;
}

QJsonObject LinkSensor(const Context& c) {
    QJsonObject e = Entity(c, QStringLiteral("Link"), QStringLiteral("link"));
    e.insert(QStringLiteral("device_class"), QStringLiteral("connectivity"));
    e.insert(QStringLiteral("entity_category"), QStringLiteral("diagnostic"));
    e.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
    e.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
    AddState(e, c, QStringLiteral("{{ 'ON' if value_json.link.up else 'OFF' }}"));
    return e;
}

} // namespace

QString MqttTopic(const QString& id, const QString& leaf) {
    return QStringLiteral("quorvel/%1/%2").arg(id, leaf);
}

const QStringList& MqttOperations() {
    static const QStringList operations = {
        QStringLiteral("route"),         QStringLiteral("take"),         QStringLiteral("cancel"),
        QStringLiteral("clear"),         QStringLiteral("mute"),         QStringLiteral("level"),
        QStringLiteral("preset/recall"), QStringLiteral("preset/store"), QStringLiteral("setup"),
        QStringLiteral("read"),
    };
    return operations;
}

QStringList InputOptions(const QJsonObject& state) {
    const int inputs = state[QStringLiteral("input_count")].toInt();
    std::multiset<QString> labels;
    for (int n = 1; n <= inputs; ++n) {
        labels.insert(Label(state, "inputs", n));
    }
    QStringList options;
    for (int n = 1; n <= inputs; ++n) {
        // "Input N" is longer than any label (six characters at most), so
        // it never meets one.
        const QString label = Label(state, "inputs", n);
        if (label.isEmpty() || label == QString::number(n)) {
            options << QStringLiteral("Input %1").arg(n);
        } else if (label == QLatin1String("none") || labels.count(label) > 1) {
            options << QStringLiteral("Input %1: %2").arg(n).arg(label);
        } else {
            options << label;
        }
    }
    return options;
}

std::vector<DiscoveryMessage> DiscoveryMessages(const QJsonObject& state, const QString& id,
                                                const QString& bridgeVersion) {
    QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("quorvel_") + id}},
        {QStringLiteral("name"), QStringLiteral("Quorvel ") + id},
        {QStringLiteral("manufacturer"), QStringLiteral("Quorvel")},
        {QStringLiteral("model"),
         QStringLiteral("Matrix switcher ") + state[QStringLiteral("model")].toString()},
    };
    const QString firmware = state[QStringLiteral("firmware")].toString();
    if (!firmware.isEmpty()) {
        device.insert(QStringLiteral("sw_version"), firmware);
    }
    const Context c{state, id, device,
                    QJsonObject{{QStringLiteral("name"), QStringLiteral("quorvel-bridge")},
                                {QStringLiteral("sw_version"), bridgeVersion}}};
    const int outputs = state[QStringLiteral("output_count")].toInt();
    const int inputs = state[QStringLiteral("input_count")].toInt();
    const bool audio = state[QStringLiteral("audio")].toBool();
    std::set<int> stored;
    for (const QJsonValue& p : state[QStringLiteral("presets")].toArray()) {
        stored.insert(p.toInt());
    }
    const QStringList options = InputOptions(state);

    std::vector<DiscoveryMessage> messages;
    const auto add = [&](const char* component, const QString& object, bool present,
                         const auto& make) {
        messages.push_back({Topic(QLatin1String(component), id, object),
                            present ? Payload(make()) : QByteArray()});
    };
    for (int n = 1; n <= kMaxEntities; ++n) {
        add("select", QStringLiteral("output%1").arg(n), n <= outputs,
            [&] { return OutputSelect(c, n, options); });
    }
    for (int n = 1; n <= kMaxEntities; ++n) {
        add("switch", QStringLiteral("mute%1").arg(n), n <= outputs,
            [&] { return MuteSwitch(c, n); });
    }
    for (int n = 1; n <= kMaxEntities; ++n) {
        add("number", QStringLiteral("level%1").arg(n), audio && n <= inputs,
            [&] { return LevelNumber(c, n); });
    }
    for (int n = 1; n <= kMaxEntities; ++n) {
        add("button", QStringLiteral("preset%1").arg(n), stored.count(n) > 0,
            [&] { return PresetButton(c, n); });
    }
    add("binary_sensor", QStringLiteral("link"), true, [&] { return LinkSensor(c); });
    return messages;
}

bool SameDiscovery(const QJsonObject& a, const QJsonObject& b) {
    for (const char* key :
         {"model", "input_count", "output_count", "audio", "firmware", "presets", "labels"}) {
        if (a[QLatin1String(key)] != b[QLatin1String(key)]) {
            return false;
        }
    }
    return true;
}

} // namespace qvc::bridge
