#include "CommandArgs.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <map>

namespace qvc::ctl {

namespace {

using session::Args;
using session::Operation;
using session::Param;

// The words a command expects after it, "store or recall", "add, del or clear".
QString Alternatives(const QStringList& words) {
    if (words.size() < 2) {
        return words.join(QString());
    }
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
           words.last();
}

QString Usage(const QString& command) {
    QStringList synopses;
    for (const Operation* op : session::OperationsOf(command)) {
        synopses << op->synopsis;
    }
    return QStringLiteral("usage: ") + synopses.join(QStringLiteral(" | "));
}

// The positional arguments and the options and flags that were given, with
// negative numbers kept as positional arguments.
struct Words {
    QStringList positional;
    std::map<QString, QString> options; // option -> value ("" for a flag)
};

Words Split(const QString& command, const QStringList& args, const std::vector<Param>& params) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    std::map<QString, QCommandLineOption> known;
    for (const Param& p : params) {
        if (p.option.isEmpty() || known.count(p.option) != 0) {
            continue;
        }
        const QString name = p.option.mid(2);
        known.emplace(p.option, p.type == Param::Type::Flag
                                    ? QCommandLineOption(name)
                                    : QCommandLineOption(name, QString(), p.name));
        parser.addOption(known.at(p.option));
    }
    static const QRegularExpression negative(QStringLiteral("^-\\d+$"));
    QStringList argv{command};
    QStringList numbers; // negative numbers would read as options
    for (const QString& a : args) {
        if (negative.match(a).hasMatch()) {
            argv << QStringLiteral("__number%1").arg(numbers.size());
            numbers << a;
        } else {
            argv << a;
        }
    }
    if (!parser.parse(argv)) {
        throw UsageError{parser.errorText()};
    }
    Words words;
    for (QString p : parser.positionalArguments()) {
        if (p.startsWith(QLatin1String("__number"))) {
            p = numbers.value(p.mid(8).toInt());
        }
        words.positional << p;
    }
    for (const auto& [option, spec] : known) {
        if (parser.isSet(spec)) {
            words.options[option] = spec.valueName().isEmpty() ? QString() : parser.value(spec);
        }
    }
    return words;
}

QVariant Value(const Param& p, const QString& text) {
    switch (p.type) {
    case Param::Type::OnOff:
        if (text == QLatin1String("on") || text == QLatin1String("off")) {
            return text == QLatin1String("on");
        }
        throw UsageError{session::OnOffErrorText(text)};
    case Param::Type::Word:
        if (p.words.contains(text.toLower())) {
            return text.toLower();
        }
        break;
    case Param::Type::Int:
    case Param::Type::Flag:
        break;
    }
    return Number(text, p.low, p.high, p.name);
}

// Flags of one choice ("--video", "--audio") may not be given together;
// exactly one argument of any other choice must be given.
void CheckChoices(const std::vector<Param>& params, const Words& words) {
    std::map<QString, QStringList> given;
    std::map<QString, QStringList> spelled;
    std::map<QString, bool> flags;
    for (const Param& p : params) {
        if (p.choice.isEmpty() || p.option.isEmpty()) {
            continue;
        }
        const bool flag = p.type == Param::Type::Flag;
        flags[p.choice] = flag;
        spelled[p.choice] << (flag ? p.option : p.option + QLatin1Char(' ') + p.name);
        if (words.options.count(p.option) != 0) {
            given[p.choice] << p.option;
        }
    }
    for (const auto& [choice, names] : spelled) {
        const qsizetype n = given[choice].size();
        if (flags[choice] && n > 1) {
            throw UsageError{QStringLiteral("choose %1, not both").arg(Alternatives(names))};
        }
        const bool positionalAlternative = std::any_of(params.begin(), params.end(), [&](auto& p) {
            return p.choice == choice && p.option.isEmpty();
        });
        if (!flags[choice] && !positionalAlternative && n != 1) {
            throw UsageError{QStringLiteral("give one of %1").arg(Alternatives(names))};
        }
    }
}

Args Read(const Operation& op, const Words& words, const QString& command) {
    CheckChoices(op.params, words);
    // A positional argument of a choice stands only when no option of that
    // choice was given (level INPUT DB | level INPUT --raw N).
    const auto takes = [&](const Param& p) {
        return std::none_of(op.params.begin(), op.params.end(), [&](const Param& q) {
            return !p.choice.isEmpty() && q.choice == p.choice && !q.option.isEmpty() &&
                   words.options.count(q.option) != 0;
        });
    };
    std::vector<const Param*> positional;
    for (const Param& p : op.params) {
        if (p.option.isEmpty() && takes(p)) {
            positional.push_back(&p);
        }
    }
    const qsizetype skip = op.verb.isEmpty() ? 0 : 1;
    if (words.positional.size() - skip != static_cast<qsizetype>(positional.size())) {
        throw UsageError{Usage(command)};
    }
    Args args;
    for (std::size_t n = 0; n < positional.size(); ++n) {
        const QString& text = words.positional[static_cast<qsizetype>(n) + skip];
        args.Set(positional[n]->key, Value(*positional[n], text));
    }
    for (const Param& p : op.params) {
        const auto it = words.options.find(p.option);
        if (p.option.isEmpty() || it == words.options.end()) {
            if (p.fallback.isValid() && !args.Has(p.key)) {
                args.Set(p.key, p.fallback);
            }
            continue;
        }
        args.Set(p.key, p.type == Param::Type::Flag ? p.flagValue : Value(p, it->second));
    }
    return args;
}

// Every option of a command word's rows, for one parse of its line.
std::vector<Param> OptionsOf(const std::vector<const Operation*>& rows) {
    std::vector<Param> params;
    for (const Operation* op : rows) {
        params.insert(params.end(), op->params.begin(), op->params.end());
    }
    return params;
}

} // namespace

