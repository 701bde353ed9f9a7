// The bridge's MQTT front in the test process, against the simulator and a
// real broker: the retained state against the HTTP API, every command topic's
// exact lines, refusals published with nothing sent, the discovery documents
// as Home Assistant reads them, a smaller model, label edits, a broker that
// goes away and comes back, and TLS.
#include "MqttRig.h"
#include "bridge/Discovery.h"
#include "tests/bridge/BridgeRig.h"
#include "tests/support/ApplicationEnvironment.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <set>

namespace qvc::test {
namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    AddApplicationEnvironment<QCoreApplication>("mqtt_tests");

const QString kState = "quorvel/lab/state";
const QString kAvailability = "quorvel/lab/availability";
const QString kError = "quorvel/lab/error";
const QString kLink = "homeassistant/binary_sensor/lab_link/config"; // the last document

QString Set(const char* operation) {
    return QString("quorvel/lab/set/") + QLatin1String(operation);
}

class MqttBridge : public BridgeRig {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Start());
        probe = std::make_unique<Probe>(broker.Port(), "probe",
                                        QStringList{"quorvel/#", "homeassistant/#"});
        ASSERT_TRUE(probe->WaitReady());
    }

    // A demo switcher, the bridge linked to it and read back, and its MQTT
    // front connected to `port`; the simulator's record starts empty.
    void StartMqtt(SimSpec switcher = {.model = 3, .demo = true, .tcp = true},
                   std::vector<int> backoffMs = {100, 200, 400}) {
        mqtt.reset();
        Start(switcher);
        Connect(broker.Port(), {}, std::move(backoffMs));
        ASSERT_TRUE(WaitFor([&] { return mqtt->Connected(); }));
        ASSERT_TRUE(WaitFor([&] { return Published() == bridge->Session().Revision(); }));
    }
    void Connect(quint16 port, const QString& tlsCaFile, std::vector<int> backoffMs = {100}) {
        bridge::MqttOptions o;
        o.host = "127.0.0.1";
        o.port = port;
        o.id = "lab";
        o.tlsCaFile = tlsCaFile;
        o.backoffMs = std::move(backoffMs);
        mqtt = std::make_unique<bridge::Mqtt>(*bridge, o, [this](const QString& l) { log << l; });
        mqtt->Start();
    }
    // The revision of the last state the probe got, or -1.
    int Published() const {
        return probe->Last(kState) ? probe->Json(kState)["revision"].toInt() : -1;
    }
    bool Metric(const char* line) { return Call("GET", "/metrics").body.contains(line); }

    Broker broker;
    std::unique_ptr<Probe> probe;
    std::unique_ptr<bridge::Mqtt> mqtt;
};

TEST_F(MqttBridge, TheStateIsRetainedOnEveryRevisionAndMatchesTheApi) {
    StartMqtt();
    const int before = bridge->Session().Revision();
    probe->Clear();
    ASSERT_EQ(Post("/api/v1/route", R"({"output":9,"input":5,"take":true})").status, 200);
    ASSERT_EQ(Post("/api/v1/setup", R"({"front_panel_lock":true,"rgb_delay":1500})").status, 200);
    ASSERT_TRUE(WaitFor([&] { return Published() == before + 3; }));
    std::vector<int> revisions;
    for (const Probe::Message& m : probe->messages) {
        if (m.topic == kState) {
            revisions.push_back(QJsonDocument::fromJson(m.payload)["revision"].toInt());
        }
    }
    EXPECT_EQ(revisions, (std::vector<int>{before + 1, before + 2, before + 3}));

    // A subscriber that comes later gets the same document, retained.
    Probe late(broker.Port(), "late", {"quorvel/lab/#"});
    ASSERT_TRUE(late.WaitReady());
    const QJsonObject api = State();
    ASSERT_TRUE(late.Last(kState) && late.Last(kAvailability));
    EXPECT_TRUE(late.Last(kState)->retained);
    EXPECT_EQ(late.Json(kState), api);
    EXPECT_EQ(api["outputs"][8]["video"], 5);
    EXPECT_EQ(late.Last(kAvailability)->payload, "online");
    EXPECT_TRUE(late.Last(kAvailability)->retained);
    EXPECT_TRUE(Metric("\nquorvel_mqtt_connected 1\n"));

    mqtt->Stop();
    ASSERT_TRUE(WaitFor([&] { return late.Last(kAvailability)->payload == "offline"; }));
    EXPECT_TRUE(log.contains(
        QStringLiteral("mqtt: connected to 127.0.0.1:%1 as quorvel/lab/").arg(broker.Port())));
}

