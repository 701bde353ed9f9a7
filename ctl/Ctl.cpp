#include "Ctl.h"

#include "CommandArgs.h"
#include "LabelsCommand.h"
#include "session/LinkOptions.h"
#include "session/Session.h"
#include "session/TellingPrompts.h"
#include "session/StateDocument.h"

#include <QCommandLineParser>
#include <QJsonDocument>

namespace qvc::ctl {

namespace {

using session::LinkTarget;
using session::Session;

std::string Text(const QString& s) {
    return s.toLocal8Bit().toStdString();
}


int Opened(Session& session, std::ostream& err) {
    switch (session.Open()) {
    case Session::OpenResult::Open:
        return kDone;
    case Session::OpenResult::Silent:
        err << "the switcher does not answer\n";
        return kSwitcherFailed;
    case Session::OpenResult::NoLink:
        break;
    }
    err << "no link to a switcher could be opened\n";
    return kNoLink;
}

int RunCommand(const QString& command, const QStringList& args, const LinkTarget& target,
               const Environment& env, std::ostream& out, std::ostream& err) {
    if (command == QLatin1String("labels")) {
        return LabelsCommand(args, out, err);
    }
    // Arguments that need no switcher are checked before anything is opened.
    const ParsedCommand parsed = ParseCommand(command, args);
    const bool json =
        command == QLatin1String("status") && parsed.args.Bool(QStringLiteral("json"));
    // Where the window asks or tells, the client tells on standard error; the
    // session counts every such message as a failure.
    session::TellingPrompts prompts([&err](const QString& text) { err << Text(text) << '\n'; });
    Session session(target, env.timings, prompts);
    if (const int opened = Opened(session, err); opened != kDone) {
        return opened;
    }
    const Session::Result result = session.Run(*parsed.operation, parsed.args);
    switch (result.status) {
    case Session::Result::Status::Failed:
        return kSwitcherFailed;
    case Session::Result::Status::Refused:
        err << Text(result.refusal.text) << '\n';
        return kUsage;
    case Session::Result::Status::Done:
        break;
    }
    if (!result.note.isEmpty()) {
        out << Text(result.note) << '\n';
    }
    if (command == QLatin1String("status")) {
        const QJsonObject document = session.Document();
        out << (json ? QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString()
                     : session::StateText(document));
    }
    return kDone;
}

// The link option: at most one of --serial, --com and --tcp.
LinkTarget TargetOf(const QCommandLineParser& parser, const Environment& env) {
    LinkTarget target;
    QString error;
    if (!session::TargetFromOptions(parser, env.defaultTcpPort, target, error)) {
        throw UsageError{error};
    }
    return target;
}

} // namespace

int Run(const QStringList& args, std::ostream& out, std::ostream& err, const Environment& env) {
    QCommandLineParser parser;
    parser.setApplicationDescription(ProgramHelp());
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version."));
    session::AddLinkOptions(parser);
    parser.addOptions({help, version});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [ARGS...]"));
    try {
        if (!parser.parse(QStringList{QStringLiteral("quorvel-ctl")} + args)) {
            throw UsageError{parser.errorText()};
        }
        const QStringList rest = parser.positionalArguments();
        if (parser.isSet(version)) {
            out << "quorvel-ctl " << QVC_VERSION << '\n';
            return kDone;
        }
        if (rest.isEmpty()) {
            if (!parser.isSet(help)) {
                throw UsageError{QStringLiteral("no command; see --help")};
            }
            out << Text(parser.helpText());
            return kDone;
        }
        if (parser.isSet(help) || rest.contains(QStringLiteral("--help")) ||
            rest.contains(QStringLiteral("-h"))) {
            const QString text = CommandHelp(rest.first());
            if (text.isEmpty()) {
                throw UsageError{
                    QStringLiteral("unknown command \"%1\"; see --help").arg(rest.first())};
            }
            out << Text(text) << '\n';
            return kDone;
        }
        return RunCommand(rest.first(), rest.mid(1), TargetOf(parser, env), env, out, err);
    } catch (const UsageError& e) {
        err << "quorvel-ctl: " << Text(e.text) << '\n';
        return kUsage;
    }
}

} // namespace qvc::ctl
