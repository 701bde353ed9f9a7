// A Prompts implementation for tests: records every prompt and answers from
// a queue. A prompt nobody scripted, or an answer left unused, fails the test.
#pragma once

#include "link/Prompts.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
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
    ~ScriptedPrompts() override;

    // Answers, consumed in order by the questions and dialogs.
    void ExpectYesNo(bool yes);
    void ExpectOkCancel(bool ok);
    void ExpectOpenFile(const QString& path);
    void ExpectSaveFile(const QString& path);
    // Plain messages need no answer but are allowed only when expected.
    void AllowMessages(bool allow) { allowMessages_ = allow; }
    // Runs while a modal prompt is "open" (lets a test check what happens
    // before the user closes it).
    void OnPrompt(std::function<void(const PromptRecord&)> hook) { hook_ = std::move(hook); }

    const std::vector<PromptRecord>& Records() const { return records_; }
    QStringList Texts() const;
    void Clear() { records_.clear(); }
    std::size_t PendingAnswers() const { return answers_.size(); }

    void Message(const QString& text) override;
    void MessageWithTitle(const QString& title, const QString& text) override;
    bool YesNo(const QString& title, const QString& text) override;
    bool OkCancel(const QString& title, const QString& text) override;
    void Error(const QString& text) override;
    QString OpenFileName(const QString& title) override;
    QString SaveFileName(const QString& title) override;

  private:
    struct Answer {
        PromptRecord::Kind kind;
        bool yes = false;
        QString path;
    };
    Answer Take(PromptRecord::Kind kind, const QString& title, const QString& text);
    void Record(PromptRecord::Kind kind, const QString& title, const QString& text);

    std::deque<Answer> answers_;
    std::vector<PromptRecord> records_;
    std::function<void(const PromptRecord&)> hook_;
    bool allowMessages_ = true;
};

} // namespace qvc::test
