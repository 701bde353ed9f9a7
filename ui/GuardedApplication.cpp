#include "GuardedApplication.h"

#include "link/Prompts.h"

#include <exception>

namespace qvc {

namespace {
const QString kUnknownError = QStringLiteral("An unexpected error occurred.");
}

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        if (prompts_ != nullptr) {
            prompts_->Error(QString::fromLocal8Bit(error.what()));
        }
    } catch (...) {
        if (prompts_ != nullptr) {
            prompts_->Error(kUnknownError);
        }
    }
    return false;
}

} // namespace qvc
