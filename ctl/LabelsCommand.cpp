#include "LabelsCommand.h"

#include "CommandArgs.h"
#include "Ctl.h"
#include "LabelsCsv.h"
#include "config/ConfigFile.h"

#include <QFile>
#include <filesystem>
#include <optional>

namespace qvc::ctl {

namespace {

std::string Text(const QString& s) {
    return s.toLocal8Bit().toStdString();
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

int Export(const ConfigImage& image, const QStringList& a, std::ostream& out, std::ostream& err) {
    const QByteArray csv = LabelsToCsv(image).toUtf8();
    if (a.size() == 2) {
        out << csv.toStdString();
        return kDone;
    }
    QFile file(a[2]);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(csv) != csv.size()) {
        err << "cannot write " << Text(a[2]) << '\n';
        return kUsage;
    }
    return kDone;
}

} // namespace

int LabelsCommand(const QStringList& a, std::ostream& out, std::ostream& err) {
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
        return Export(image, a, out, err);
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

} // namespace qvc::ctl
