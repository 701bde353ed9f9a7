#include "Api.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <cmath>
#include <optional>
#include <map>
#include <set>

namespace qvc::bridge {

namespace {

using session::Args;
using session::Operation;
using session::Param;

Route Make(const char* method, const char* path, CallKind kind, QStringList operations,
           const char* summary) {
    Route r;
    r.method = method;
    r.path = QString::fromLatin1(path);
    r.kind = kind;
    r.operations = std::move(operations);
    r.summary = QString::fromLatin1(summary);
    return r;
}

std::vector<Route> BuildRoutes() {
    const auto op = [](const char* path, const char* operation) {
        const Operation* row = session::FindOperation(QString::fromLatin1(operation));
        return Make("POST", path, CallKind::Operations, {row->name}, "");
    };
    std::vector<Route> routes = {
        Make("GET", "/api/v1/state", CallKind::State, {}, "the whole state"),
        op("/api/v1/route", "route"),
        op("/api/v1/take", "take"),
        op("/api/v1/cancel", "cancel"),
        op("/api/v1/clear", "clear"),
        op("/api/v1/mute", "mute"),
        op("/api/v1/level", "level"),
        op("/api/v1/preset/store", "preset store"),
        op("/api/v1/preset/recall", "preset recall"),
        op("/api/v1/group/add", "group add"),
        op("/api/v1/group/del", "group del"),
        op("/api/v1/group/clear", "group clear"),
        Make("POST", "/api/v1/setup", CallKind::Operations,
             {QStringLiteral("lock"), QStringLiteral("switch-source"), QStringLiteral("rgb-delay")},
             "the front panel lock, the switch source and the RGB delay: FPLOCK, SWITCH, FDLY"),
        Make("POST", "/api/v1/read", CallKind::Read, {}, "a full read-back now"),
        Make("PUT", "/api/v1/labels", CallKind::Labels, {},
             "labels of 0 to 6 Latin-1 characters, saved to the configuration file"),
        Make("GET", "/api/v1/events", CallKind::Events, {},
             "WebSocket: the state now, then every new revision"),
        Make("GET", "/api/v1/openapi.json", CallKind::OpenApi, {}, "this API as OpenAPI 3"),
        Make("GET", "/metrics", CallKind::Metrics, {}, "Prometheus text format"),
        Make("GET", "/", CallKind::Static, {}, "the web panel"),
        Make("GET", "/panel.css", CallKind::Static, {}, "the web panel's style sheet"),
        Make("GET", "/panel.js", CallKind::Static, {}, "the web panel's script"),
    };
    for (Route& r : routes) {
        if (r.kind == CallKind::Static) {
            r.resource = QStringLiteral(":/web") +
                         (r.path == QLatin1String("/") ? QStringLiteral("/index.html") : r.path);
        }
    }
    for (Route& r : routes) {
        if (r.summary.isEmpty()) {
            r.summary = session::FindOperation(r.operations.first())->summary;
        }
    }
    return routes;
}

QString Given(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(v.toDouble(), 'g', 17);
    case QJsonValue::Null:
        return QStringLiteral("null");
    default:
        break;
    }
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

// A whole number in [low, high], or the range error a command line gets.
std::optional<int> Whole(const QJsonValue& v, int low, int high) {
    if (!v.isDouble()) {
        return std::nullopt;
    }
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::floor(d) != d || d < low || d > high) {
        return std::nullopt;
    }
    return static_cast<int>(d);
}

struct BadArgument {
    QString text;
};

QVariant Value(const Param& p, const QJsonValue& v) {
    switch (p.type) {
    case Param::Type::OnOff:
        if (v.isBool()) {
            return v.toBool();
        }
        if (v.toString() == QLatin1String("on") || v.toString() == QLatin1String("off")) {
            return v.toString() == QLatin1String("on");
        }
        throw BadArgument{session::OnOffErrorText(Given(v))};
    case Param::Type::Word:
        if (v.isString() && p.words.contains(v.toString())) {
            return v.toString();
        }
        break;
    case Param::Type::Int:
    case Param::Type::Flag:
        break;
    }
    if (const auto n = Whole(v, p.low, p.high)) {
        return *n;
    }
    throw BadArgument{session::RangeErrorText(p.name, p.low, p.high, Given(v))};
}

// The value of a flag's field: one of the values its flags give, or its
// fallback ("signals": "av", "video" or "audio").
QVariant FlagValue(const std::vector<const Param*>& flags, const QJsonValue& v) {
    QStringList allowed;
    for (const Param* p : flags) {
        for (const QVariant& x : {p->fallback, p->flagValue}) {
            const QJsonValue json = QJsonValue::fromVariant(x);
            if (json == v) {
                return x;
            }
            const QString text = Given(json);
            if (!allowed.contains(text)) {
                allowed << text;
            }
        }
    }
    throw BadArgument{QStringLiteral("\"%1\" must be %2, not %3")
                          .arg(flags.front()->key, allowed.join(QStringLiteral(" or ")),
                               Given(v))};
}

// The arguments of one row from a JSON object; the object's fields it does
// not know are left to the caller.
Args ReadArgs(const Operation& op, const QJsonObject& body) {
    Args args;
    std::map<QString, std::vector<const Param*>> flags;
    std::map<QString, QStringList> choices; // choice -> fields given
    std::map<QString, QStringList> choiceKeys;
    for (const Param& p : op.params) {
        if (p.type == Param::Type::Flag) {
            flags[p.key].push_back(&p);
            continue;
        }
        if (!p.choice.isEmpty()) {
            choiceKeys[p.choice] << p.key;
        }
        if (!body.contains(p.key)) {
            if (p.choice.isEmpty() && !p.fallback.isValid()) {
                throw BadArgument{QStringLiteral("the field \"%1\" is missing").arg(p.key)};
            }
            continue;
        }
        if (!p.choice.isEmpty()) {
            choices[p.choice] << p.key;
        }
        args.Set(p.key, Value(p, body.value(p.key)));
    }
    for (const auto& [choice, keys] : choiceKeys) {
        if (choices[choice].size() != 1) {
            throw BadArgument{QStringLiteral("give one of \"%1\"").arg(
                keys.join(QStringLiteral("\" or \"")))};
        }
    }
    for (const auto& [key, params] : flags) {
        args.Set(key, body.contains(key) ? FlagValue(params, body.value(key))
                                         : params.front()->fallback);
    }
    return args;
}

std::set<QString> KeysOf(const Operation& op) {
    std::set<QString> keys;
    for (const Param& p : op.params) {
        keys.insert(p.key);
    }
    return keys;
}

HttpError Bad(const QString& text) {
    return HttpError{400, text};
}

std::variant<Call, HttpError> Operations(const Route& route, const QJsonObject& body) {
    Call call;
    call.kind = CallKind::Operations;
    std::set<QString> known;
    for (const QString& name : route.operations) {
        const Operation* op = session::FindOperation(name);
        const std::set<QString> keys = KeysOf(*op);
        known.insert(keys.begin(), keys.end());
        // /setup runs the rows whose field is given; every other route its one row.
        const bool given = std::any_of(keys.begin(), keys.end(),
                                       [&](const QString& k) { return body.contains(k); });
        if (route.operations.size() > 1 && !given) {
            continue;
        }
        call.operations.emplace_back(op, ReadArgs(*op, body));
    }
    for (auto it = body.begin(); it != body.end(); ++it) {
        if (known.count(it.key()) == 0) {
            return Bad(QStringLiteral("unknown field \"%1\"").arg(it.key()));
        }
    }
    if (call.operations.empty()) {
        return Bad(QStringLiteral("give at least one of \"front_panel_lock\", \"switch_source\" "
                                  "or \"rgb_delay\""));
    }
    return call;
}

std::variant<Call, HttpError> Labels(const QJsonObject& body) {
    static const std::map<QString, LabelKind> kinds = {{QStringLiteral("inputs"), LabelKind::Input},
                                                       {QStringLiteral("outputs"), LabelKind::Output},
                                                       {QStringLiteral("groups"), LabelKind::Group},
                                                       {QStringLiteral("presets"), LabelKind::Preset}};
    Call call;
    call.kind = CallKind::Labels;
    for (auto it = body.begin(); it != body.end(); ++it) {
        const auto kind = kinds.find(it.key());
        if (kind == kinds.end() || !it.value().isObject()) {
            return Bad(QStringLiteral("\"%1\" is not one of inputs, outputs, groups or presets "
                                      "with an object of labels")
                           .arg(it.key()));
        }
        const QJsonObject labels = it.value().toObject();
        for (auto l = labels.begin(); l != labels.end(); ++l) {
            bool ok = false;
            const int n = l.key().toInt(&ok);
            if (!ok || n < 1 || n > kLabelsPerKind || QString::number(n) != l.key()) {
                return Bad(session::RangeErrorText(it.key(), 1, kLabelsPerKind, l.key()));
            }
            const QString text = l.value().toString();
            const bool latin1 = std::all_of(text.begin(), text.end(),
                                            [](QChar c) { return c.unicode() <= 0xFF; });
            if (!l.value().isString() || text.size() > 6 || !latin1) {
                return Bad(QStringLiteral("a label is 0 to 6 characters of Latin-1, not %1")
                               .arg(Given(l.value())));
            }
            const QByteArray bytes = text.toLatin1();
            call.labels.push_back(LabelEdit{kind->second, n, bytes.toStdString()});
        }
    }
    return call;
}

} // namespace

