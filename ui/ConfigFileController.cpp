#include "ConfigFileController.h"

#include "PageList.h"
#include "config/ConfigFile.h"

#include <QFile>

namespace qvc {

namespace {
const QString kOpenTitle = QStringLiteral("Open Configuration File");
const QString kSaveTitle = QStringLiteral("Save Configuration to File");

std::filesystem::path LocalPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}
} // namespace

ConfigFileController::ConfigFileController(Parts parts, QObject* parent)
    : QObject(parent), p_(std::move(parts)) {
    connect(&p_.pages, &PageList::labelsApplied, this, &ConfigFileController::WriteGroupLabels);
}

void ConfigFileController::WriteGroupLabels() {
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        WriteLabel(p_.image, LabelKind::Group, n, p_.labels.Label(LabelKind::Group, n));
    }
}

void ConfigFileController::SaveConfigurationtoFile1Click() {
    const QString path = p_.prompts.SaveFileName(kSaveTitle);
    if (path.isEmpty()) {
        return;
    }
    p_.events.SetHourglass(true);
    PackLabels(p_.image, p_.labels, p_.state.Inputs(), p_.state.ShownOutputs());
    PackTables(p_.image, p_.state);
    const bool written = WriteConfigFile(LocalPath(path), p_.image);
    p_.events.SetHourglass(false);
    if (!written) {
        p_.prompts.Message(QString::fromLatin1(kConfigCreateErrorText));
    }
}

void ConfigFileController::OpenConfigurationFile1Click() {
    const QString path = p_.prompts.OpenFileName(kOpenTitle);
    if (path.isEmpty()) {
        return;
    }
    p_.events.SetHourglass(true);
    const ConfigReadResult result = ReadConfigFile(LocalPath(path), p_.image);
    if (result != ConfigReadResult::Ok) {
        p_.events.SetHourglass(false);
        p_.prompts.Message(QString::fromLatin1(ConfigReadErrorText(result)));
        return;
    }
    ApplyConfigImage();
    p_.events.SetHourglass(false);
    p_.prompts.Message(QString::fromLatin1(kConfigLoadedText));
}

void ConfigFileController::ApplyConfigImage() {
    {
        RefreshScope refreshing(p_.linkState);
        // Labels first, all 16 of every kind, whatever the model.
        p_.labels = UnpackLabels(p_.image);
        p_.pages.ApplyLabels();
        // Grouping, routing and levels, then what each page shows of them.
        UnpackTables(p_.image, p_.state);
        p_.pages.ShowLoadedConfiguration();
    }
    if (p_.loaded) {
        p_.loaded();
    }
}

} // namespace qvc
