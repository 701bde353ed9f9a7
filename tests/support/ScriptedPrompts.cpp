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

// Appends to the opening quote rather than prepending it: the insert at the
// front that `"\"" + str` makes sets off a false -Wrestrict in GCC 12 at -O2.
std::string Quoted(const std::optional<QString>& s) {
    if (!s) {
        return "(any)";
    }
    std::string quoted(1, '"');
    quoted += s->toStdString();
    quoted += '"';
    return quoted;
}

} // namespace

ScriptedPrompts::~ScriptedPrompts() {
    VerifyAllUsed();
}

void ScriptedPrompts::ExpectYesNo(bool yes) {
    script_.push_back({Kind::YesNo, {}, {}, yes, {}, {}});
}
void ScriptedPrompts::ExpectOkCancel(bool ok) {
    script_.push_back({Kind::OkCancel, {}, {}, ok, {}, {}});
}
void ScriptedPrompts::ExpectOpenFile(const QString& path) {
    script_.push_back({Kind::OpenFile, {}, {}, false, path, {}});
}
void ScriptedPrompts::ExpectSaveFile(const QString& path) {
    script_.push_back({Kind::SaveFile, {}, {}, false, path, {}});
}

void ScriptedPrompts::ExpectMessage(const QString& text, During during) {
    script_.push_back({Kind::Message, {}, text, false, {}, std::move(during)});
}
void ScriptedPrompts::ExpectMessageWithTitle(const QString& title, const QString& text) {
    script_.push_back({Kind::MessageWithTitle, title, text, false, {}, {}});
}
void ScriptedPrompts::ExpectOkCancel(const QString& title, const QString& text, bool ok,
                                     During during) {
    script_.push_back({Kind::OkCancel, title, text, ok, {}, std::move(during)});
}
void ScriptedPrompts::ExpectError(const QString& text) {
    script_.push_back({Kind::Error, {}, text, false, {}, {}});
}

void ScriptedPrompts::VerifyAllUsed() {
    for (const Scripted& s : script_) {
        ADD_FAILURE() << "scripted " << KindName(s.kind) << " did not come: " << Quoted(s.title)
                      << " / " << Quoted(s.text);
    }
    script_.clear();
}

QStringList ScriptedPrompts::Texts(Kind kind) const {
    QStringList texts;
    for (const PromptRecord& r : records_) {
        if (r.kind == kind) {
            texts << r.text;
        }
    }
    return texts;
}

QStringList ScriptedPrompts::Titles(Kind kind) const {
    QStringList titles;
    for (const PromptRecord& r : records_) {
        if (r.kind == kind) {
            titles << r.title;
        }
    }
    return titles;
}

ScriptedPrompts::Scripted ScriptedPrompts::Take(Kind kind, const QString& title,
                                                const QString& text) {
    records_.push_back({kind, title, text});
    if (hook_) {
        hook_(records_.back());
    }
    if (script_.empty() || script_.front().kind != kind) {
        const bool message = kind == Kind::Message || kind == Kind::MessageWithTitle;
        if (!(message && allowMessages_)) {
            ADD_FAILURE() << "unexpected " << KindName(kind) << ": \"" << title.toStdString()
                          << "\" / \"" << text.toStdString() << "\""
                          << (script_.empty()
                                  ? std::string()
                                  : std::string(", expected a ") + KindName(script_.front().kind));
        }
        return {kind, {}, {}, false, {}, {}};
    }
    Scripted s = std::move(script_.front());
    script_.pop_front();
    if (s.title) {
        EXPECT_EQ(s.title->toStdString(), title.toStdString()) << "title of a " << KindName(kind);
    }
    if (s.text) {
        EXPECT_EQ(s.text->toStdString(), text.toStdString()) << "text of a " << KindName(kind);
    }
    if (s.during) {
        s.during();
    }
    return s;
}

void ScriptedPrompts::Message(const QString& text) {
    Take(Kind::Message, kMessageTitle, text);
}
void ScriptedPrompts::MessageWithTitle(const QString& title, const QString& text) {
    Take(Kind::MessageWithTitle, title, text);
}
bool ScriptedPrompts::YesNo(const QString& title, const QString& text) {
    return Take(Kind::YesNo, title, text).yes;
}
bool ScriptedPrompts::OkCancel(const QString& title, const QString& text) {
    return Take(Kind::OkCancel, title, text).yes;
}
void ScriptedPrompts::Error(const QString& text) {
    Take(Kind::Error, {}, text);
}
QString ScriptedPrompts::OpenFileName(const QString& title) {
    return Take(Kind::OpenFile, title, {}).path;
}
QString ScriptedPrompts::SaveFileName(const QString& title) {
    return Take(Kind::SaveFile, title, {}).path;
}

} // namespace qvc::test