// The demo switcher: output 1's group (outputs 1 and 2) admits inputs 1 to 3,
// output 9 is in no group, presets 1, 2 and 5 are stored.
TEST_F(MqttBridge, EveryCommandTopicSendsItsLines) {
    const struct {
        const char* operation;
        const char* payload;
        Lines lines;
    } cases[] = {
        {"route", R"({"output":9,"input":5})", {"RTEMP 9 5 5"}},
        {"route",
         R"({"output":9,"input":5,"signals":"video","take":true})",
         {"RTEMP 9 5 101", "TAKE 1"}},
        {"route",
         R"({"output":1,"input":2,"signals":"audio"})",
         {"RTEMP 1 101 2", "RTEMP 2 101 2"}},
        {"take", "", {"TAKE 1"}},
        {"cancel", "", {"TAKE 0"}},
        {"clear", "", {"CLEAR"}},
        {"mute", R"({"output":2,"muted":true})", {"OMUTE 2 1"}},
        {"level", R"({"input":3,"db":0})", {"ALVL 3 198"}},
        {"level", R"({"input":4,"raw":180})", {"ALVL 4 180"}},
        {"preset/store", R"({"preset":3})", {"TAKE 1", "PRST 3"}},
        {"preset/recall", R"({"preset":5})", {"RPRST 5 0"}},
        {"setup",
         R"({"front_panel_lock":true,"switch_source":"vref-in","rgb_delay":1500})",
         {"FPLOCK 1", "SWITCH 3", "FDLY 1500"}},
        {"read", "", ReadBackLines()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.payload);
        StartMqtt();
        probe->Clear();
        ASSERT_TRUE(probe->Publish(Set(c.operation), c.payload));
        ASSERT_TRUE(WaitFor([&] { return Received().size() >= c.lines.size() && bridge->Idle(); }));
        EXPECT_EQ(Received(), c.lines);
        EXPECT_EQ(probe->Count(kError), 0);
    }
}

TEST_F(MqttBridge, BadPayloadsPublishAnErrorAndSendNothing) {
    // A retained command waits on the broker for the bridge's subscription,
    // which would run it again at every reconnect: it is refused.
    ASSERT_TRUE(probe->Publish(Set("route"), R"({"output":9,"input":5})", true));
    StartMqtt();
    ASSERT_TRUE(WaitFor([&] { return probe->Last(kError) != nullptr; }));
    EXPECT_EQ(probe->Json(kError),
              (QJsonObject{{"operation", "route"},
                           {"error", "a retained command is not run: publish commands without "
                                     "the retain flag"}}));
    const int before = bridge->Session().Revision();
    const QString operations = "the operations are route, take, cancel, clear, mute, level, "
                               "preset/recall, preset/store, setup, read";
    const struct {
        const char* operation;
        QByteArray payload;
        QString error;
    } cases[] = {
        {"route", "{\"output\":", "the body is not a JSON object"},
        {"route", "[1,2]", "the body is not a JSON object"},
        {"route", R"({"output":2})", "the field \"input\" is missing"},
        {"route", R"({"output":1,"input":2,"tkae":true})", "unknown field \"tkae\""},
        {"route", R"({"output":1,"input":2,"signals":"both"})",
         "\"signals\" must be av or video or audio, not both"},
        {"mute", R"({"output":1,"muted":"maybe"})", "expected on or off, not \"maybe\""},
        {"level", R"({"input":1,"db":21})", "DB must be a whole number from -74 to 20, not \"21\""},
        {"level", R"({"input":1,"db":1,"raw":3})", "give one of \"db\" or \"raw\""},
        {"setup", "{}",
         "give at least one of \"front_panel_lock\", \"switch_source\" or \"rgb_delay\""},
        {"preset/store", QByteArray(64 * 1024 + 1, ' '), "a request body may hold at most 64 KiB"},
        // Refused by the switcher's state, after its turn in the queue.
        {"route", R"({"output":1,"input":9})",
         "input 9 is not one of the inputs of output 1's group"},
        {"preset/recall", R"({"preset":4})", "preset 4 is empty"},
        {"group/add", R"({"group":1,"output":2})",
         "there is no operation \"group/add\"; " + operations},
        {"labels", R"({"inputs":{"1":"X"}})", "there is no operation \"labels\"; " + operations},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.payload.left(60).toStdString());
        probe->Clear();
        ASSERT_TRUE(probe->Publish(Set(c.operation), c.payload));
        ASSERT_TRUE(WaitFor([&] { return probe->Last(kError) != nullptr; }));
        EXPECT_EQ(probe->Json(kError),
                  (QJsonObject{{"operation", c.operation}, {"error", c.error}}));
        EXPECT_FALSE(probe->Last(kError)->retained);
    }
    EXPECT_EQ(Received(), Lines{});
    EXPECT_EQ(bridge->Session().Revision(), before);
    EXPECT_TRUE(Metric("\nquorvel_mqtt_errors_total 15\n"));
}

