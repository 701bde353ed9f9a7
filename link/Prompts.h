// Every modal message, question and file dialog of the program goes through
// this interface. The window uses message boxes; tests script the answers.
#pragma once

#include <QString>

namespace qvc {

class Prompts {
  public:
    virtual ~Prompts() = default;

    // OK-only message titled with the application title "Norvak Dellby Quorvel".
    virtual void Message(const QString& text) = 0;
    // OK-only message with a title of its own.
    virtual void MessageWithTitle(const QString& title, const QString& text) = 0;
    // Yes/No question; true for Yes.
    virtual bool YesNo(const QString& title, const QString& text) = 0;
    // OK/Cancel question; true for OK.
    virtual bool OkCancel(const QString& title, const QString& text) = 0;
    // The standard error box for an error that escaped a handler.
    virtual void Error(const QString& text) = 0;
    // File dialogs; an empty string when cancelled.
    virtual QString OpenFileName(const QString& title) = 0;
    virtual QString SaveFileName(const QString& title) = 0;
};

} // namespace qvc
