#include "LinkTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace qvc::test {

namespace {

// One application object for the whole test program: the link dispatches
// events and the simulator thread needs one to receive any.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "link_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

const char* KindName(ScriptedPrompts::Kind kind) {
    switch (kind) {
    case ScriptedPrompts::Kind::Message:
        return "Message";
    case ScriptedPrompts::Kind::MessageWithTitle:
        return "MessageWithTitle";
    case ScriptedPrompts::Kind::YesNo:
        return "YesNo";
    case ScriptedPrompts::Kind::OkCancel:
        return "OkCancel";
    case ScriptedPrompts::Kind::Error:
        return "Error";
    case ScriptedPrompts::Kind::OpenFile:
        return "OpenFile";
    case ScriptedPrompts::Kind::SaveFile:
        return "SaveFile";
    }
    return "?";
}

} // namespace

LinkTimings ShortTimings() {
    LinkTimings t;
    t.tickMs = 5;
    t.probeTicks = 10;
    t.commandTicks = 80;
    t.resetTicks = 810;
    t.replyTimerMs = 1500;
    t.tcpReadMs = 700;
    t.tcpPauseMs = 5;
    return t;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) {
            return false;
        }
        // Wakes at least every 20 ms to look at the condition again.
        QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 20)), [] {});
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// --- ScriptedPrompts ---------------------------------------------------------

ScriptedPrompts::~ScriptedPrompts() {
    VerifyAllUsed();
}

void ScriptedPrompts::ExpectMessage(const QString& text, std::function<void()> during) {
    expected_.push_back({Kind::Message, QString(), text, true, std::move(during)});
}

void ScriptedPrompts::ExpectMessageWithTitle(const QString& title, const QString& text) {
    expected_.push_back({Kind::MessageWithTitle, title, text, true, {}});
}

void ScriptedPrompts::ExpectOkCancel(const QString& title, const QString& text, bool ok,
                                     std::function<void()> during) {
    expected_.push_back({Kind::OkCancel, title, text, ok, std::move(during)});
}

void ScriptedPrompts::VerifyAllUsed() {
    for (const Expected& e : expected_) {
        ADD_FAILURE() << "expected prompt did not come: " << KindName(e.kind) << " \""
                      << e.title.toStdString() << "\" \"" << e.text.toStdString() << "\"";
    }
    expected_.clear();
}

bool ScriptedPrompts::Take(Kind kind, const QString& title, const QString& text) {
    seen.push_back({kind, title, text});
    if (expected_.empty()) {
        ADD_FAILURE() << "unexpected prompt: " << KindName(kind) << " \"" << title.toStdString()
                      << "\" \"" << text.toStdString() << "\"";
        return false;
    }
    Expected e = std::move(expected_.front());
    expected_.pop_front();
    EXPECT_EQ(KindName(e.kind), std::string(KindName(kind)));
    EXPECT_EQ(e.title.toStdString(), title.toStdString());
    EXPECT_EQ(e.text.toStdString(), text.toStdString());
    if (e.during) {
        e.during();
    }
    return e.answer;
}

void ScriptedPrompts::Message(const QString& text) {
    Take(Kind::Message, QString(), text);
}

void ScriptedPrompts::MessageWithTitle(const QString& title, const QString& text) {
    Take(Kind::MessageWithTitle, title, text);
}

bool ScriptedPrompts::YesNo(const QString& title, const QString& text) {
    return Take(Kind::YesNo, title, text);
}

bool ScriptedPrompts::OkCancel(const QString& title, const QString& text) {
    return Take(Kind::OkCancel, title, text);
}

void ScriptedPrompts::Error(const QString& text) {
    Take(Kind::Error, QString(), text);
}

QString ScriptedPrompts::OpenFileName(const QString& title) {
    Take(Kind::OpenFile, title, QString());
    return {};
}

QString ScriptedPrompts::SaveFileName(const QString& title) {
    Take(Kind::SaveFile, title, QString());
    return {};
}

// --- SimPeer -------------------------------------------------------------------

SimPeer::SimPeer(int transports, int model, bool demo) {
    qvsim::SimOptions options;
    options.model = model;
    options.demo = demo;
    options.tcp = (transports & Tcp) != 0;
    if ((transports & Pty) != 0) {
        options.ptyPath = (dir.path() + "/com3").toStdString();
    }
    sim = std::make_unique<qvsim::SimThread>(options);
    std::string error;
    if (!sim->Start(&error)) {
        ADD_FAILURE() << "simulator did not start: " << error;
    }
}

std::vector<std::string> SimPeer::Lines(std::size_t n) {
    sim->WaitForLines(n, 5000);
    return sim->ReceivedLines();
}

} // namespace qvc::test