const std::vector<Route>& Routes() {
    static const std::vector<Route> routes = BuildRoutes();
    return routes;
}

std::variant<Call, HttpError> MapRequest(const QByteArray& method, const QString& path,
                                         const QByteArray& body) {
    const Route* route = nullptr;
    bool pathKnown = false;
    for (const Route& r : Routes()) {
        if (r.path == path) {
            pathKnown = true;
            if (r.method == method) {
                route = &r;
            }
        }
    }
    if (!pathKnown) {
        return HttpError{404, QStringLiteral("there is no %1 in this API").arg(path)};
    }
    if (route == nullptr) {
        return HttpError{405, QStringLiteral("%1 does not take %2")
                                  .arg(path, QString::fromLatin1(method))};
    }
    if (body.size() > kMaxBody) {
        return HttpError{413, QStringLiteral("a request body may hold at most 64 KiB")};
    }
    if (route->kind != CallKind::Operations && route->kind != CallKind::Labels) {
        Call call;
        call.kind = route->kind;
        call.resource = route->resource;
        return call;
    }
    QJsonObject object;
    if (!body.trimmed().isEmpty()) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            return Bad(QStringLiteral("the body is not a JSON object"));
        }
        object = doc.object();
    }
    try {
        return route->kind == CallKind::Labels ? Labels(object) : Operations(*route, object);
    } catch (const BadArgument& bad) {
        return Bad(bad.text);
    }
}

LabelTables WithEdits(LabelTables labels, const std::vector<LabelEdit>& edits) {
    for (const LabelEdit& e : edits) {
        labels.Of(e.kind)[static_cast<std::size_t>(e.number - 1)] = e.text;
    }
    return labels;
}

} // namespace qvc::bridge