int Number(const QString& text, int low, int high, const QString& what) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        throw UsageError{session::RangeErrorText(what, low, high, text)};
    }
    return n;
}

ParsedCommand ParseCommand(const QString& command, const QStringList& args) {
    const std::vector<const Operation*> rows = session::OperationsOf(command);
    if (rows.empty()) {
        throw UsageError{QStringLiteral("unknown command \"%1\"; see --help").arg(command)};
    }
    const std::vector<Param> options = OptionsOf(rows);
    Words words = Split(command, args, options);
    const Operation* op = rows.front();
    if (!op->verb.isEmpty()) {
        if (words.positional.size() < 2) {
            throw UsageError{Usage(command)};
        }
        QStringList verbs;
        op = nullptr;
        for (const Operation* row : rows) {
            verbs << row->verb;
            if (row->verb == words.positional.front()) {
                op = row;
            }
        }
        if (op == nullptr) {
            throw UsageError{QStringLiteral("expected %1, not \"%2\"")
                                 .arg(Alternatives(verbs), words.positional.front())};
        }
    }
    // Options of the other rows of the word are not this row's.
    for (const auto& [option, value] : words.options) {
        const bool own = std::any_of(op->params.begin(), op->params.end(),
                                     [&](const Param& p) { return p.option == option; });
        if (!own) {
            throw UsageError{QStringLiteral("Unknown option '%1'.").arg(option.mid(2))};
        }
    }
    return ParsedCommand{op, Read(*op, words, command)};
}

namespace {

constexpr int kHelpWidth = 79;

// `text` as lines of at most `width` characters, broken at blanks, each but
// the first indented by `indent` blanks.
QString Wrap(const QString& text, int width, int indent) {
    QString wrapped;
    QString line;
    for (const QString& word : QString(text)
                                   .replace(QLatin1Char('\n'), QLatin1Char(' '))
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // An option never starts a line, where it would read as one of the
        // program's own options.
        if (!line.isEmpty() && line.size() + 1 + word.size() > width &&
            !word.startsWith(QLatin1Char('-'))) {
            wrapped += line + QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    return wrapped + line;
}

} // namespace

QString ProgramHelp() {
    QString text = QStringLiteral("Drives a Quorvel switcher from scripts.\n\nCommands:\n");
    constexpr int kColumn = 42;
    const auto line = [&](const QString& synopsis, const QString& summary) {
        QString first = QStringLiteral("  ") + synopsis;
        if (first.size() >= kColumn) {
            text += first + QLatin1Char('\n');
            first.clear();
        }
        text += first.leftJustified(kColumn) + Wrap(summary, kHelpWidth - kColumn, kColumn) +
                QLatin1Char('\n');
    };
    for (const Operation& op : session::OperationTable()) {
        line(op.synopsis, op.summary);
    }
    line(QStringLiteral("labels export CONFIG [CSV]"),
         QStringLiteral("labels of a configuration file as CSV"));
    line(QStringLiteral("labels import CONFIG CSV"),
         QStringLiteral("CSV labels into a configuration file"));
    text +=
        QStringLiteral("\nNumbers are 1-based, as on the screen. '<command> --help' tells more.\n"
                       "Exit codes: 0 done, 1 the switcher did not answer, 2 usage error (nothing\n"
                       "sent), 3 no link.");
    return text;
}

QString CommandHelp(const QString& command) {
    if (command == QLatin1String("labels")) {
        return QStringLiteral(
            "labels export CONFIG [CSV]\nlabels import CONFIG CSV\n  Offline: the labels of a "
            "configuration file as CSV (table,number,label;\n  table input, output, group or "
            "preset). Without CSV, export prints to\n  standard output. Import keeps every other "
            "byte of the file.");
    }
    QStringList parts;
    for (const Operation* op : session::OperationsOf(command)) {
        parts << op->synopsis + QStringLiteral("\n    ") + Wrap(op->summary, kHelpWidth - 4, 4);
    }
    return parts.join(QLatin1Char('\n'));
}

} // namespace qvc::ctl
