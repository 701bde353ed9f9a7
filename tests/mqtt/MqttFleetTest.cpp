// A fleet against one broker: 20 simulators in this process and 20
// quorvel-bridge processes, each under its own id. Every state is retained
// under its own id, a command to each reaches its own switcher and no other,
// and SIGTERM leaves each "offline" with its link shown closed. The times
// from a command to its state and the bridges' memory are printed, not
// asserted.
#include "MqttRig.h"
#include "tests/support/SimPeer.h"

namespace qvc::test {
namespace {

constexpr std::size_t kFleet = 20;
constexpr int kRounds = 5;

QString Id(std::size_t i) {
    return QStringLiteral("fleet%1").arg(i, 2, 10, QLatin1Char('0'));
}
QString Topic(std::size_t i, const char* leaf) {
    return "quorvel/" + Id(i) + '/' + QLatin1String(leaf);
}

// The resident memory of a process, in MB (VmRSS).
double ResidentMb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? 0
                  : text.mid(at + 6, text.indexOf("kB", at) - at - 6).trimmed().toDouble() / 1024;
}

// True when `check` holds for every bridge.
template <typename Check> bool All(Check check) {
    for (std::size_t i = 0; i < kFleet; ++i) {
        if (!check(i)) {
            return false;
        }
    }
    return true;
}

TEST(MqttFleet, EachBridgeKeepsToItsOwnSwitcher) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    Probe probe(broker.Port(), "fleet-probe",
                {"quorvel/+/state", "quorvel/+/availability", "quorvel/+/error"});
    ASSERT_TRUE(probe.WaitReady());
    std::vector<std::unique_ptr<SimPeer>> sims;
    std::vector<std::unique_ptr<QProcess>> bridges;
    for (std::size_t i = 0; i < kFleet; ++i) {
        sims.push_back(std::make_unique<SimPeer>(SimSpec{.model = 3, .demo = true, .tcp = true}));
        bridges.push_back(std::make_unique<QProcess>());
        bridges[i]->setProcessChannelMode(QProcess::MergedChannels);
        bridges[i]->start(QVBRIDGE_EXE,
                          {"--tcp", QStringLiteral("127.0.0.1:%1").arg((*sims[i])->TcpPort()),
                           "--listen", "127.0.0.1:0", "--poll", "0", "--mqtt",
                           QStringLiteral("127.0.0.1:%1").arg(broker.Port()), "--mqtt-id", Id(i)});
    }
    const auto state = [&](std::size_t i) -> const QJsonObject {
        return probe.Json(Topic(i, "state"));
    };
    ASSERT_TRUE(WaitFor(
        [&] { return All([&](std::size_t i) { return state(i)["link"]["up"].toBool(); }); }, 30000))
        << bridges.front()->readAll().constData();

    // Each id's state is its own switcher's: the link names its port.
    for (std::size_t i = 0; i < kFleet; ++i) {
        EXPECT_EQ(state(i)["link"]["target"],
                  QStringLiteral("127.0.0.1:%1").arg((*sims[i])->TcpPort()));
        EXPECT_EQ(probe.Last(Topic(i, "availability"))->payload, "online");
        (*sims[i])->ClearReceivedLines();
    }
    // Every bridge gets a command at once in each round; input and level
    // differ from bridge to bridge.
    const auto line = [](std::size_t i, int r) {
        return QStringLiteral(R"({"input":%1,"raw":%2})")
            .arg(1 + i % 16)
            .arg(100 + r * 20 + int(i));
    };
    std::vector<double> ms;
    for (int r = 0; r < kRounds; ++r) {
        std::vector<int> before;
        std::vector<qint64> sent;
        for (std::size_t i = 0; i < kFleet; ++i) {
            before.push_back(state(i)["revision"].toInt());
            sent.push_back(NowNs());
            ASSERT_TRUE(probe.Publish(Topic(i, "set/level"), line(i, r).toUtf8()));
        }
        ASSERT_TRUE(WaitFor([&] {
            return All([&](std::size_t i) { return state(i)["revision"].toInt() > before[i]; });
        }));
        for (std::size_t i = 0; i < kFleet; ++i) {
            ms.push_back(static_cast<double>(probe.Last(Topic(i, "state"))->ns - sent[i]) / 1e6);
        }
    }
    for (std::size_t i = 0; i < kFleet; ++i) {
        Lines expected;
        for (int r = 0; r < kRounds; ++r) {
            expected.push_back("ALVL " + std::to_string(1 + i % 16) + " " +
                               std::to_string(100 + r * 20 + int(i)));
        }
        EXPECT_EQ(sims[i]->Lines(kRounds), expected) << i;
        EXPECT_EQ(probe.Last(Topic(i, "error")), nullptr) << i;
    }
    PrintFigures("MQTT command to state published, 20 bridges at once (processes)", ms);

    // A late subscriber gets all 20 states, retained.
    Probe late(broker.Port(), "fleet-late", {"quorvel/+/state"});
    ASSERT_TRUE(late.WaitReady());
    ASSERT_EQ(late.messages.size(), kFleet);
    for (std::size_t i = 0; i < kFleet; ++i) {
        ASSERT_NE(late.Last(Topic(i, "state")), nullptr) << i;
        EXPECT_TRUE(late.Last(Topic(i, "state"))->retained);
        EXPECT_EQ(late.Json(Topic(i, "state")), state(i));
    }

    std::vector<double> rss;
    for (auto& p : bridges) {
        rss.push_back(ResidentMb(p->processId()));
        p->terminate();
    }
    std::sort(rss.begin(), rss.end());
    std::printf("[ figures  ] quorvel-bridge with MQTT, resident memory: median %.1f MB, largest "
                "%.1f MB over %zu processes\n",
                rss[kFleet / 2], rss.back(), kFleet);
    for (auto& p : bridges) {
        ASSERT_TRUE(p->waitForFinished(15000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAll().constData();
    }
    EXPECT_TRUE(WaitFor([&] {
        return All([&](std::size_t i) {
            return probe.Last(Topic(i, "availability"))->payload == "offline";
        });
    }));
    // The last state each published shows the link closed.
    EXPECT_TRUE(All([&](std::size_t i) { return !state(i)["link"]["up"].toBool(); }));
}

} // namespace
} // namespace qvc::test
