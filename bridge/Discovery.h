// The bridge's MQTT topics, and Home Assistant's MQTT discovery for one
// switcher: the retained documents that make its outputs, mutes, levels,
// stored presets and link appear as entities of one device. Everything here
// is made from the state document and the bridge's id alone, so that it can
// be checked without a broker.
//
// Every entity reads its state from quorvel/<id>/state (a template picks its
// value out of the state document), sends its commands to
// quorvel/<id>/set/<operation> as the HTTP body of the same operation, and
// follows quorvel/<id>/availability.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace qvc::bridge {

// "quorvel/<id>/<leaf>": state, availability, error, set/route ...
QString MqttTopic(const QString& id, const QString& leaf);

// The operations quorvel/<id>/set/<operation> takes, each the HTTP route
// /api/v1/<operation>.
const QStringList& MqttOperations();

struct DiscoveryMessage {
    QString topic;
    QByteArray payload; // empty: the entity is removed
};

// Every discovery topic one switcher can have: a select and a mute switch
// per output, a level number per input, a button per preset (each up to 16)
// and the link sensor. Those the switcher has carry their configuration;
// the others (outputs a smaller model lacks, presets not stored, levels
// without audio) are empty, which removes whatever an earlier run left.
// `state` must come from a link that was up: before the first read-back the
// model is not known.
std::vector<DiscoveryMessage> DiscoveryMessages(const QJsonObject& state, const QString& id,
                                                const QString& bridgeVersion);

// Whether two state documents give the same discovery (the model, its
// counts, the firmware, the stored presets and the labels are the same).
bool SameDiscovery(const QJsonObject& a, const QJsonObject& b);

// The select's options in input order: the input's label, or "Input N"
// where the label is empty, the input's number, "none" or another input's.
// Choosing "none" disconnects the output.
QStringList InputOptions(const QJsonObject& state);

} // namespace qvc::bridge