// What Home Assistant needs of each component, unique ids, and the payloads
// it sends driving the switcher.
TEST_F(MqttBridge, TheDiscoveryDocumentsHaveWhatHomeAssistantNeeds) {
    StartMqtt();
    ASSERT_TRUE(WaitFor([&] { return probe->Last(kLink) != nullptr; }));
    const std::map<QString, QByteArray> docs = probe->Retained("homeassistant/");
    std::map<QString, int> components;
    std::set<QString> ids;
    for (const auto& [topic, payload] : docs) {
        SCOPED_TRACE(topic.toStdString());
        const QJsonObject d = QJsonDocument::fromJson(payload).object();
        const QString component = topic.section('/', 1, 1);
        const QString command = d["command_topic"].toString();
        ++components[component];
        EXPECT_TRUE(ids.insert(d["unique_id"].toString()).second);
        EXPECT_TRUE(d["unique_id"].toString().startsWith("quorvel_lab_"));
        EXPECT_FALSE(d["name"].toString().isEmpty());
        EXPECT_EQ(d["availability_topic"], kAvailability);
        EXPECT_EQ(d["device"]["identifiers"], QJsonArray{"quorvel_lab"});
        EXPECT_EQ(d["device"]["model"], "Matrix switcher 16 x 16");
        EXPECT_EQ(d["device"]["sw_version"], State()["firmware"]);
        EXPECT_EQ(d["origin"]["sw_version"], QVC_VERSION);
        if (component != "button") {
            EXPECT_EQ(d["state_topic"], kState);
            EXPECT_FALSE(d["value_template"].toString().isEmpty());
        }
        if (component == "select") {
            EXPECT_EQ(command, Set("route"));
            EXPECT_EQ(d["options"].toArray().size(), 17);
            EXPECT_EQ(d["options"][16], "none");
        } else if (component == "number") {
            EXPECT_EQ(command, Set("level"));
            EXPECT_EQ(d["min"], -74);
            EXPECT_EQ(d["max"], 20);
            EXPECT_EQ(d["step"], 1);
        } else if (component == "switch") {
            EXPECT_EQ(command, Set("mute"));
        } else if (component == "button") {
            EXPECT_EQ(command, Set("preset/recall"));
        } else {
            EXPECT_EQ(d["device_class"], "connectivity");
            EXPECT_TRUE(command.isEmpty());
        }
    }
    // 16 outputs, 16 inputs with audio, presets 1, 2 and 5, the link.
    EXPECT_EQ(
        components,
        (std::map<QString, int>{
            {"select", 16}, {"switch", 16}, {"number", 16}, {"button", 3}, {"binary_sensor", 1}}));
    // Each retained, for Home Assistant's next start.
    Probe late(broker.Port(), "late", {"homeassistant/#"});
    ASSERT_TRUE(late.WaitReady());
    ASSERT_EQ(late.messages.size(), docs.size());
    for (const Probe::Message& m : late.messages) {
        EXPECT_TRUE(m.retained && m.payload == docs.at(m.topic)) << m.topic.toStdString();
    }
    // What the switch and the button send, as they are.
    const QJsonObject mute =
        QJsonDocument::fromJson(docs.at("homeassistant/switch/lab_mute2/config")).object();
    const QJsonObject recall =
        QJsonDocument::fromJson(docs.at("homeassistant/button/lab_preset5/config")).object();
    ASSERT_TRUE(
        probe->Publish(mute["command_topic"].toString(), mute["payload_on"].toString().toUtf8()));
    ASSERT_TRUE(probe->Publish(recall["command_topic"].toString(),
                               recall["payload_press"].toString().toUtf8()));
    ASSERT_TRUE(WaitFor([&] { return Received().size() >= 2 && bridge->Idle(); }));
    EXPECT_EQ(Received(), (Lines{"OMUTE 2 1", "RPRST 5 0"}));
}

