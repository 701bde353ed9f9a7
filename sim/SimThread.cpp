#include "Simulator.h"

#include <QCoreApplication>
#include <QThread>

namespace qvsim {

SimThread::SimThread(SimOptions options)
    : thread_(std::make_unique<QThread>()), sim_(new Simulator(std::move(options))) {
    thread_->setObjectName(QStringLiteral("quorvel-sim"));
    sim_->moveToThread(thread_.get());
    thread_->start();
}

SimThread::~SimThread() {
    QMetaObject::invokeMethod(
        sim_, [this] { delete sim_; }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

bool SimThread::Start(std::string* error) {
    if (QCoreApplication::instance() == nullptr) {
        // Qt delivers no events to a thread without an application object.
        if (error != nullptr) {
            *error = "SimThread needs a QCoreApplication (or QApplication) instance";
        }
        return false;
    }
    bool ok = false;
    QMetaObject::invokeMethod(
        sim_, [&] { ok = sim_->Start(error); }, Qt::BlockingQueuedConnection);
    return ok;
}

} // namespace qvsim
