// The bridge's MQTT front in the test process, against the simulator and a
// real broker: the retained state against the HTTP API, every command topic's
// exact lines, refusals published with nothing sent, the discovery documents
// as Home Assistant reads them, a smaller model, label edits, and a broker
// that goes away and comes back.
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

const QString kId = QStringLiteral("lab");

QString T(const QString& leaf) {
    return bridge::MqttTopic(kId, leaf);
}

class MqttBridge : public BridgeRig {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Start());
        probe = std::make_unique<Probe>(
            broker.Port(), QStringLiteral("probe"),
            QStringList{QStringLiteral("quorvel/#"), QStringLiteral("homeassistant/#")});
        ASSERT_TRUE(probe->WaitReady());
    }

    // A demo switcher, the bridge linked to it and read back, and its MQTT
    // front connected; the simulator's record starts empty.
    void StartMqtt(SimSpec switcher = {.model = 3, .demo = true, .tcp = true},
                   std::vector<int> backoffMs = {100, 200, 400}) {
        mqtt.reset();
        options.host = QStringLiteral("127.0.0.1");
        options.port = broker.Port();
        options.id = kId;
        options.backoffMs = std::move(backoffMs);
        Start(switcher, [&](bridge::Options& o) { o.mqtt = options; });
        mqtt = std::make_unique<bridge::Mqtt>(*bridge, options,
                                              [this](const QString& line) { log << line; });
        mqtt->Start();
        ASSERT_TRUE(WaitFor([&] { return mqtt->Connected(); }));
        ASSERT_TRUE(WaitFor([&] { return PublishedRevision() == bridge->Session().Revision(); }));
    }

    // The revision of the last state the probe got, or -1.
    int PublishedRevision() const {
        const Probe::Message* m = probe->Last(T(QStringLiteral("state")));
        return m == nullptr ? -1
                            : QJsonDocument::fromJson(m->payload)
                                  .object()[QStringLiteral("revision")]
                                  .toInt();
    }

    Broker broker;
    bridge::MqttOptions options;
    std::unique_ptr<Probe> probe;
    std::unique_ptr<bridge::Mqtt> mqtt;
};

TEST_F(MqttBridge, TheStateIsRetainedOnEveryRevisionAndMatchesTheApi) {
    StartMqtt();
    const int before = bridge->Session().Revision();
    probe->Clear();
    ASSERT_EQ(Post("/api/v1/route", R"({"output":9,"input":5,"take":true})").status, 200);
    ASSERT_EQ(Post("/api/v1/setup", R"({"front_panel_lock":true,"rgb_delay":1500})").status, 200);
    ASSERT_TRUE(WaitFor([&] { return PublishedRevision() == before + 3; }));
    std::vector<int> revisions;
    for (const Probe::Message& m : probe->messages) {
        if (m.topic == T(QStringLiteral("state"))) {
            revisions.push_back(
                QJsonDocument::fromJson(m.payload).object()[QStringLiteral("revision")].toInt());
        }
    }
    EXPECT_EQ(revisions, (std::vector<int>{before + 1, before + 2, before + 3}));

    // A subscriber that comes later gets the same document, retained.
    Probe late(broker.Port(), QStringLiteral("late"), {QStringLiteral("quorvel/lab/#")});
    ASSERT_TRUE(late.WaitReady());
    const QJsonObject api = State();
    ASSERT_NE(late.Last(T(QStringLiteral("state"))), nullptr);
    EXPECT_TRUE(late.Last(T(QStringLiteral("state")))->retained);
    EXPECT_EQ(late.Json(T(QStringLiteral("state"))), api);
    EXPECT_EQ(api[QStringLiteral("outputs")].toArray()[8].toObject()[QStringLiteral("video")], 5);
    ASSERT_NE(late.Last(T(QStringLiteral("availability"))), nullptr);
    EXPECT_EQ(late.Last(T(QStringLiteral("availability")))->payload, "online");
    EXPECT_TRUE(late.Last(T(QStringLiteral("availability")))->retained);
    EXPECT_TRUE(Call("GET", "/metrics").body.contains("\nquorvel_mqtt_connected 1\n"));

    // Stopped: "offline", retained.
    mqtt->Stop();
    ASSERT_TRUE(WaitFor([&] {
        const Probe::Message* m = late.Last(T(QStringLiteral("availability")));
        return m != nullptr && m->payload == "offline";
    }));
    EXPECT_TRUE(log.contains(
        QStringLiteral("mqtt: connected to 127.0.0.1:%1 as quorvel/lab/").arg(broker.Port())))
        << log.join('\n').toStdString();
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
        ASSERT_TRUE(
            probe->Publish(T(QStringLiteral("set/")) + QLatin1String(c.operation), c.payload));
        ASSERT_TRUE(WaitFor([&] { return Received().size() >= c.lines.size(); }));
        ASSERT_TRUE(WaitFor([&] { return bridge->Idle(); }));
        EXPECT_EQ(Received(), c.lines);
        EXPECT_EQ(probe->Count(T(QStringLiteral("error"))), 0);
    }
}

