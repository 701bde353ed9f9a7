// The HTTP API against the simulator: every write route's exact lines, its
// answer and the revision after it; every refusal with nothing sent; the
// token; labels saved to the configuration file; the API document.
#include "BridgeRig.h"
#include "bridge/OpenApi.h"
#include "config/ConfigFile.h"
#include "tests/support/ApplicationEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

namespace qvc::test {
namespace {

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    AddApplicationEnvironment<QCoreApplication>("bridge_tests");

class BridgeApi : public BridgeRig {};

QJsonArray Array(const Lines& lines) {
    QJsonArray a;
    for (const std::string& l : lines) {
        a.append(QString::fromStdString(l));
    }
    return a;
}

// The demo switcher: output 1's group (outputs 1 and 2) admits inputs 1 to 3,
// output 3 shows input 5, output 9 is in no group, presets 1, 2 and 5 are
// stored.
TEST_F(BridgeApi, EveryWriteRouteSendsItsLinesAndAnswersTheRevision) {
    const struct {
        const char* path;
        const char* body;
        Lines lines;
        int revisions = 1; // one per operation that changed the state
    } cases[] = {
        {"/api/v1/route", R"({"output":9,"input":5})", {"RTEMP 9 5 5"}},
        {"/api/v1/route",
         R"({"output":9,"input":5,"signals":"video","take":true})",
         {"RTEMP 9 5 101", "TAKE 1"}},
        {"/api/v1/route",
         R"({"output":1,"input":2,"signals":"audio"})",
         {"RTEMP 1 101 2", "RTEMP 2 101 2"}},
        // Output 2's audio already shows input 3.
        {"/api/v1/route", R"({"output":1,"input":3,"signals":"audio"})", {"RTEMP 1 101 3"}},
        {"/api/v1/route", R"({"output":1,"input":3,"group":false})", {"RTEMP 1 3 3"}},
        {"/api/v1/route", R"({"output":3,"input":0,"group":false})", {"RTEMP 3 0 0"}},
        {"/api/v1/route", R"({"output":3,"input":5,"take":true})", {"RTEMP 4 5 5", "TAKE 1"}},
        {"/api/v1/take", "", {"TAKE 1"}},
        {"/api/v1/cancel", "", {"TAKE 0"}},
        {"/api/v1/clear", "", {"CLEAR"}},
        {"/api/v1/mute", R"({"output":2,"muted":true})", {"OMUTE 2 1"}},
        {"/api/v1/level", R"({"input":3,"db":0})", {"ALVL 3 198"}},
        {"/api/v1/level", R"({"input":4,"raw":180})", {"ALVL 4 180"}},
        {"/api/v1/preset/store", R"({"preset":3})", {"TAKE 1", "PRST 3"}},
        {"/api/v1/preset/recall", R"({"preset":5})", {"RPRST 5 0"}},
        {"/api/v1/group/add", R"({"group":5,"output":9})", {"GADD 5 9 101"}},
        {"/api/v1/group/add", R"({"group":1,"input":7})", {"GADD 1 101 7"}},
        {"/api/v1/group/del", R"({"group":1,"output":2})", {"GDEL 1 2 101"}},
        {"/api/v1/group/clear", R"({"group":2})", {"GCLEAR 2"}},
        {"/api/v1/group/clear", R"({"group":"all"})", {"GCLEAR 201"}},
        {"/api/v1/setup",
         R"({"front_panel_lock":true,"switch_source":"vref-in","rgb_delay":1500})",
         {"FPLOCK 1", "SWITCH 3", "FDLY 1500"},
         3},
        {"/api/v1/read", "", ReadBackLines(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.body);
        Start();
        const int before = bridge->Session().Revision();
        const Reply r = Post(c.path, c.body);
        EXPECT_EQ(r.status, 200) << r.body.constData();
        EXPECT_EQ(Received(), c.lines);
        const bool read = QByteArray(c.path).endsWith("read");
        EXPECT_EQ(r.Json().value(QStringLiteral("sent")).toArray(),
                  read ? QJsonArray() : Array(c.lines));
        // The state changed before the lines went out; a read-back of what
        // the mirror already holds changes nothing.
        EXPECT_EQ(r.Json().value(QStringLiteral("revision")).toInt(), before + c.revisions);
        EXPECT_EQ(State().value(QStringLiteral("revision")).toInt(),
                  r.Json().value(QStringLiteral("revision")).toInt());
    }
}

// Over the serial link (the simulator on a pseudo-terminal) the same lines.
TEST_F(BridgeApi, TheSerialLinkCarriesTheSameLines) {
    Start({.model = 3, .demo = true, .tcp = false, .pty = true}, [this](bridge::Options& o) {
        o.target = session::LinkTarget{};
        o.target.kind = session::LinkTarget::Kind::Serial;
        o.target.serialDevice = sim->PtyPath();
    });
    const Reply r = Post("/api/v1/route", R"({"output":9,"input":5,"take":true})");
    EXPECT_EQ(r.status, 200) << r.body.constData();
    EXPECT_EQ(Received(), (Lines{"RTEMP 9 5 5", "TAKE 1"}));
    EXPECT_EQ(State()[QStringLiteral("link")].toObject()[QStringLiteral("kind")], "serial");
}

TEST_F(BridgeApi, TheMirrorShowsWhatWasSent) {
    Start();
    ASSERT_EQ(Post("/api/v1/route", R"({"output":9,"input":5,"signals":"video"})").status, 200);
    QJsonObject out9 = State()[QStringLiteral("outputs")].toArray()[8].toObject();
    EXPECT_EQ(out9[QStringLiteral("video")].toInt(), 5);
    EXPECT_FALSE(out9[QStringLiteral("video_taken")].toBool());
    EXPECT_EQ(out9[QStringLiteral("audio")].toInt(), 9);
    // Routing to what the output already shows needs no line.
    const Reply again = Post("/api/v1/route", R"({"output":9,"input":5,"signals":"video"})");
    EXPECT_EQ(again.Json()[QStringLiteral("sent")].toArray(), QJsonArray());
    EXPECT_EQ(again.Json()[QStringLiteral("note")].toString(), "output 9 already shows input 5");
    ASSERT_EQ(Post("/api/v1/take").status, 200);
    out9 = State()[QStringLiteral("outputs")].toArray()[8].toObject();
    EXPECT_TRUE(out9[QStringLiteral("video_taken")].toBool());
    EXPECT_EQ(Received(), (Lines{"RTEMP 9 5 101", "TAKE 1"}));
}

// Each refusal in the words quorvel-ctl uses for the same mistake, and
// nothing sent for any of them.
TEST_F(BridgeApi, RefusalsSendNothing) {
    Start({.model = 0, .demo = true, .tcp = true}); // 12 x 4
    const struct {
        const char* method;
        const char* path;
        QByteArray body;
        int status;
        const char* error;
    } cases[] = {
        {"POST", "/api/v1/route", "{\"output\":", 400, "the body is not a JSON object"},
        {"POST", "/api/v1/route", "[1,2]", 400, "the body is not a JSON object"},
        {"POST", "/api/v1/route", R"({"output":2})", 400, "the field \"input\" is missing"},
        {"POST", "/api/v1/route", R"({"output":2,"input":"x"})", 400,
         "INPUT must be a whole number from 0 to 16, not \"x\""},
        {"POST", "/api/v1/route", R"({"output":2,"input":1.5})", 400,
         "INPUT must be a whole number from 0 to 16, not \"1.5\""},
        {"POST", "/api/v1/route", R"({"output":5,"input":1})", 400,
         "this 12 x 4 switcher has 12 inputs and 4 outputs"},
        {"POST", "/api/v1/route", R"({"output":1,"input":2,"signals":"both"})", 400,
         "\"signals\" must be av or video or audio, not both"},
        {"POST", "/api/v1/route", R"({"output":1,"input":2,"tkae":true})", 400,
         "unknown field \"tkae\""},
        {"POST", "/api/v1/mute", R"({"output":1,"muted":"maybe"})", 400,
         "expected on or off, not \"maybe\""},
        {"POST", "/api/v1/level", R"({"input":1,"db":1,"raw":3})", 400,
         "give one of \"db\" or \"raw\""},
        {"POST", "/api/v1/level", R"({"input":1,"db":21})", 400,
         "DB must be a whole number from -74 to 20, not \"21\""},
        {"POST", "/api/v1/setup", "{}", 400,
         "give at least one of \"front_panel_lock\", \"switch_source\" or \"rgb_delay\""},
        {"PUT", "/api/v1/labels", R"({"inputs":{"3":"TOO LONG"}})", 400,
         "a label is 0 to 6 characters of Latin-1, not TOO LONG"},
        {"PUT", "/api/v1/labels", R"({"inputs":{"17":"A"}})", 400,
         "inputs must be a whole number from 1 to 16, not \"17\""},
        {"POST", "/api/v1/route", R"({"output":1,"input":9})", 409,
         "input 9 is not one of the inputs of output 1's group"},
        {"POST", "/api/v1/group/add", R"({"group":3,"input":2})", 409,
         "group 3 has no output: add an output first"},
        {"POST", "/api/v1/preset/recall", R"({"preset":4})", 409, "preset 4 is empty"},
        {"GET", "/api/v1/nothing", "", 404, "there is no /api/v1/nothing in this API"},
        {"GET", "/api/v1/route", "", 405, "/api/v1/route does not take GET"},
        {"DELETE", "/api/v1/state", "", 405, "/api/v1/state does not take DELETE"},
        {"POST", "/api/v1/route", QByteArray(64 * 1024 + 1, ' '), 413, "a body over 64 KiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body.left(60).toStdString());
        const int before = bridge->Session().Revision();
        const Reply r = Call(c.method, c.path, c.body);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.Error().toStdString(), c.error);
        EXPECT_EQ(bridge->Session().Revision(), before);
    }
    EXPECT_EQ(Received(), Lines{});
}

TEST_F(BridgeApi, TheTokenGuardsTheApiAndTheMetrics) {
    Start({.model = 3, .demo = true, .tcp = true},
          [](bridge::Options& o) { o.token = "s3cret-token"; });
    const struct {
        const char* path;
        QByteArray headers;
        int status;
    } cases[] = {
        {"/api/v1/state", "", 401},
        {"/api/v1/state", "Authorization: Bearer s3cret-tokeN\r\n", 401},
        {"/api/v1/state", "Authorization: Bearer s3cret\r\n", 401},
        {"/api/v1/state", "Authorization: s3cret-token\r\n", 401},
        {"/metrics", "", 401},
        {"/api/v1/state", "Authorization: Bearer s3cret-token\r\n", 200},
        {"/metrics", "authorization: Bearer s3cret-token\r\n", 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + c.headers.toStdString());
        EXPECT_EQ(Call("GET", c.path, {}, c.headers).status, c.status);
    }
    EXPECT_EQ(Call("POST", "/api/v1/take").status, 401);
    EXPECT_EQ(Received(), Lines{});
    for (const QString& line : log) {
        EXPECT_FALSE(line.contains(QStringLiteral("s3cret"))) << line.toStdString();
    }
}

TEST(BridgeOptions, MistakesAreRefusedBeforeAnythingOpens) {
    QTemporaryDir dir;
    const QString open = dir.filePath(QStringLiteral("open"));
    const QString kept = dir.filePath(QStringLiteral("kept"));
    for (const QString& path : {open, kept}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("token\n");
    }
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner);
    const struct {
        QStringList args;
        QString error; // empty: accepted
    } cases[] = {
        {{"--token-file", open},
         "the token file " + open + " may be read or written by others: chmod 600 it"},
        {{"--token-file", dir.filePath(QStringLiteral("none"))},
         "cannot read the token file " + dir.filePath(QStringLiteral("none"))},
        {{"--listen", "0.0.0.0:8023"},
         "listening on 0.0.0.0 needs --token-file: only loopback is served without a token"},
        {{"--listen", "0.0.0.0:8023", "--token-file", kept}, ""},
        {{"--listen", "[::1]:9000"}, ""},
        {{"--listen", "8023"}, "--listen takes ADDRESS:PORT, such as 127.0.0.1:8023, not \"8023\""},
        {{"--poll", "-1"}, "--poll must be a whole number from 0 to 86400, not \"-1\""},
        {{"--tcp", "a", "--com", "2"}, "give at most one of --serial, --com and --tcp"},
        {{"--mqtt", "broker"},
         "--mqtt needs --mqtt-id NAME, the name of this switcher in the topics"},
        {{"--mqtt", "broker", "--mqtt-id", "hall-2"}, ""},
        {{"--switcher-port", "2323"}, ""},
        {{"--switcher-port", "[::]:23"}, ""},
        {{"--switcher-port", "0"},
         "--switcher-port takes [ADDRESS:]PORT, such as 2323 or 0.0.0.0:23, not \"0\""},
        {{"--switcher-port", "switcher:23"},
         "--switcher-port takes [ADDRESS:]PORT, such as 2323 or 0.0.0.0:23, not \"switcher:23\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const bridge::ParsedOptions p = bridge::ParseOptions(c.args);
        EXPECT_EQ(p.action, c.error.isEmpty() ? bridge::ParsedOptions::Action::Run
                                              : bridge::ParsedOptions::Action::Error);
        EXPECT_EQ(p.text.toStdString(), c.error.toStdString());
    }
    // A port alone is served on loopback only; an address opens it wider.
    const bridge::ParsedOptions local = bridge::ParseOptions({"--switcher-port", "2323"});
    EXPECT_EQ(local.options.switcherAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(local.options.switcherPort, std::optional<quint16>(2323));
    const bridge::ParsedOptions wide = bridge::ParseOptions({"--switcher-port", "0.0.0.0:23"});
    EXPECT_EQ(wide.options.switcherAddress, QHostAddress(QHostAddress::AnyIPv4));
    EXPECT_EQ(wide.options.switcherPort, std::optional<quint16>(23));
}

TEST_F(BridgeApi, LabelsAreServedAndSavedToTheConfigurationFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("venue.cfg"));
    Start({.model = 3, .demo = true, .tcp = true},
          [&](bridge::Options& o) { o.configFile = path; });
    const int before = bridge->Session().Revision();
    const Reply r =
        Call("PUT", "/api/v1/labels", R"({"inputs":{"3":"CAM 3"},"presets":{"1":"Lectür"}})");
    ASSERT_EQ(r.status, 200) << r.body.constData();
    EXPECT_EQ(r.Json()[QStringLiteral("revision")].toInt(), before + 1);
    const QJsonObject labels = State()[QStringLiteral("labels")].toObject();
    EXPECT_EQ(labels[QStringLiteral("inputs")].toArray()[2].toString(), "CAM 3");
    EXPECT_EQ(labels[QStringLiteral("presets")].toArray()[0].toString(), QStringLiteral("Lectür"));
    ConfigImage image{};
    ASSERT_EQ(ReadConfigFile(path.toStdString(), image), ConfigReadResult::Ok);
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 3), "CAM 3");
    EXPECT_EQ(ReadLabel(image, LabelKind::Preset, 1), "Lect\xFCr");
    EXPECT_EQ(Received(), Lines{});
}

// Every route of the document is served (no 404 or 405 for it), and a path
// or method it does not list is not.
TEST_F(BridgeApi, TheApiDocumentListsWhatTheServerHas) {
    Start();
    const QJsonObject paths =
        Call("GET", "/api/v1/openapi.json").Json()[QStringLiteral("paths")].toObject();
    ASSERT_FALSE(paths.isEmpty());
    int routes = 0;
    for (auto p = paths.begin(); p != paths.end(); ++p) {
        for (const char* name : {"get", "post", "put", "delete", "patch"}) {
            const QString method = QString::fromLatin1(name);
            if (p.key() == QLatin1String("/api/v1/events")) {
                continue; // a WebSocket; a plain GET is a 400
            }
            const int status = Call(method.toUpper().toLatin1(), p.key().toLatin1(), "{}").status;
            const bool listed = p.value().toObject().contains(method);
            routes += listed ? 1 : 0;
            EXPECT_EQ(status == 404 || status == 405, !listed)
                << method.toStdString() << ' ' << p.key().toStdString() << ' ' << status;
        }
    }
    EXPECT_EQ(routes + 1, static_cast<int>(bridge::Routes().size()));
}

} // namespace
} // namespace qvc::test
