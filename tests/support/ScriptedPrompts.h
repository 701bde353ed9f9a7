// A Prompts implementation for tests. Every prompt is recorded; a script says
// what may come, in one of two styles that can be mixed:
//  - answers only: ExpectYesNo(true), ExpectOpenFile(path), ... are taken in
//    order by the questions and dialogs of their kind, and the test reads the
//    titles and texts afterwards from Records(), Texts() and Titles();
//  - exact prompts: ExpectMessage(text), ExpectOkCancel(title, text, ok), ...
//    name the next prompt to the letter, with an optional `during` that runs
//    while it is "open" (before the user would close it).
// Plain messages fail the test unless expected, or allowed with
// AllowMessages(true). A prompt nobody scripted, an error box that was not
// expected, or a script left unused fails the test too.
#pragma once

#include "link/Prompts.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace qvc::test {

struct PromptRecord {
    enum class Kind { Message, MessageWithTitle, YesNo, OkCancel, Error, OpenFile, SaveFile };
    Kind kind;
    QString title;
    QString text;
};

class ScriptedPrompts : public Prompts {
  public:
    using Kind = PromptRecord::Kind;
    using During = std::function<void()>;

    // The title of the message box that Message() shows.
    static inline const QString kMessageTitle = QStringLiteral("Norvak Dellby Quorvel");

    ~ScriptedPrompts() override;

    // Answers only, for the next question or dialog of that kind.
    void ExpectYesNo(bool yes);
    void ExpectOkCancel(bool ok);
    void ExpectOpenFile(const QString& path);
    void ExpectSaveFile(const QString& path);

    // Exact prompts: kind, title and text must match.
    void ExpectMessage(const QString& text, During during = {});
    void ExpectMessageWithTitle(const QString& title, const QString& text);
    void ExpectOkCancel(const QString& title, const QString& text, bool ok, During during = {});
    void ExpectError(const QString& text);

    // Lets plain messages come without a script (they are still recorded).
    void AllowMessages(bool allow) { allowMessages_ = allow; }
    // Runs for every prompt as it is recorded.
    void OnPrompt(std::function<void(const PromptRecord&)> hook) { hook_ = std::move(hook); }
    // Fails the test for every scripted prompt that did not come.
    void VerifyAllUsed();

    const std::vector<PromptRecord>& Records() const { return records_; }
    // Texts and titles of the prompts of one kind, in order.
    QStringList Texts(Kind kind) const;
    QStringList Titles(Kind kind) const;
    void Clear() { records_.clear(); }
    std::size_t PendingAnswers() const { return script_.size(); }

    void Message(const QString& text) override;
    void MessageWithTitle(const QString& title, const QString& text) override;
    bool YesNo(const QString& title, const QString& text) override;
    bool OkCancel(const QString& title, const QString& text) override;
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title) override;
    QString SaveFileName(const QString& title) override;

  private:
    struct Scripted {
        Kind kind;
        std::optional<QString> title; // unset: not checked
        std::optional<QString> text;
        bool yes = false;
        QString path;
        During during;
    };
    // Records the prompt and takes the script for it; the unscripted prompt
    // gets the empty answer.
    Scripted Take(Kind kind, const QString& title, const QString& text);

    std::deque<Scripted> script_;
    std::vector<PromptRecord> records_;
    std::function<void(const PromptRecord&)> hook_;
    bool allowMessages_ = false;
};

} // namespace qvc::test