TEST_F(MqttBridge, BadPayloadsPublishAnErrorAndSendNothing) {
    // A retained command waits on the broker for the bridge's subscription,
    // which would run it again at every reconnect: it is refused.
    ASSERT_TRUE(probe->Publish(T(QStringLiteral("set/route")), R"({"output":9,"input":5})", true));
    StartMqtt();
    ASSERT_TRUE(WaitFor([&] { return probe->Last(T(QStringLiteral("error"))) != nullptr; }));
    EXPECT_EQ(probe->Json(T(QStringLiteral("error"))),
              (QJsonObject{{"operation", "route"},
                           {"error", "a retained command is not run: publish commands without "
                                     "the retain flag"}}));

    const int before = bridge->Session().Revision();
    const struct {
        const char* operation;
        QByteArray payload;
        const char* error;
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
         "there is no operation \"group/add\"; the operations are route, take, cancel, clear, "
         "mute, level, preset/recall, preset/store, setup, read"},
        {"labels", R"({"inputs":{"1":"X"}})",
         "there is no operation \"labels\"; the operations are route, take, cancel, clear, mute, "
         "level, preset/recall, preset/store, setup, read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.operation) + " " + c.payload.left(60).toStdString());
        probe->Clear();
        ASSERT_TRUE(
            probe->Publish(T(QStringLiteral("set/")) + QLatin1String(c.operation), c.payload));
        ASSERT_TRUE(WaitFor([&] { return probe->Last(T(QStringLiteral("error"))) != nullptr; }));
        EXPECT_EQ(probe->Json(T(QStringLiteral("error"))),
                  (QJsonObject{{"operation", c.operation}, {"error", c.error}}));
        EXPECT_FALSE(probe->Last(T(QStringLiteral("error")))->retained);
    }
    EXPECT_EQ(Received(), Lines{});
    EXPECT_EQ(bridge->Session().Revision(), before);
    EXPECT_TRUE(Call("GET", "/metrics").body.contains("\nquorvel_mqtt_errors_total 15\n"));
}

