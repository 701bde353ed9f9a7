// The session of the programs without a window against the simulator: each
// operation reads what it needs, sends the table's lines and moves the
// revision once per change; refusals and notes send nothing and change
// nothing; the state document follows the switcher.
#include "session/Session.h"

#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace qvc::test {
namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    AddApplicationEnvironment<QCoreApplication>("session_tests");

using session::Args;
using session::Session;

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() : sim({.model = 3, .tcp = true}) {
        session::LinkTarget target;
        target.kind = session::LinkTarget::Kind::Tcp;
        target.tcpAddress = QStringLiteral("127.0.0.1");
        target.tcpPort = sim->TcpPort();
        session = std::make_unique<Session>(target, ShortTimings(), prompts);
    }

    Session::Result Run(const char* operation, const Args& args = {}) {
        const session::Operation* op = session::FindOperation(QString::fromLatin1(operation));
        EXPECT_NE(op, nullptr) << operation;
        return session->Run(*op, args);
    }
    static Args Of(std::initializer_list<std::pair<const char*, QVariant>> values) {
        Args args;
        for (const auto& [key, value] : values) {
            args.Set(QString::fromLatin1(key), value);
        }
        return args;
    }

    SimPeer sim;
    ScriptedPrompts prompts; // any message fails the test
    std::unique_ptr<Session> session;
};

TEST_F(SessionTest, OperationsSendTheirLinesAndMoveTheRevisionOncePerChange) {
    ASSERT_EQ(session->Open(), Session::OpenResult::Open);
    ASSERT_TRUE(session->Read(session::Reads::Everything));
    sim->ClearReceivedLines();
    QSignalSpy changes(session.get(), &Session::changed);
    const int start = session->Revision();

    const struct {
        const char* operation;
        Args args;
        Session::Result::Status status;
        Lines lines; // what the simulator receives
        int revisions;
    } steps[] = {
        // Everything is known: a resident session reads nothing before its checks.
        {"route",
         Of({{"output", 9}, {"input", 5}, {"signals", "video"}, {"take", true}, {"group", true}}),
         Session::Result::Status::Done,
         {"RTEMP 9 5 101", "TAKE 1"},
         1},
        {"route",
         Of({{"output", 1}, {"input", 9}, {"signals", "av"}, {"take", false}, {"group", true}}),
         Session::Result::Status::Refused,
         {},
         0},
        {"mute",
         Of({{"output", 3}, {"muted", true}}),
         Session::Result::Status::Done,
         {"OMUTE 3 1"},
         1},
        {"group add", Of({{"group", 1}, {"output", 1}}), Session::Result::Status::Done, {}, 0},
        {"preset store",
         Of({{"preset", 7}}),
         Session::Result::Status::Done,
         {"TAKE 1", "PRST 7"},
         1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.operation);
        const int before = session->Revision();
        const Session::Result r = Run(s.operation, s.args);
        EXPECT_EQ(r.status, s.status) << r.refusal.text.toStdString();
        EXPECT_EQ(sim->ReceivedLines(), s.lines);
        sim->ClearReceivedLines();
        EXPECT_EQ(session->Revision(), before + s.revisions);
    }
    EXPECT_EQ(changes.size(), session->Revision() - start);
    EXPECT_EQ(changes.last().at(0).toInt(), session->Revision());
}

TEST_F(SessionTest, RefusalsAndNotesHaveTheClientsWords) {
    ASSERT_EQ(session->Open(), Session::OpenResult::Open);
    const struct {
        const char* operation;
        Args args;
        session::Refusal::Kind kind;
        const char* text; // of the refusal, or else of the note
    } cases[] = {
        {"route", Of({{"output", 1}, {"input", 9}, {"signals", "av"}, {"group", true}}),
         session::Refusal::Kind::State, "input 9 is not one of the inputs of output 1's group"},
        {"group add", Of({{"group", 6}, {"input", 2}}), session::Refusal::Kind::State,
         "group 6 has no output: add an output first"},
        {"group add", Of({{"group", 2}, {"output", 1}}), session::Refusal::Kind::State,
         "output 1 belongs to another group"},
        {"group del", Of({{"group", 2}, {"input", 4}}), session::Refusal::Kind::Usage,
         "input 4 is not in group 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Session::Result r = Run(c.operation, c.args);
        const QString text = r.status == Session::Result::Status::Refused ? r.refusal.text : r.note;
        EXPECT_EQ(text.toStdString(), c.text);
        if (r.status == Session::Result::Status::Refused) {
            EXPECT_EQ(r.refusal.kind, c.kind);
        }
        EXPECT_TRUE(r.sent.empty());
    }
    EXPECT_EQ(sim->ReceivedLines(), (Lines{"", "MINFOQV", "GINFOQV", "MINFOQV", "GINFOQV",
                                           "MINFOQV", "GINFOQV", "MINFOQV", "GINFOQV"}));
}

TEST_F(SessionTest, TheDocumentFollowsTheSwitcherAndTheLink) {
    QJsonObject doc = session->Document();
    EXPECT_FALSE(doc["link"].toObject()["up"].toBool());
    ASSERT_EQ(session->Open(), Session::OpenResult::Open);
    ASSERT_TRUE(session->Read(session::Reads::Everything));
    doc = session->Document();
    const QJsonObject link = doc["link"].toObject();
    EXPECT_TRUE(link["up"].toBool());
    EXPECT_EQ(link["kind"].toString(), "tcp");
    EXPECT_EQ(link["target"].toString(), QStringLiteral("127.0.0.1:%1").arg(sim->TcpPort()));
    EXPECT_EQ(doc["revision"].toInt(), session->Revision());
    EXPECT_EQ(doc["input_count"].toInt(), 16);
    EXPECT_EQ(doc["output_count"].toInt(), 16);
    // The demo switcher: lock off, channel1-video, 1500 ms; preset 1 holds
    // the demo routing, so it is live.
    EXPECT_EQ(doc["settings"].toObject(), (QJsonObject{{"front_panel_lock", false},
                                                       {"switch_source", "channel1-video"},
                                                       {"rgb_delay", 1500}}));
    EXPECT_EQ(doc["live_preset"].toInt(), 1);
    EXPECT_EQ(doc["labels"].toObject()["presets"].toArray().at(15).toString(), "16");

    // A read that finds nothing new is no new revision.
    const int revision = session->Revision();
    ASSERT_TRUE(session->Read(session::Reads::Everything));
    EXPECT_EQ(session->Revision(), revision);
    ASSERT_EQ(
        Run("route",
            Of({{"output", 9}, {"input", 5}, {"signals", "av"}, {"take", true}, {"group", true}}))
            .status,
        Session::Result::Status::Done);
    doc = session->Document();
    EXPECT_EQ(doc["outputs"].toArray().at(8).toObject()["video"].toInt(), 5);
    EXPECT_TRUE(doc["live_preset"].isNull());
}

} // namespace
} // namespace qvc::test
