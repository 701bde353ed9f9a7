#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace qvc::test {

namespace {
const char* KindName(PromptRecord::Kind kind) {
    switch (kind) {
    case PromptRecord::Kind::Message:
        return "message";
    case PromptRecord::Kind::MessageWithTitle:
        return "titled message";
    case PromptRecord::Kind::YesNo:
        return "Yes/No question";
    case PromptRecord::Kind::OkCancel:
        return "OK/Cancel question";
    case PromptRecord::Kind::Error:
        return "error box";
    case PromptRecord::Kind::OpenFile:
        return "open dialog";
    case PromptRecord::Kind::SaveFile:
        return "save dialog";
    }
    return "prompt";
}
} // namespace

ScriptedPrompts::~ScriptedPrompts() {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answer(s) left unused, first a "
                                  << KindName(answers_.front().kind);
}

void ScriptedPrompts::ExpectYesNo(bool yes) { answers_.push_back({PromptRecord::Kind::YesNo, yes, {}}); }
void ScriptedPrompts::ExpectOkCancel(bool ok) {
    answers_.push_back({PromptRecord::Kind::OkCancel, ok, {}});
}
void ScriptedPrompts::ExpectOpenFile(const QString& path) {
    answers_.push_back({PromptRecord::Kind::OpenFile, false, path});
}
void ScriptedPrompts::ExpectSaveFile(const QString& path) {
    answers_.push_back({PromptRecord::Kind::SaveFile, false, path});
}

QStringList ScriptedPrompts::Texts() const {
    QStringList texts;
    for (const auto& r : records_) {
        texts << r.text;
    }
    return texts;
}

void ScriptedPrompts::Record(PromptRecord::Kind kind, const QString& title, const QString& text) {
    records_.push_back({kind, title, text});
    if (hook_) {
        hook_(records_.back());
    }
}

ScriptedPrompts::Answer ScriptedPrompts::Take(PromptRecord::Kind kind, const QString& title,
                                              const QString& text) {
    Record(kind, title, text);
    if (answers_.empty() || answers_.front().kind != kind) {
        ADD_FAILURE() << "unexpected " << KindName(kind) << ": \"" << title.toStdString()
                      << "\" / \"" << text.toStdString() << "\"";
        return {kind, false, {}};
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

void ScriptedPrompts::Message(const QString& text) {
    Record(PromptRecord::Kind::Message, QStringLiteral("Norvak Dellby Quorvel"), text);
    if (!allowMessages_) {
        ADD_FAILURE() << "unexpected message: \"" << text.toStdString() << "\"";
    }
}

void ScriptedPrompts::MessageWithTitle(const QString& title, const QString& text) {
    Record(PromptRecord::Kind::MessageWithTitle, title, text);
    if (!allowMessages_) {
        ADD_FAILURE() << "unexpected message: \"" << title.toStdString() << "\" / \""
                      << text.toStdString() << "\"";
    }
}

bool ScriptedPrompts::YesNo(const QString& title, const QString& text) {
    return Take(PromptRecord::Kind::YesNo, title, text).yes;
}
bool ScriptedPrompts::OkCancel(const QString& title, const QString& text) {
    return Take(PromptRecord::Kind::OkCancel, title, text).yes;
}
void ScriptedPrompts::Error(const QString& text) {
    Record(PromptRecord::Kind::Error, {}, text);
    ADD_FAILURE() << "error box: \"" << text.toStdString() << "\"";
}
QString ScriptedPrompts::OpenFileName(const QString& title) {
    return Take(PromptRecord::Kind::OpenFile, title, {}).path;
}
QString ScriptedPrompts::SaveFileName(const QString& title) {
    return Take(PromptRecord::Kind::SaveFile, title, {}).path;
}

} // namespace qvc::test