// What Home Assistant needs of each component, and unique ids across them.
TEST_F(MqttBridge, TheDiscoveryDocumentsHaveWhatHomeAssistantNeeds) {
    StartMqtt();
    ASSERT_TRUE(WaitFor([&] {
        return probe->Last(QStringLiteral("homeassistant/binary_sensor/lab_link/config")) !=
               nullptr;
    }));
    const std::map<QString, QByteArray> docs = probe->Retained(QStringLiteral("homeassistant/"));
    std::map<QString, int> components;
    std::set<QString> uniqueIds;
    for (const auto& [topic, payload] : docs) {
        SCOPED_TRACE(topic.toStdString());
        const QJsonObject d = QJsonDocument::fromJson(payload).object();
        const QString component = topic.section(QLatin1Char('/'), 1, 1);
        ++components[component];
        EXPECT_TRUE(uniqueIds.insert(d[QStringLiteral("unique_id")].toString()).second);
        EXPECT_TRUE(
            d[QStringLiteral("unique_id")].toString().startsWith(QStringLiteral("quorvel_lab_")));
        EXPECT_FALSE(d[QStringLiteral("name")].toString().isEmpty());
        EXPECT_EQ(d[QStringLiteral("availability_topic")].toString(),
                  T(QStringLiteral("availability")));
        const QJsonObject device = d[QStringLiteral("device")].toObject();
        EXPECT_EQ(device[QStringLiteral("identifiers")].toArray(), QJsonArray{"quorvel_lab"});
        EXPECT_EQ(device[QStringLiteral("model")].toString(), "Matrix switcher 16 x 16");
        EXPECT_EQ(device[QStringLiteral("sw_version")], State()[QStringLiteral("firmware")]);
        EXPECT_EQ(d[QStringLiteral("origin")].toObject()[QStringLiteral("sw_version")].toString(),
                  QStringLiteral(QVC_VERSION));
        if (component != QLatin1String("binary_sensor")) {
            EXPECT_TRUE(d[QStringLiteral("command_topic")].toString().startsWith(
                T(QStringLiteral("set/"))));
        }
        if (component != QLatin1String("button")) {
            EXPECT_EQ(d[QStringLiteral("state_topic")].toString(), T(QStringLiteral("state")));
            EXPECT_FALSE(d[QStringLiteral("value_template")].toString().isEmpty());
        }
        if (component == QLatin1String("select")) {
            EXPECT_EQ(d[QStringLiteral("command_topic")].toString(),
                      T(QStringLiteral("set/route")));
            EXPECT_EQ(d[QStringLiteral("options")].toArray().size(), 17);
            EXPECT_EQ(d[QStringLiteral("options")].toArray().last().toString(), "none");
        } else if (component == QLatin1String("number")) {
            EXPECT_EQ(d[QStringLiteral("command_topic")].toString(),
                      T(QStringLiteral("set/level")));
            EXPECT_EQ(d[QStringLiteral("min")].toInt(), -74);
            EXPECT_EQ(d[QStringLiteral("max")].toInt(), 20);
            EXPECT_EQ(d[QStringLiteral("step")].toInt(), 1);
        } else if (component == QLatin1String("switch")) {
            EXPECT_EQ(d[QStringLiteral("command_topic")].toString(), T(QStringLiteral("set/mute")));
        } else if (component == QLatin1String("button")) {
            EXPECT_EQ(d[QStringLiteral("command_topic")].toString(),
                      T(QStringLiteral("set/preset/recall")));
        } else {
            EXPECT_EQ(component, "binary_sensor");
            EXPECT_EQ(d[QStringLiteral("device_class")].toString(), "connectivity");
        }
    }
    // 16 outputs, 16 inputs with audio, presets 1, 2 and 5, the link.
    EXPECT_EQ(
        components,
        (std::map<QString, int>{
            {"select", 16}, {"switch", 16}, {"number", 16}, {"button", 3}, {"binary_sensor", 1}}));
    // Each retained, for Home Assistant's next start.
    Probe late(broker.Port(), QStringLiteral("late"), {QStringLiteral("homeassistant/#")});
    ASSERT_TRUE(late.WaitReady());
    ASSERT_TRUE(WaitFor([&] { return late.messages.size() == docs.size(); }));
    for (const Probe::Message& m : late.messages) {
        EXPECT_TRUE(m.retained) << m.topic.toStdString();
        EXPECT_EQ(m.payload, docs.at(m.topic)) << m.topic.toStdString();
    }
}

