// The state document: the whole of what a program without a window knows of
// its switcher, built in one place. quorvel-ctl prints it (as JSON, or as
// text); the bridge serves it.
#pragma once

#include "model/DeviceState.h"
#include "model/Labels.h"

#include <QJsonObject>
#include <QString>

namespace qvc::session {

struct DocumentSource {
    const DeviceState& state;
    const LabelTables& labels;
    int revision = 0;
    bool linkUp = false;
    QString linkKind;   // "tcp", "serial", "search"
    QString linkTarget; // "192.168.1.50:23", "/dev/ttyUSB0", "COM2"
};

QJsonObject StateDocument(const DocumentSource& source);

// The text form of the document, as `quorvel-ctl status` prints it.
std::string StateText(const QJsonObject& document);

} // namespace qvc::session
