// The one table of operations of the programs without a window. A row is an
// operation: its name, its arguments with their ranges and how a command line
// spells them, what it reads of the switcher before its checks, and the
// checks and model call that give the lines to send. quorvel-ctl's commands,
// usage errors and help are made from it; so are the bridge's routes.
#pragma once

#include "model/DeviceState.h"
#include "protocol/Commands.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <vector>

namespace qvc::session {

// The arguments of one operation, by their keys, as a front parsed them.
class Args {
  public:
    void Set(const QString& key, const QVariant& value) { values_.insert(key, value); }
    bool Has(const QString& key) const { return values_.contains(key); }
    int Int(const QString& key) const { return values_.value(key).toInt(); }
    bool Bool(const QString& key) const { return values_.value(key).toBool(); }
    QString Word(const QString& key) const { return values_.value(key).toString(); }
    QVariant Value(const QString& key) const { return values_.value(key); }

  private:
    QVariantMap values_;
};

// A refused operation: nothing is sent. Usage: the arguments are wrong for
// this switcher (out of its range); State: its state refuses them (the group
// rule, a group without outputs). Every front shows the same words.
struct Refusal {
    enum class Kind { Usage, State };
    Kind kind = Kind::Usage;
    QString text;
};

// What the checks and the model call gave: the lines to send, a refusal, or
// a note that nothing needs to be sent.
struct Outcome {
    Commands commands;
    std::optional<Refusal> refusal;
    QString note;
};

// What an operation reads of the switcher before its checks (a fresh client
// knows nothing of it; a resident one reads nothing it already holds).
enum class Reads { Nothing, Status, StatusAndGroups, Everything };

// One argument.
struct Param {
    enum class Type {
        Int,   // a whole number in [low, high]
        OnOff, // on or off; a boolean in JSON
        Word,  // one of `words`, or else a whole number in [low, high] when high > low
        Flag,  // a command-line flag that gives `key` the value `flagValue`
    };
    QString key; // the field of a JSON body and of Args
    Type type = Type::Int;
    QString name; // as usage errors and help name it: OUTPUT, N, MS ...
    int low = 0;
    int high = 0;
    QStringList words;
    // How a command line spells it: empty for a positional argument, else
    // the option ("--raw") or flag ("--video").
    QString option;
    QVariant flagValue;
    QVariant fallback; // the value when it is not given; invalid: required
    // Arguments of one choice: exactly one of them is given ("" for none).
    QString choice;
};

struct Operation {
    QString name;    // "route", "preset store", "group add"
    QString command; // the command word of quorvel-ctl ("preset")
    QString verb;    // the word after it, or empty ("store")
    QString synopsis;
    QString summary; // what it sends, for the program's help
    std::vector<Param> params;
    Reads reads = Reads::Nothing;
    std::function<Outcome(DeviceState&, const Args&)> run;
};

// Every operation, in the order of the help.
const std::vector<Operation>& OperationTable();
const Operation* FindOperation(const QString& name);
// The rows of one quorvel-ctl command word.
std::vector<const Operation*> OperationsOf(const QString& command);

// The text of an argument error, the same on every front.
QString RangeErrorText(const QString& name, int low, int high, const QString& given);
QString OnOffErrorText(const QString& given);

// The switch source items by name: rgb-delay, channel1-sync, channel1-video,
// vref-in.
const QStringList& SwitchSourceNames();

} // namespace qvc::session
