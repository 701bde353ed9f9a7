// The bridge's HTTP API as data: its routes, and the mapping of one request
// (method, path, body) to what it asks for. Write routes become rows of the
// table of operations with their arguments checked against the rows'
// ranges; nothing here reaches the link.
#pragma once

#include "model/Labels.h"
#include "session/Operations.h"

#include <QByteArray>
#include <QString>
#include <utility>
#include <variant>
#include <vector>

namespace qvc::bridge {

enum class CallKind {
    State,      // GET /api/v1/state
    Operations, // a write route: one or more rows of the table
    Read,       // POST /api/v1/read: a full read-back
    Labels,     // PUT /api/v1/labels
    Events,     // GET /api/v1/events (WebSocket)
    Metrics,    // GET /metrics
    OpenApi,    // GET /api/v1/openapi.json
    Static,     // the web panel's files, compiled in
};

struct Route {
    QByteArray method;
    QString path;
    CallKind kind = CallKind::State;
    // The rows of the table a write route runs: one, or for /setup those of
    // the fields given.
    QStringList operations;
    QString summary;
    QString resource; // Static: the file among the program's resources
};

// Every route the server has, in the order of its documentation.
const std::vector<Route>& Routes();

// One label edit: label `number` (1..16) of a kind becomes `text`.
struct LabelEdit {
    LabelKind kind = LabelKind::Input;
    int number = 1;
    std::string text; // Latin-1, at most six bytes
};

struct Call {
    CallKind kind = CallKind::State;
    QString resource; // Static
    std::vector<std::pair<const session::Operation*, session::Args>> operations;
    std::vector<LabelEdit> labels;
};

// An answer without a call: the status and one sentence a person can act on.
struct HttpError {
    int status = 400;
    QString text;
};

inline constexpr qsizetype kMaxBody = 64 * 1024;

std::variant<Call, HttpError> MapRequest(const QByteArray& method, const QString& path,
                                         const QByteArray& body);

// Label edits applied to a copy of `labels`.
LabelTables WithEdits(LabelTables labels, const std::vector<LabelEdit>& edits);

} // namespace qvc::bridge