TEST_F(MqttBridge, ASmallerModelPublishesItsOutputsAndClearsTheOthers) {
    // What a 16 x 16 under the same id left on the broker.
    for (int n = 1; n <= 16; ++n) {
        ASSERT_TRUE(probe->Publish(
            QStringLiteral("homeassistant/select/lab_output%1/config").arg(n), "{}", true));
        ASSERT_TRUE(probe->Publish(QStringLiteral("homeassistant/switch/lab_mute%1/config").arg(n),
                                   "{}", true));
    }
    ASSERT_TRUE(
        WaitFor([&] { return probe->Retained(QStringLiteral("homeassistant/")).size() == 32; }));
    StartMqtt({.model = 0, .demo = true, .tcp = true}); // 12 x 4
    ASSERT_TRUE(WaitFor([&] {
        return probe->Last(QStringLiteral("homeassistant/binary_sensor/lab_link/config")) !=
               nullptr;
    }));
    Probe late(
        broker.Port(), QStringLiteral("late"),
        {QStringLiteral("homeassistant/select/#"), QStringLiteral("homeassistant/switch/#")});
    ASSERT_TRUE(late.WaitReady());
    std::vector<QString> topics;
    for (const Probe::Message& m : late.messages) {
        topics.push_back(m.topic);
        const QJsonObject d = QJsonDocument::fromJson(m.payload).object();
        if (m.topic.contains(QLatin1String("/select/"))) {
            EXPECT_EQ(d[QStringLiteral("options")].toArray().size(), 13) << m.topic.toStdString();
        }
    }
    std::sort(topics.begin(), topics.end());
    EXPECT_EQ(
        topics,
        (std::vector<QString>{
            "homeassistant/select/lab_output1/config", "homeassistant/select/lab_output2/config",
            "homeassistant/select/lab_output3/config", "homeassistant/select/lab_output4/config",
            "homeassistant/switch/lab_mute1/config", "homeassistant/switch/lab_mute2/config",
            "homeassistant/switch/lab_mute3/config", "homeassistant/switch/lab_mute4/config"}));
}

TEST_F(MqttBridge, LabelsRenameEntitiesOnTheNextRevision) {
    StartMqtt();
    const QString select3 = QStringLiteral("homeassistant/select/lab_output3/config");
    const QString button1 = QStringLiteral("homeassistant/button/lab_preset1/config");
    ASSERT_TRUE(WaitFor([&] { return probe->Last(button1) != nullptr; }));
    EXPECT_EQ(probe->Json(select3)[QStringLiteral("name")].toString(), "Output 3");
    const int buttons = probe->Count(button1);
    ASSERT_EQ(
        Call("PUT", "/api/v1/labels", R"({"outputs":{"3":"PROJ"},"inputs":{"5":"CAM 5"}})").status,
        200);
    const auto name = [&](const char* topic) {
        return probe->Json(QLatin1String(topic))[QStringLiteral("name")].toString();
    };
    // The documents of one revision go out one after the other.
    ASSERT_TRUE(
        WaitFor([&] { return name("homeassistant/number/lab_level5/config") == "CAM 5 level"; }));
    EXPECT_EQ(name("homeassistant/select/lab_output3/config"), "PROJ");
    EXPECT_EQ(name("homeassistant/switch/lab_mute3/config"), "PROJ mute");
    EXPECT_EQ(probe
                  ->Json(QStringLiteral(
                      "homeassistant/select/lab_output1/config"))[QStringLiteral("options")]
                  .toArray()[4]
                  .toString(),
              "CAM 5");
    // What did not change is not sent again.
    EXPECT_EQ(probe->Count(button1), buttons);
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
    EXPECT_TRUE(Call("GET", "/metrics").body.contains("\nquorvel_mqtt_connected 0\n"));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString& l) {
        return l.startsWith(
                   QStringLiteral("mqtt: lost the broker at 127.0.0.1:%1: ").arg(broker.Port())) &&
               l.endsWith(QStringLiteral("; trying again in 1 s"));
    })) << log.join('\n').toStdString();

    probe->Clear();
    const qint64 started = NowNs();
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(
        WaitFor([&] { return PublishedRevision() == bridge->Session().Revision(); }, 20000));
    const double back =
        static_cast<double>(probe->Last(T(QStringLiteral("state")))->ns - started) / 1e6;
    std::printf(
        "[ figures  ] broker restart to state republished: %.0f ms (back-off 1, 2, 4 ... s)\n",
        back);
    ASSERT_TRUE(WaitFor([&] {
        return probe->Last(QStringLiteral("homeassistant/binary_sensor/lab_link/config")) !=
               nullptr;
    }));
    EXPECT_EQ(probe->Last(T(QStringLiteral("availability")))->payload, "online");
    EXPECT_EQ(probe->Json(T(QStringLiteral("state"))), State());
    EXPECT_TRUE(Call("GET", "/metrics").body.contains("\nquorvel_mqtt_connected 1\n"));
    // And commands work again.
    (*sim)->ClearReceivedLines();
    ASSERT_TRUE(probe->Publish(T(QStringLiteral("set/mute")), R"({"output":4,"muted":true})"));
    ASSERT_TRUE(WaitFor([&] { return !Received().empty() && bridge->Idle(); }));
    EXPECT_EQ(Received(), Lines{"OMUTE 4 1"});
}

