// The MQTT tests' rig: the broker and the probe (tests/support/MqttPeers.h),
// readable failures, Home Assistant's template engine and printed figures.
#pragma once

#include "tests/support/MqttPeers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <vector>

// Readable failures for text and JSON.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QJsonObject& object, std::ostream* out) {
    *out << QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

namespace qvc::test {

// Renders templates with Jinja2, the template engine of Home Assistant, in
// its sandbox: each job is {"template", "value", "value_json"}. Nothing when
// python3 with jinja2 is not installed (Debian: python3-jinja2).
inline std::optional<QStringList> RenderTemplates(const QJsonArray& jobs) {
    static const char* const kScript =
        "import json, sys\n"
        "from jinja2.sandbox import ImmutableSandboxedEnvironment\n"
        "env = ImmutableSandboxedEnvironment()\n"
        "json.dump([env.from_string(j['template']).render(value=j.get('value'),\n"
        "           value_json=j.get('value_json')) for j in json.load(sys.stdin)], sys.stdout)\n";
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(kScript)});
    if (!python.waitForStarted(10000)) {
        return std::nullopt;
    }
    python.write(QJsonDocument(jobs).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        const QByteArray err = python.readAllStandardError();
        if (!err.contains("No module named 'jinja2'")) {
            ADD_FAILURE() << err.constData();
        }
        return std::nullopt;
    }
    QStringList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        out << v.toString();
    }
    return out;
}

// The median and the 99th percentile of `ms`, printed.
inline void PrintFigures(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1,
                           static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
    };
    std::printf("[ figures  ] %s: median %.2f ms, p99 %.2f ms over %zu\n", what, at(0.5), at(0.99),
                ms.size());
    std::fflush(stdout);
}

} // namespace qvc::test
