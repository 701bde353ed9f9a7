// A switcher session without widgets: it opens a link as the window would,
// reads the switcher back with the link layer's read-back, runs operations
// from the one table and keeps DeviceState with a revision number that grows
// by one on every change it makes. Listeners hear of each new revision.
//
// Where the window would show a message, the session hands it to the
// Prompts it was given (a client prints it) and counts the operation failed.
#pragma once

#include "link/LinkState.h"
#include "link/LinkTimings.h"
#include "link/NullLinkHost.h"
#include "link/Prompts.h"
#include "model/DeviceState.h"
#include "model/Labels.h"
#include "model/LineEffects.h"
#include "session/LinkTarget.h"
#include "session/Operations.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <memory>
#include <string>

namespace qvc {
class DeviceLink;
}

namespace qvc::session {

class Session : public QObject {
    Q_OBJECT
  public:
    Session(LinkTarget target, LinkTimings timings, Prompts& prompts, QObject* parent = nullptr);
    ~Session() override;

    enum class OpenResult {
        Open,
        Silent, // the port or address was reached; the switcher did not answer
        NoLink, // nothing could be opened
    };
    OpenResult Open();
    void Close();
    bool LinkUp() const;

    // Reads what `reads` names; false when a reply was not read (a message
    // has then been given).
    bool Read(Reads reads);

    struct Result {
        enum class Status { Done, Refused, Failed };
        Status status = Status::Done;
        Refusal refusal; // Refused
        QString note;    // Done without anything to send
        Commands sent;   // Done: the lines the switcher acknowledged
    };
    // Reads what the operation needs (nothing once everything was read
    // back), checks it, changes the state, sends its lines. A failed read or exchange is Failed;
    // nothing is retried.
    Result Run(const Operation& op, const Args& args);

    // Another controller's line (without its CR) through this session's
    // link: the switcher's answer byte for byte (empty when none came; see
    // DeviceLink::Forward). A status query is told apart from a command as
    // the switcher tells it; its reply is expected in the model's size. A
    // write command that was answered changes the state as the switcher
    // changes it (model/LineEffects.h), and an applied one is a new revision
    // before this returns. A reset leaves the state unknown: `effect` says
    // ReadBackNeeded, and the caller reads everything back.
    struct Forwarded {
        QByteArray answer;
        LineEffect effect = LineEffect::None;
    };
    Forwarded Forward(const std::string& line);

    // A resident client's light resync while idle: the status block, the
    // routing and the levels. A difference is a new revision. False when a
    // reply was not read.
    bool Resync();
    // New labels (a client's edit); a new revision when they differ.
    void SetLabels(const LabelTables& labels);

    DeviceState& State() { return state_; }
    const DeviceState& State() const { return state_; }
    const LabelTables& Labels() const { return labels_; }
    int Revision() const { return revision_; }
    const LinkTarget& Target() const { return target_; }
    QJsonObject Document() const;

  signals:
    // The state changed; `revision` is its new number.
    void changed(int revision);
    // The TCP connection closed by itself (the switcher or the network),
    // not by Close; the state already says the link is down.
    void linkLost();

  private:
    // Forwards every message and counts it: any message means a failure.
    class CountingPrompts : public Prompts {
      public:
        explicit CountingPrompts(Prompts& inner) : inner_(inner) {}
        int Count() const { return count_; }
        void Message(const QString& text) override { ++count_, inner_.Message(text); }
        void MessageWithTitle(const QString& title, const QString& text) override {
            ++count_, inner_.MessageWithTitle(title, text);
        }
        bool YesNo(const QString& title, const QString& text) override {
            return ++count_, inner_.YesNo(title, text);
        }
        bool OkCancel(const QString& title, const QString& text) override {
            return ++count_, inner_.OkCancel(title, text);
        }
        void Error(const QString& text) override { ++count_, inner_.Error(text); }
        QString OpenFileName(const QString& filter) override { return inner_.OpenFileName(filter); }
        QString SaveFileName(const QString& filter) override { return inner_.SaveFileName(filter); }

      private:
        Prompts& inner_;
        int count_ = 0;
    };

    void Changed();

    LinkTarget target_;
    LinkState linkState_;
    NullLinkHost host_;
    CountingPrompts prompts_;
    DeviceState state_;
    LabelTables labels_ = DefaultLabels();
    int revision_ = 0;
    bool everythingRead_ = false;
    bool closing_ = false;
    std::unique_ptr<DeviceLink> link_;
};

} // namespace qvc::session
