#include "OpenApi.h"

#include "bridge/Api.h"

#include <QJsonArray>

namespace qvc::bridge {

namespace {

using session::Param;

QJsonObject Schema(const Param& p) {
    switch (p.type) {
    case Param::Type::OnOff:
        return {{QStringLiteral("type"), QStringLiteral("boolean")}};
    case Param::Type::Flag:
        if (p.flagValue.typeId() == QMetaType::Bool) {
            return {{QStringLiteral("type"), QStringLiteral("boolean")},
                    {QStringLiteral("default"), p.fallback.toBool()}};
        }
        return {{QStringLiteral("type"), QStringLiteral("string")},
                {QStringLiteral("default"), p.fallback.toString()}};
    case Param::Type::Word: {
        QJsonObject words{{QStringLiteral("type"), QStringLiteral("string")},
                          {QStringLiteral("enum"), QJsonArray::fromStringList(p.words)}};
        QJsonObject number{{QStringLiteral("type"), QStringLiteral("integer")},
                           {QStringLiteral("minimum"), p.low},
                           {QStringLiteral("maximum"), p.high}};
        return {{QStringLiteral("oneOf"), QJsonArray{words, number}}};
    }
    case Param::Type::Int:
        break;
    }
    return {{QStringLiteral("type"), QStringLiteral("integer")},
            {QStringLiteral("minimum"), p.low},
            {QStringLiteral("maximum"), p.high}};
}

QJsonObject Body(const Route& route) {
    QJsonObject properties;
    QJsonArray required;
    for (const QString& name : route.operations) {
        for (const Param& p : session::FindOperation(name)->params) {
            if (p.type == Param::Type::Flag && properties.contains(p.key)) {
                // The flags of one field give its values.
                QJsonObject s = properties.value(p.key).toObject();
                QJsonArray values = s.value(QStringLiteral("enum")).toArray();
                if (values.isEmpty()) {
                    values.append(p.fallback.toString());
                }
                values.append(p.flagValue.toString());
                s.insert(QStringLiteral("enum"), values);
                properties.insert(p.key, s);
                continue;
            }
            properties.insert(p.key, Schema(p));
            if (route.operations.size() == 1 && p.choice.isEmpty() && !p.fallback.isValid() &&
                p.type != Param::Type::Flag) {
                required.append(p.key);
            }
        }
    }
    QJsonObject schema{{QStringLiteral("type"), QStringLiteral("object")},
                       {QStringLiteral("properties"), properties},
                       {QStringLiteral("additionalProperties"), false}};
    if (!required.isEmpty()) {
        schema.insert(QStringLiteral("required"), required);
    }
    return schema;
}

QJsonObject Json(const QJsonObject& schema) {
    return {{QStringLiteral("application/json"),
             QJsonObject{{QStringLiteral("schema"), schema}}}};
}

QJsonObject Responses(const Route& route) {
    const QJsonObject error = Json(QJsonObject{
        {QStringLiteral("type"), QStringLiteral("object")},
        {QStringLiteral("properties"),
         QJsonObject{{QStringLiteral("error"), QJsonObject{{QStringLiteral("type"),
                                                              QStringLiteral("string")}}}}}});
    QJsonObject responses{{QStringLiteral("200"),
                           QJsonObject{{QStringLiteral("description"), QStringLiteral("done")}}},
                          {QStringLiteral("401"),
                           QJsonObject{{QStringLiteral("description"), QStringLiteral("no or a wrong token")},
                                       {QStringLiteral("content"), error}}}};
    if (route.kind == CallKind::Operations || route.kind == CallKind::Labels ||
        route.kind == CallKind::Read) {
        const struct {
            const char* status;
            const char* text;
        } errors[] = {{"400", "not JSON, or a field missing, of the wrong type or out of range"},
                      {"409", "the switcher's state refuses it"},
                      {"413", "a body over 64 KiB"},
                      {"503", "no link, no answer, or 64 requests waiting"}};
        for (const auto& e : errors) {
            responses.insert(QString::fromLatin1(e.status),
                             QJsonObject{{QStringLiteral("description"), QString::fromLatin1(e.text)},
                                         {QStringLiteral("content"), error}});
        }
    }
    return responses;
}

} // namespace

QJsonObject OpenApiDocument() {
    QJsonObject paths;
    for (const Route& route : Routes()) {
        QJsonObject operation{{QStringLiteral("summary"), route.summary},
                              {QStringLiteral("responses"), Responses(route)}};
        if (route.kind == CallKind::Operations) {
            operation.insert(QStringLiteral("requestBody"),
                             QJsonObject{{QStringLiteral("content"), Json(Body(route))}});
        } else if (route.kind == CallKind::Labels) {
            const QJsonObject labels{
                {QStringLiteral("type"), QStringLiteral("object")},
                {QStringLiteral("additionalProperties"),
                 QJsonObject{{QStringLiteral("type"), QStringLiteral("string")},
                             {QStringLiteral("maxLength"), 6}}}};
            QJsonObject properties;
            for (const char* kind : {"inputs", "outputs", "groups", "presets"}) {
                properties.insert(QString::fromLatin1(kind), labels);
            }
            operation.insert(QStringLiteral("requestBody"),
                             QJsonObject{{QStringLiteral("content"),
                                          Json(QJsonObject{{QStringLiteral("type"), QStringLiteral("object")},
                                                           {QStringLiteral("properties"), properties}})}});
        }
        QJsonObject path = paths.value(route.path).toObject();
        path.insert(QString::fromLatin1(route.method).toLower(), operation);
        paths.insert(route.path, path);
    }
    return QJsonObject{
        {QStringLiteral("openapi"), QStringLiteral("3.0.3")},
        {QStringLiteral("info"),
         QJsonObject{{QStringLiteral("title"), QStringLiteral("quorvel-bridge")},
                     {QStringLiteral("version"), QStringLiteral(QVC_VERSION)}}},
        {QStringLiteral("components"),
         QJsonObject{{QStringLiteral("securitySchemes"),
                      QJsonObject{{QStringLiteral("bearer"),
                                   QJsonObject{{QStringLiteral("type"), QStringLiteral("http")},
                                               {QStringLiteral("scheme"), QStringLiteral("bearer")}}}}}}},
        {QStringLiteral("security"), QJsonArray{QJsonObject{{QStringLiteral("bearer"), QJsonArray()}}}},
        {QStringLiteral("paths"), paths}};
}

} // namespace qvc::bridge
