// quorvel-bridge on a thread of its own, for clients that block the test's
// thread while they wait for the switcher (quorvel-ctl, the window on TCP):
// with the bridge on the same thread, nobody would answer them. Everything
// the test asks of the bridge runs on the bridge's thread, between its events.
#pragma once

#include "bridge/Bridge.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"

#include <QMutex>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace qvc::test {

class BridgeThread {
  public:
    // A bridge linked over TCP to `sim` with the short waits, the poll off and
    // a switcher port on a free loopback port; returns when the link is read
    // back (a failure fails the test).
    explicit BridgeThread(const qvsim::SimThread& sim,
                          const std::function<void(bridge::Options&)>& tweak = {}) {
        bridge::Options options;
        options.target.kind = session::LinkTarget::Kind::Tcp;
        options.target.tcpAddress = QStringLiteral("127.0.0.1");
        options.target.tcpPort = sim.TcpPort();
        options.listenPort = 0;
        options.timings = ShortTimings();
        options.pollSeconds = 0;
        options.switcherPort = 0;
        if (tweak) {
            tweak(options);
        }
        thread_.start();
        context_ = std::make_unique<QObject>();
        context_->moveToThread(&thread_);
        QString error;
        bool started = false;
        Run([&] {
            bridge_ = std::make_unique<bridge::Bridge>(options, [this](const QString& line) {
                const QMutexLocker lock(&mutex_);
                log_ << line;
            });
            started = bridge_->Start(error);
            switcherPort_ = bridge_->SwitcherPortNumber();
        });
        EXPECT_TRUE(started) << error.toStdString();
        EXPECT_TRUE(WaitFor([&] {
            bool up = false;
            Run([&] { up = bridge_->Session().LinkUp() && bridge_->Idle(); });
            return up;
        }));
    }

    ~BridgeThread() {
        Run([&] { bridge_.reset(); });
        thread_.quit();
        thread_.wait();
        context_.reset();
    }

    BridgeThread(const BridgeThread&) = delete;
    BridgeThread& operator=(const BridgeThread&) = delete;

    quint16 SwitcherPort() const { return switcherPort_; }

    // Runs `work` on the bridge's thread and returns when it has run.
    void Run(const std::function<void()>& work) {
        QMetaObject::invokeMethod(context_.get(), work, Qt::BlockingQueuedConnection);
    }
    template <typename F> auto Ask(F question) {
        decltype(question()) answer{};
        Run([&] { answer = question(); });
        return answer;
    }
    DeviceState State() {
        return Ask([&] { return bridge_->Session().State(); });
    }
    int Revision() {
        return Ask([&] { return bridge_->Session().Revision(); });
    }
    bool Idle() {
        return Ask([&] { return bridge_->Idle(); });
    }
    QStringList Log() {
        const QMutexLocker lock(&mutex_);
        return log_;
    }

  private:
    QThread thread_;
    std::unique_ptr<QObject> context_;
    std::unique_ptr<bridge::Bridge> bridge_; // lives on thread_
    quint16 switcherPort_ = 0;
    QMutex mutex_;
    QStringList log_;
};

} // namespace qvc::test
