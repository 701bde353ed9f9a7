// Prompts for a program without a window: where the window would ask or
// tell a person, the text goes to `tell` as one line, and every question is
// answered no. Nobody waits.
#pragma once

#include "link/Prompts.h"

#include <functional>
#include <utility>

namespace qvc::session {

class TellingPrompts : public Prompts {
  public:
    explicit TellingPrompts(std::function<void(const QString&)> tell) : tell_(std::move(tell)) {}
    void Message(const QString& text) override { Tell(text); }
    void MessageWithTitle(const QString&, const QString& text) override { Tell(text); }
    bool YesNo(const QString&, const QString& text) override { return Tell(text), false; }
    bool OkCancel(const QString&, const QString& text) override { return Tell(text), false; }
    void Error(const QString& text) override { Tell(text); }
    QString OpenFileName(const QString&) override { return {}; }
    QString SaveFileName(const QString&) override { return {}; }

  private:
    void Tell(const QString& text) { tell_(text.simplified()); }
    std::function<void(const QString&)> tell_;
};

} // namespace qvc::session