TEST_F(MqttBridge, ASmallerModelPublishesItsOutputsAndClearsTheOthers) {
    // What a 16 x 16 under the same id left on the broker.
    for (int n = 1; n <= 16; ++n) {
        ASSERT_TRUE(probe->Publish(
            QStringLiteral("homeassistant/select/lab_output%1/config").arg(n), "{}", true));
        ASSERT_TRUE(probe->Publish(QStringLiteral("homeassistant/switch/lab_mute%1/config").arg(n),
                                   "{}", true));
    }
    ASSERT_TRUE(WaitFor([&] { return probe->Retained("homeassistant/").size() == 32; }));
    StartMqtt({.model = 0, .demo = true, .tcp = true}); // 12 x 4
    ASSERT_TRUE(WaitFor([&] { return probe->Last(kLink) != nullptr; }));
    Probe late(broker.Port(), "late", {"homeassistant/select/#", "homeassistant/switch/#"});
    ASSERT_TRUE(late.WaitReady());
    QStringList topics;
    for (const Probe::Message& m : late.messages) {
        topics << m.topic.section('/', 1, 2);
        if (m.topic.contains("/select/")) {
            EXPECT_EQ(QJsonDocument::fromJson(m.payload)["options"].toArray().size(), 13);
        }
    }
    topics.sort();
    EXPECT_EQ(topics, (QStringList{"select/lab_output1", "select/lab_output2", "select/lab_output3",
                                   "select/lab_output4", "switch/lab_mute1", "switch/lab_mute2",
                                   "switch/lab_mute3", "switch/lab_mute4"}));
}

TEST_F(MqttBridge, LabelsRenameEntitiesOnTheNextRevision) {
    StartMqtt();
    const QString button = "homeassistant/button/lab_preset1/config";
    const auto name = [&](const char* topic) { return probe->Json(topic)["name"].toString(); };
    ASSERT_TRUE(WaitFor([&] { return probe->Last(kLink) != nullptr; }));
    EXPECT_EQ(name("homeassistant/select/lab_output3/config"), "Output 3");
    const int buttons = probe->Count(button);
    ASSERT_EQ(
        Call("PUT", "/api/v1/labels", R"({"outputs":{"3":"PROJ"},"inputs":{"5":"CAM 5"}})").status,
        200);
    // The documents of one revision go out one after the other.
    ASSERT_TRUE(
        WaitFor([&] { return name("homeassistant/number/lab_level5/config") == "CAM 5 level"; }));
    EXPECT_EQ(name("homeassistant/select/lab_output3/config"), "PROJ");
    EXPECT_EQ(name("homeassistant/switch/lab_mute3/config"), "PROJ mute");
    EXPECT_EQ(probe->Json("homeassistant/select/lab_output1/config")["options"][4], "CAM 5");
    // What did not change is not sent again.
    EXPECT_EQ(probe->Count(button), buttons);
    EXPECT_EQ(Received(), Lines{});
}

