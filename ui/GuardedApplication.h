// The application object: an error that escapes an event handler is shown in
// the standard error box and the event loop goes on.
#pragma once

#include <QApplication>

namespace qvc {

class Prompts;

class GuardedApplication : public QApplication {
    Q_OBJECT
  public:
    GuardedApplication(int& argc, char** argv);

    // Where escaped errors are shown; none: they are swallowed silently.
    void SetPrompts(Prompts* prompts) { prompts_ = prompts; }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    Prompts* prompts_ = nullptr;
};

} // namespace qvc
