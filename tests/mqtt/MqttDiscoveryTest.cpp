// The discovery documents as pure functions of the state document: which
// topics a model fills and which it clears, the select's options and
// templates (also rendered by Jinja2, the engine Home Assistant uses), and
// when a new revision needs new documents.
#include "MqttRig.h"
#include "bridge/Discovery.h"

#include <QJsonArray>
#include <functional>

namespace qvc::test {
namespace {

using bridge::DiscoveryMessage;

QJsonArray Numbers(int count, const std::function<QJsonValue(int)>& label) {
    QJsonArray a;
    for (int n = 1; n <= count; ++n) {
        a.append(label(n));
    }
    return a;
}

// A state document as the session gives it, with what discovery reads.
QJsonObject Document(int inputs, int outputs, bool audio = true) {
    QJsonArray outs;
    for (int o = 1; o <= outputs; ++o) {
        outs.append(QJsonObject{{"output", o},
                                {"video", o <= inputs ? QJsonValue(o) : QJsonValue()},
                                {"audio", QJsonValue()},
                                {"video_taken", true},
                                {"audio_taken", true},
                                {"muted", o == 2}});
    }
    QJsonArray levels;
    for (int i = 1; i <= inputs; ++i) {
        levels.append(QJsonObject{{"input", i}, {"level", 200}, {"db", i == 3 ? -6 : 0}});
    }
    const auto numbers = [](int n) { return QJsonValue(QString::number(n)); };
    return QJsonObject{
        {"revision", 4},
        {"link", QJsonObject{{"up", true}, {"kind", "tcp"}, {"target", "127.0.0.1:23"}}},
        {"model", QStringLiteral("%1 x %2").arg(inputs).arg(outputs)},
        {"input_count", inputs},
        {"output_count", outputs},
        {"audio", audio},
        {"firmware", "2.17D"},
        {"outputs", outs},
        {"levels", levels},
        {"presets", QJsonArray{1, 2, 5}},
        {"labels", QJsonObject{{"inputs", Numbers(16, numbers)},
                               {"outputs", Numbers(16, numbers)},
                               {"groups", Numbers(16, numbers)},
                               {"presets", Numbers(16, numbers)}}}};
}

void SetLabel(QJsonObject& doc, const char* kind, int n, const QString& text) {
    QJsonObject labels = doc["labels"].toObject();
    QJsonArray list = labels[QLatin1String(kind)].toArray();
    list[n - 1] = text;
    labels[QLatin1String(kind)] = list;
    doc["labels"] = labels;
}

std::map<QString, QJsonObject> ByTopic(const std::vector<DiscoveryMessage>& messages) {
    std::map<QString, QJsonObject> out;
    for (const DiscoveryMessage& m : messages) {
        out[m.topic] =
            m.payload.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(m.payload).object();
    }
    return out;
}

TEST(MqttDiscovery, AModelFillsItsTopicsAndClearsTheOthers) {
    const std::vector<DiscoveryMessage> messages =
        bridge::DiscoveryMessages(Document(12, 4), QStringLiteral("hall"), QStringLiteral("9.9"));
    ASSERT_EQ(messages.size(), 16u * 4 + 1);
    std::map<QString, std::vector<int>> filled;
    for (const DiscoveryMessage& m : messages) {
        if (m.payload.isEmpty()) {
            continue;
        }
        const QString object = m.topic.section(QLatin1Char('/'), 2, 2);
        const QString component = m.topic.section(QLatin1Char('/'), 1, 1);
        EXPECT_TRUE(m.topic.startsWith(QStringLiteral("homeassistant/"))) << m.topic.toStdString();
        EXPECT_TRUE(m.topic.endsWith(QStringLiteral("/config"))) << m.topic.toStdString();
        EXPECT_TRUE(object.startsWith(QStringLiteral("hall_"))) << m.topic.toStdString();
        qsizetype digits = object.size();
        while (digits > 0 && object[digits - 1].isDigit()) {
            --digits;
        }
        filled[component].push_back(object.mid(digits).toInt());
    }
    EXPECT_EQ(filled["select"], (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(filled["switch"], (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(filled["number"], (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(filled["button"], (std::vector<int>{1, 2, 5}));
    EXPECT_EQ(filled["binary_sensor"], (std::vector<int>{0}));
    const auto docs = ByTopic(messages);
    EXPECT_TRUE(docs.at("homeassistant/select/hall_output5/config").isEmpty());
    EXPECT_TRUE(docs.at("homeassistant/select/hall_output16/config").isEmpty());
    EXPECT_TRUE(docs.at("homeassistant/button/hall_preset3/config").isEmpty());

    // Without audio, no level numbers.
    for (const DiscoveryMessage& m : bridge::DiscoveryMessages(
             Document(12, 4, false), QStringLiteral("hall"), QStringLiteral("9.9"))) {
        if (m.topic.contains(QLatin1String("/number/"))) {
            EXPECT_TRUE(m.payload.isEmpty()) << m.topic.toStdString();
        }
    }
}

TEST(MqttDiscovery, EachComponentCarriesItsTopicsPayloadsAndDevice) {
    const auto docs = ByTopic(
        bridge::DiscoveryMessages(Document(16, 16), QStringLiteral("hall"), QStringLiteral("9.9")));
    const QJsonObject mute = docs.at("homeassistant/switch/hall_mute2/config");
    EXPECT_EQ(mute["name"], "Output 2 mute");
    EXPECT_EQ(mute["unique_id"], "quorvel_hall_mute2");
    EXPECT_EQ(mute["command_topic"], "quorvel/hall/set/mute");
    EXPECT_EQ(mute["payload_on"], R"({"output": 2, "muted": true})");
    EXPECT_EQ(mute["payload_off"], R"({"output": 2, "muted": false})");
    EXPECT_EQ(mute["state_topic"], "quorvel/hall/state");
    EXPECT_EQ(mute["availability_topic"], "quorvel/hall/availability");
    const QJsonObject button = docs.at("homeassistant/button/hall_preset5/config");
    EXPECT_EQ(button["name"], "Recall preset 5");
    EXPECT_EQ(button["command_topic"], "quorvel/hall/set/preset/recall");
    EXPECT_EQ(button["payload_press"], R"({"preset": 5})");
    const QJsonObject level = docs.at("homeassistant/number/hall_level3/config");
    EXPECT_EQ(level["name"], "Input 3 level");
    EXPECT_EQ(level["command_template"], R"({"input": 3, "db": {{ value | int }}})");
    EXPECT_EQ(level["unit_of_measurement"], "dB");
    const QJsonObject link = docs.at("homeassistant/binary_sensor/hall_link/config");
    EXPECT_EQ(link["device_class"], "connectivity");
    EXPECT_EQ(link["device"], (QJsonObject{{"identifiers", QJsonArray{"quorvel_hall"}},
                                           {"name", "Quorvel hall"},
                                           {"manufacturer", "Quorvel"},
                                           {"model", "Matrix switcher 16 x 16"},
                                           {"sw_version", "2.17D"}}));
    EXPECT_EQ(link["origin"], (QJsonObject{{"name", "quorvel-bridge"}, {"sw_version", "9.9"}}));
}

TEST(MqttDiscovery, InputOptionsAreTheLabelsMadeUniqueAndNone) {
    QJsonObject doc = Document(12, 4);
    SetLabel(doc, "inputs", 2, QStringLiteral("CAM"));
    SetLabel(doc, "inputs", 3, QStringLiteral("DOC"));
    SetLabel(doc, "inputs", 4, QStringLiteral("DOC"));
    SetLabel(doc, "inputs", 5, QStringLiteral("none"));
    SetLabel(doc, "inputs", 6, QString());
    SetLabel(doc, "inputs", 7, QStringLiteral(" PC  "));
    SetLabel(doc, "inputs", 8, QStringLiteral("1")); // input 1's label too
    EXPECT_EQ(
        bridge::InputOptions(doc),
        (QStringList{"Input 1", "CAM", "Input 3: DOC", "Input 4: DOC", "Input 5: none", "Input 6",
                     "PC", "Input 8: 1", "Input 9", "Input 10", "Input 11", "Input 12"}));
    const auto docs =
        ByTopic(bridge::DiscoveryMessages(doc, QStringLiteral("hall"), QStringLiteral("9.9")));
    QStringList options;
    for (const QJsonValue& v :
         docs.at("homeassistant/select/hall_output1/config")["options"].toArray()) {
        options << v.toString();
    }
    EXPECT_EQ(options, bridge::InputOptions(doc) + QStringList{"none"});
}

TEST(MqttDiscovery, TheSelectTemplatesQuoteTheLabels) {
    QJsonObject doc = Document(2, 1);
    SetLabel(doc, "inputs", 1, QStringLiteral("A\"B"));
    SetLabel(doc, "inputs", 2, QStringLiteral("C\\%2"));
    SetLabel(doc, "outputs", 1, QStringLiteral("PROJ"));
    const QJsonObject select =
        ByTopic(bridge::DiscoveryMessages(doc, QStringLiteral("hall"), QStringLiteral("9.9")))
            .at("homeassistant/select/hall_output1/config");
    EXPECT_EQ(select["name"], "PROJ");
    EXPECT_EQ(select["command_topic"], "quorvel/hall/set/route");
    EXPECT_EQ(select["command_template"].toString().toStdString(),
              R"({% set inputs = {"none": 0, "A\"B": 1, "C\\%2": 2} %})"
              R"({"output": 1, "input": {{ inputs[value] }}, "take": true})");
    EXPECT_EQ(select["value_template"].toString().toStdString(),
              R"({{ ["none", "A\"B", "C\\%2"][value_json.outputs[0].video or 0] }})");
}

// The templates as Home Assistant renders them: each select option gives the
// route body of its input, each state gives the option or value shown.
TEST(MqttDiscovery, JinjaRendersTheTemplatesToTheBodiesAndValues) {
    QJsonObject doc = Document(4, 4);
    SetLabel(doc, "inputs", 1, QStringLiteral("{%x%}"));
    SetLabel(doc, "inputs", 2, QStringLiteral("a'\"\\b"));
    SetLabel(doc, "inputs", 3, QStringLiteral("Lectür"));
    QJsonArray outputs = doc["outputs"].toArray();
    QJsonObject out4 = outputs[3].toObject();
    out4["video"] = QJsonValue();
    outputs[3] = out4;
    doc["outputs"] = outputs;
    const auto docs =
        ByTopic(bridge::DiscoveryMessages(doc, QStringLiteral("hall"), QStringLiteral("9.9")));
    const QJsonObject select = docs.at("homeassistant/select/hall_output3/config");
    const QJsonArray options = select["options"].toArray();
    ASSERT_EQ(options.size(), 5);
    QJsonArray jobs;
    for (const QJsonValue& option : options) {
        jobs.append(QJsonObject{{"template", select["command_template"]}, {"value", option}});
    }
    for (int o = 1; o <= 4; ++o) {
        jobs.append(QJsonObject{
            {"template", docs.at(QStringLiteral("homeassistant/select/hall_output%1/config")
                                     .arg(o))["value_template"]},
            {"value_json", doc}});
    }
    const QJsonObject level = docs.at("homeassistant/number/hall_level3/config");
    jobs.append(QJsonObject{{"template", level["command_template"]}, {"value", -6}});
    jobs.append(QJsonObject{{"template", level["command_template"]}, {"value", -6.0}});
    jobs.append(QJsonObject{{"template", level["value_template"]}, {"value_json", doc}});
    for (int o = 1; o <= 2; ++o) {
        jobs.append(QJsonObject{
            {"template", docs.at(QStringLiteral("homeassistant/switch/hall_mute%1/config")
                                     .arg(o))["value_template"]},
            {"value_json", doc}});
    }
    jobs.append(QJsonObject{
        {"template", docs.at("homeassistant/binary_sensor/hall_link/config")["value_template"]},
        {"value_json", doc}});

    const std::optional<QStringList> rendered = RenderTemplates(jobs);
    if (!rendered) {
        GTEST_SKIP() << "python3 with jinja2 is not installed";
    }
    ASSERT_EQ(rendered->size(), jobs.size());
    std::vector<QJsonObject> bodies;
    for (int i = 0; i < 5; ++i) {
        bodies.push_back(QJsonDocument::fromJson((*rendered)[i].toUtf8()).object());
    }
    EXPECT_EQ(bodies, (std::vector<QJsonObject>{
                          {{"output", 3}, {"input", 1}, {"take", true}},
                          {{"output", 3}, {"input", 2}, {"take", true}},
                          {{"output", 3}, {"input", 3}, {"take", true}},
                          {{"output", 3}, {"input", 4}, {"take", true}},
                          {{"output", 3}, {"input", 0}, {"take", true}},
                      }));
    // Outputs 1 to 3 show inputs 1 to 3; output 4 none.
    EXPECT_EQ(rendered->mid(5, 4),
              (QStringList{"{%x%}", "a'\"\\b", QStringLiteral("Lectür"), "none"}));
    EXPECT_EQ(rendered->mid(9),
              (QStringList{R"({"input": 3, "db": -6})", R"({"input": 3, "db": -6})", "-6", "OFF",
                           "ON", "ON"}));
}

TEST(MqttDiscovery, OnlyWhatDiscoveryReadsNeedsNewDocuments) {
    const QJsonObject doc = Document(16, 16);
    QJsonObject routed = doc;
    routed["revision"] = 5;
    routed["outputs"] = Document(16, 8)["outputs"];
    routed["levels"] = QJsonArray();
    EXPECT_TRUE(bridge::SameDiscovery(doc, routed));
    QJsonObject labelled = doc;
    SetLabel(labelled, "outputs", 3, QStringLiteral("PROJ"));
    EXPECT_FALSE(bridge::SameDiscovery(doc, labelled));
    QJsonObject stored = doc;
    stored["presets"] = QJsonArray{1, 2};
    EXPECT_FALSE(bridge::SameDiscovery(doc, stored));
    EXPECT_FALSE(bridge::SameDiscovery(doc, Document(12, 4)));
    QJsonObject firmware = doc;
    firmware["firmware"] = "2.18A";
    EXPECT_FALSE(bridge::SameDiscovery(doc, firmware));
}

} // namespace
} // namespace qvc::test
