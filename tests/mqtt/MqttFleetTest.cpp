// A fleet against one broker: 20 simulators in this process and 20
// quorvel-bridge processes, each under its own id. Every state is retained
// under its own id, a command to each reaches its own switcher and no other,
// and SIGTERM leaves each "offline" with its link shown closed. The times
// from a command to its state and the bridges' memory are printed, not
// asserted.
#include "MqttRig.h"
#include "bridge/Discovery.h"
#include "tests/support/SimPeer.h"

#include <QJsonArray>

namespace qvc::test {
namespace {

constexpr int kFleet = 20;
constexpr int kRounds = 5;

QString Id(int i) {
    return QStringLiteral("fleet%1").arg(i, 2, 10, QLatin1Char('0'));
}

// The resident memory of a process, in MB (VmRSS).
double ResidentMb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return 0;
}

TEST(MqttFleet, EachBridgeKeepsToItsOwnSwitcher) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    Probe probe(broker.Port(), QStringLiteral("fleet-probe"),
                {QStringLiteral("quorvel/+/state"), QStringLiteral("quorvel/+/availability"),
                 QStringLiteral("quorvel/+/error")});
    ASSERT_TRUE(probe.WaitReady());
    std::vector<std::unique_ptr<SimPeer>> sims;
    std::vector<std::unique_ptr<QProcess>> bridges;
    for (int i = 0; i < kFleet; ++i) {
        sims.push_back(std::make_unique<SimPeer>(SimSpec{.model = 3, .demo = true, .tcp = true}));
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QStringLiteral(QVBRIDGE_EXE),
                 {"--tcp", QStringLiteral("127.0.0.1:%1").arg((*sims.back())->TcpPort()),
                  "--listen", "127.0.0.1:0", "--poll", "0", "--mqtt",
                  QStringLiteral("127.0.0.1:%1").arg(broker.Port()), "--mqtt-id", Id(i)});
        bridges.push_back(std::move(p));
    }
    for (auto& p : bridges) {
        ASSERT_TRUE(p->waitForStarted(10000));
    }
    const auto state = [&](int i) {
        return probe.Json(bridge::MqttTopic(Id(i), QStringLiteral("state")));
    };
    const bool up = WaitFor(
        [&] {
            for (int i = 0; i < kFleet; ++i) {
                if (!state(i)[QStringLiteral("link")][QStringLiteral("up")].toBool()) {
                    return false;
                }
            }
            return true;
        },
        30000);
    ASSERT_TRUE(up) << bridges.front()->readAll().constData();

    // Each id's state is its own switcher's: the link names its port.
    for (int i = 0; i < kFleet; ++i) {
        EXPECT_EQ(
            state(i)[QStringLiteral("link")][QStringLiteral("target")].toString(),
            QStringLiteral("127.0.0.1:%1").arg((*sims[static_cast<std::size_t>(i)])->TcpPort()));
        const Probe::Message* a =
            probe.Last(bridge::MqttTopic(Id(i), QStringLiteral("availability")));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->payload, "online");
    }
    std::vector<double> ms;
    for (auto& s : sims) {
        (*s)->ClearReceivedLines();
    }
    // Every bridge gets a command at once in each round; input and level
    // differ from bridge to bridge.
    for (int r = 0; r < kRounds; ++r) {
        std::vector<int> before;
        std::vector<qint64> sent;
        for (int i = 0; i < kFleet; ++i) {
            before.push_back(state(i)[QStringLiteral("revision")].toInt());
            sent.push_back(NowNs());
            ASSERT_TRUE(probe.Publish(bridge::MqttTopic(Id(i), QStringLiteral("set/level")),
                                      QStringLiteral(R"({"input":%1,"raw":%2})")
                                          .arg(1 + i % 16)
                                          .arg(100 + r * 20 + i)
                                          .toUtf8()));
        }
        ASSERT_TRUE(WaitFor(
            [&] {
                for (int i = 0; i < kFleet; ++i) {
                    if (state(i)[QStringLiteral("revision")].toInt() <=
                        before[static_cast<std::size_t>(i)]) {
                        return false;
                    }
                }
                return true;
            },
            20000));
        for (int i = 0; i < kFleet; ++i) {
            const qint64 at = probe.Last(bridge::MqttTopic(Id(i), QStringLiteral("state")))->ns;
            ms.push_back(static_cast<double>(at - sent[static_cast<std::size_t>(i)]) / 1e6);
        }
    }
    for (int i = 0; i < kFleet; ++i) {
        SCOPED_TRACE(Id(i).toStdString());
        Lines expected;
        for (int r = 0; r < kRounds; ++r) {
            expected.push_back("ALVL " + std::to_string(1 + i % 16) + " " +
                               std::to_string(100 + r * 20 + i));
        }
        EXPECT_EQ(sims[static_cast<std::size_t>(i)]->Lines(kRounds), expected);
        EXPECT_EQ(probe.Last(bridge::MqttTopic(Id(i), QStringLiteral("error"))), nullptr);
    }
    PrintFigures("MQTT command to state published, 20 bridges at once (processes)", ms);

    // A late subscriber gets all 20 states, retained.
    Probe late(broker.Port(), QStringLiteral("fleet-late"), {QStringLiteral("quorvel/+/state")});
    ASSERT_TRUE(late.WaitReady());
    ASSERT_TRUE(WaitFor([&] { return late.messages.size() == kFleet; }));
    for (int i = 0; i < kFleet; ++i) {
        const Probe::Message* m = late.Last(bridge::MqttTopic(Id(i), QStringLiteral("state")));
        ASSERT_NE(m, nullptr) << Id(i).toStdString();
        EXPECT_TRUE(m->retained);
        EXPECT_EQ(QJsonDocument::fromJson(m->payload).object(), state(i));
    }

    std::vector<double> rss;
    for (auto& p : bridges) {
        rss.push_back(ResidentMb(p->processId()));
    }
    std::sort(rss.begin(), rss.end());
    std::printf("[ figures  ] quorvel-bridge with MQTT, resident memory: median %.1f MB, largest "
                "%.1f MB over %d processes\n",
                rss[rss.size() / 2], rss.back(), kFleet);

    for (auto& p : bridges) {
        p->terminate();
    }
    for (int i = 0; i < kFleet; ++i) {
        QProcess& p = *bridges[static_cast<std::size_t>(i)];
        ASSERT_TRUE(p.waitForFinished(15000)) << Id(i).toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << p.readAll().constData();
    }
    EXPECT_TRUE(WaitFor([&] {
        for (int i = 0; i < kFleet; ++i) {
            const Probe::Message* a =
                probe.Last(bridge::MqttTopic(Id(i), QStringLiteral("availability")));
            if (a == nullptr || a->payload != "offline") {
                return false;
            }
        }
        return true;
    }));
    // The last state each published shows the link closed.
    for (int i = 0; i < kFleet; ++i) {
        EXPECT_FALSE(state(i)[QStringLiteral("link")][QStringLiteral("up")].toBool())
            << Id(i).toStdString();
    }
}

} // namespace
} // namespace qvc::test
