// The discovery documents as pure functions of the state document: the
// select's options and templates (also rendered by Jinja2, the engine Home
// Assistant uses), levels only with audio, and when a new revision needs new
// documents.
#include "MqttRig.h"
#include "bridge/Discovery.h"

namespace qvc::test {
namespace {

// A state document as the session gives it, with what discovery reads:
// output N shows input N, output 2 is muted, input 3 is at -6 dB.
QJsonObject Document(int inputs, int outputs, bool audio = true) {
    QJsonArray outs;
    QJsonArray levels;
    QJsonArray numbers;
    for (int o = 1; o <= outputs; ++o) {
        outs.append(QJsonObject{{"output", o},
                                {"video", o <= inputs ? QJsonValue(o) : QJsonValue()},
                                {"muted", o == 2}});
    }
    for (int i = 1; i <= inputs; ++i) {
        levels.append(QJsonObject{{"input", i}, {"level", 200}, {"db", i == 3 ? -6 : 0}});
    }
    for (int n = 1; n <= 16; ++n) {
        numbers.append(QString::number(n));
    }
    return QJsonObject{{"revision", 4},
                       {"link", QJsonObject{{"up", true}}},
                       {"model", QStringLiteral("%1 x %2").arg(inputs).arg(outputs)},
                       {"input_count", inputs},
                       {"output_count", outputs},
                       {"audio", audio},
                       {"firmware", "2.17D"},
                       {"outputs", outs},
                       {"levels", levels},
                       {"presets", QJsonArray{1, 2, 5}},
                       {"labels", QJsonObject{{"inputs", numbers},
                                              {"outputs", numbers},
                                              {"groups", numbers},
                                              {"presets", numbers}}}};
}

void SetLabel(QJsonObject& doc, const char* kind, int n, const QString& text) {
    QJsonObject labels = doc["labels"].toObject();
    QJsonArray list = labels[kind].toArray();
    list[n - 1] = text;
    labels[kind] = list;
    doc["labels"] = labels;
}

// Topic -> document; empty for a topic that is cleared.
std::map<QString, QJsonObject> Docs(const QJsonObject& state) {
    std::map<QString, QJsonObject> out;
    for (const bridge::DiscoveryMessage& m : bridge::DiscoveryMessages(state, "hall", "9.9")) {
        out[m.topic] = QJsonDocument::fromJson(m.payload).object();
    }
    return out;
}

TEST(MqttDiscovery, InputOptionsAreTheLabelsMadeUniqueAndNone) {
    QJsonObject doc = Document(12, 4);
    SetLabel(doc, "inputs", 2, "CAM");
    SetLabel(doc, "inputs", 3, "DOC");
    SetLabel(doc, "inputs", 4, "DOC");
    SetLabel(doc, "inputs", 5, "none");
    SetLabel(doc, "inputs", 6, "");
    SetLabel(doc, "inputs", 7, " PC  ");
    SetLabel(doc, "inputs", 8, "1"); // input 1's label too
    const QStringList options{"Input 1",       "CAM",      "Input 3: DOC", "Input 4: DOC",
                              "Input 5: none", "Input 6",  "PC",           "Input 8: 1",
                              "Input 9",       "Input 10", "Input 11",     "Input 12"};
    EXPECT_EQ(bridge::InputOptions(doc), options);
    EXPECT_EQ(
        Docs(doc)["homeassistant/select/hall_output1/config"]["options"].toVariant().toStringList(),
        options + QStringList{"none"});
}

TEST(MqttDiscovery, TheSelectTemplatesQuoteTheLabels) {
    QJsonObject doc = Document(2, 1);
    SetLabel(doc, "inputs", 1, "A\"B");
    SetLabel(doc, "inputs", 2, "C\\%2");
    SetLabel(doc, "outputs", 1, "PROJ");
    const QJsonObject select = Docs(doc)["homeassistant/select/hall_output1/config"];
    EXPECT_EQ(select["name"], "PROJ");
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
    SetLabel(doc, "inputs", 1, "{%x%}");
    SetLabel(doc, "inputs", 2, "a'\"\\b");
    SetLabel(doc, "inputs", 3, QStringLiteral("Lectür"));
    QJsonArray outputs = doc["outputs"].toArray();
    outputs[3] = QJsonObject{{"output", 4}, {"video", QJsonValue()}, {"muted", false}};
    doc["outputs"] = outputs;
    auto docs = Docs(doc);
    const auto config = [&](const QString& object) -> QJsonObject& {
        const QString component = object.startsWith("output")  ? "select"
                                  : object.startsWith("mute")  ? "switch"
                                  : object.startsWith("level") ? "number"
                                                               : "binary_sensor";
        return docs[QStringLiteral("homeassistant/%1/hall_%2/config").arg(component, object)];
    };
    QJsonArray jobs;
    const auto job = [&](const QJsonValue& t, const QJsonValue& value, const QJsonValue& json) {
        jobs.append(QJsonObject{{"template", t}, {"value", value}, {"value_json", json}});
    };
    for (const QJsonValue& option : config("output3")["options"].toArray()) {
        job(config("output3")["command_template"], option, {});
    }
    for (const char* o : {"output1", "output2", "output3", "output4"}) {
        job(config(o)["value_template"], {}, doc);
    }
    job(config("level3")["command_template"], -6, {});
    job(config("level3")["command_template"], "-6.0", {});
    for (const char* o : {"level3", "mute1", "mute2", "link"}) {
        job(config(o)["value_template"], {}, doc);
    }
    const std::optional<QStringList> rendered = RenderTemplates(jobs);
    if (!rendered) {
        GTEST_SKIP() << "python3 with jinja2 is not installed";
    }
    ASSERT_EQ(rendered->size(), jobs.size());
    for (int input = 0; input <= 4; ++input) {
        // Options in input order, then "none".
        EXPECT_EQ(
            QJsonDocument::fromJson(rendered->at(input == 0 ? 4 : input - 1).toUtf8()).object(),
            (QJsonObject{{"output", 3}, {"input", input}, {"take", true}}));
    }
    EXPECT_EQ(rendered->mid(5),
              (QStringList{"{%x%}", "a'\"\\b", QStringLiteral("Lectür"), "none",
                           R"({"input": 3, "db": -6})", R"({"input": 3, "db": -6})", "-6", "OFF",
                           "ON", "ON"}));
}

TEST(MqttDiscovery, LevelsOnlyWithAudio) {
    for (const bool audio : {true, false}) {
        auto docs = Docs(Document(12, 4, audio));
        for (int n = 1; n <= 16; ++n) {
            const QString topic = QStringLiteral("homeassistant/number/hall_level%1/config").arg(n);
            EXPECT_EQ(!docs[topic].isEmpty(), audio && n <= 12) << audio << " " << n;
        }
    }
}

TEST(MqttDiscovery, OnlyWhatDiscoveryReadsNeedsNewDocuments) {
    const QJsonObject doc = Document(16, 16);
    QJsonObject routed = doc;
    routed["revision"] = 5;
    routed["outputs"] = Document(16, 8)["outputs"];
    EXPECT_TRUE(bridge::SameDiscovery(doc, routed));
    QJsonObject labelled = doc;
    SetLabel(labelled, "outputs", 3, "PROJ");
    QJsonObject stored = doc;
    stored["presets"] = QJsonArray{1, 2};
    QJsonObject firmware = doc;
    firmware["firmware"] = "2.18A";
    for (const QJsonObject& other : {labelled, stored, firmware, Document(12, 4)}) {
        EXPECT_FALSE(bridge::SameDiscovery(doc, other))
            << QJsonDocument(other).toJson().toStdString();
    }
}

} // namespace
} // namespace qvc::test