// TLS: tls/ca.pem signed the broker's certificate for 127.0.0.1 (both made
// for these tests, valid until 2126); tls/other-ca.pem signed nothing here.
TEST_F(MqttBridge, TlsNeedsTheCaThatSignedTheBroker) {
    const QString tls = QStringLiteral(QVC_TLS_DIR "/");
    Broker secure;
    secure.Configure(
        QStringLiteral("cafile %1ca.pem\ncertfile %1server.pem\nkeyfile %1server.key\n").arg(tls));
    ASSERT_TRUE(secure.Start());
    Probe reader(secure.Port(), QStringLiteral("tls-probe"), {QStringLiteral("quorvel/#")},
                 tls + QStringLiteral("ca.pem"));
    ASSERT_TRUE(reader.WaitReady());

    Start();
    options.host = QStringLiteral("127.0.0.1");
    options.port = secure.Port();
    options.id = kId;
    options.backoffMs = {100};
    options.tlsCaFile = tls + QStringLiteral("other-ca.pem");
    auto wrong = std::make_unique<bridge::Mqtt>(*bridge, options,
                                                [this](const QString& line) { log << line; });
    wrong->Start();
    const QString refused =
        QStringLiteral("mqtt: no broker at 127.0.0.1:%1: the TLS handshake failed (does the CA "
                       "file sign the broker's certificate, for this name?); trying again in 0.1 s")
            .arg(secure.Port());
    ASSERT_TRUE(WaitFor([&] { return log.count(refused) >= 2; })) << log.join('\n').toStdString();
    EXPECT_FALSE(wrong->Connected());
    wrong.reset();

    options.tlsCaFile = tls + QStringLiteral("ca.pem");
    mqtt = std::make_unique<bridge::Mqtt>(*bridge, options,
                                          [this](const QString& line) { log << line; });
    mqtt->Start();
    ASSERT_TRUE(WaitFor([&] { return reader.Last(T(QStringLiteral("state"))) != nullptr; }));
    EXPECT_EQ(reader.Json(T(QStringLiteral("state"))), State());
    ASSERT_TRUE(reader.Publish(T(QStringLiteral("set/mute")), R"({"output":4,"muted":true})"));
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
            T(QStringLiteral("set/level")),
            QStringLiteral(R"({"input":%1,"raw":%2})").arg(1 + i % 16).arg(100 + i).toUtf8()));
        ASSERT_TRUE(WaitFor([&] { return PublishedRevision() == before + 1; }));
        ms.push_back(static_cast<double>(probe->Last(T(QStringLiteral("state")))->ns - sent) / 1e6);
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