// A broker that stops and starts again: HTTP answers meanwhile, the retained
// topics come back, availability goes online. The production back-off.
TEST_F(MqttBridge, TheBridgeComesBackAfterTheBrokerRestarts) {
    StartMqtt({.model = 3, .demo = true, .tcp = true}, bridge::MqttOptions{}.backoffMs);
    broker.Stop();
    ASSERT_TRUE(WaitFor([&] { return !mqtt->Connected(); }));
    const Reply r = Post("/api/v1/route", R"({"output":9,"input":5,"take":true})");
    EXPECT_EQ(r.status, 200) << r.body.constData();
    EXPECT_EQ(Received(), (Lines{"RTEMP 9 5 5", "TAKE 1"}));
    EXPECT_TRUE(Metric("\nquorvel_mqtt_connected 0\n"));
    const QString lost =
        QStringLiteral("mqtt: lost the broker at 127.0.0.1:%1: ").arg(broker.Port());
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString& l) {
        return l.startsWith(lost) && l.endsWith("; trying again in 1 s");
    })) << log.join('\n').toStdString();

    probe->Clear();
    const qint64 started = NowNs();
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitFor([&] { return Published() == bridge->Session().Revision(); }, 20000));
    std::printf(
        "[ figures  ] broker restart to state republished: %.0f ms (back-off 1, 2, 4 ... s)\n",
        static_cast<double>(probe->Last(kState)->ns - started) / 1e6);
    ASSERT_TRUE(WaitFor([&] { return probe->Last(kLink) != nullptr; }));
    EXPECT_EQ(probe->Last(kAvailability)->payload, "online");
    EXPECT_EQ(probe->Json(kState), State());
    EXPECT_TRUE(Metric("\nquorvel_mqtt_connected 1\n"));
    (*sim)->ClearReceivedLines();
    ASSERT_TRUE(probe->Publish(Set("mute"), R"({"output":4,"muted":true})"));
    ASSERT_TRUE(WaitFor([&] { return !Received().empty() && bridge->Idle(); }));
    EXPECT_EQ(Received(), Lines{"OMUTE 4 1"});
}

// TLS: tls/ca.pem signed the broker's certificate for 127.0.0.1 (both made
// for these tests, valid until 2126); tls/other-ca.pem signed nothing here.
TEST_F(MqttBridge, TlsNeedsTheCaThatSignedTheBroker) {
    const QString tls = QVC_TLS_DIR "/";
    Broker secure;
    secure.Configure(
        QStringLiteral("cafile %1ca.pem\ncertfile %1server.pem\nkeyfile %1server.key\n").arg(tls));
    ASSERT_TRUE(secure.Start());
    Probe reader(secure.Port(), "tls-probe", {"quorvel/#"}, tls + "ca.pem");
    ASSERT_TRUE(reader.WaitReady());
    Start();
    Connect(secure.Port(), tls + "other-ca.pem");
    const QString refused =
        QStringLiteral("mqtt: no broker at 127.0.0.1:%1: the TLS handshake failed "
                       "(does the CA file sign the broker's certificate, for this "
                       "name?); trying again in 0.1 s")
            .arg(secure.Port());
    ASSERT_TRUE(WaitFor([&] { return log.count(refused) >= 2; })) << log.join('\n').toStdString();
    EXPECT_FALSE(mqtt->Connected());

    Connect(secure.Port(), tls + "ca.pem");
    ASSERT_TRUE(WaitFor([&] { return reader.Last(kState) != nullptr; }));
    EXPECT_EQ(reader.Json(kState), State());
    ASSERT_TRUE(reader.Publish(Set("mute"), R"({"output":4,"muted":true})"));
    ASSERT_TRUE(WaitFor([&] { return !Received().empty() && bridge->Idle(); }));
    EXPECT_EQ(Received(), Lines{"OMUTE 4 1"});
}

// The time from a command's publication to the state that shows it.
TEST_F(MqttBridge, CommandToAcknowledgementFigures) {
    StartMqtt();
    std::vector<double> ms;
    for (int i = 0; i < 60; ++i) {
        const int before = bridge->Session().Revision();
        const qint64 sent = NowNs();
        ASSERT_TRUE(probe->Publish(
            Set("level"),
            QStringLiteral(R"({"input":%1,"raw":%2})").arg(1 + i % 16).arg(100 + i).toUtf8()));
        ASSERT_TRUE(WaitFor([&] { return Published() == before + 1; }));
        ms.push_back(static_cast<double>(probe->Last(kState)->ns - sent) / 1e6);
        ASSERT_TRUE(WaitFor([&] { return bridge->Idle(); }));
    }
    const Lines lines = Received();
    ASSERT_EQ(lines.size(), 60u);
    EXPECT_EQ(lines.front(), "ALVL 1 100");
    EXPECT_EQ(lines.back(), "ALVL 12 159");
    PrintFigures("MQTT command to state published, one bridge in process", ms);
}

} // namespace
} // namespace qvc::test
