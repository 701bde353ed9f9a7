#include "Session.h"

#include "link/DeviceLink.h"
#include "link/ReadBack.h"
#include "link/SerialPortMap.h"
#include "protocol/StatusQueries.h"
#include "session/StateDocument.h"

namespace qvc::session {

namespace {

SerialPortMap PortsFor(const LinkTarget& target) {
    switch (target.kind) {
    case LinkTarget::Kind::Serial:
        return SerialPortMap({target.serialDevice, QString(), QString(), QString()});
    case LinkTarget::Kind::Tcp:
        return SerialPortMap();
    case LinkTarget::Kind::Search:
    case LinkTarget::Kind::Com:
        break;
    }
    return SerialPortMap::FromSystem();
}

// Whether a read changed anything the state document shows.
bool SameTables(const DeviceState& a, const DeviceState& b) {
    if (a.presetGroups.images.size() != b.presetGroups.images.size()) {
        return false;
    }
    for (std::size_t n = 0; n < a.presetGroups.images.size(); ++n) {
        if (a.presetGroups.images[n].bytes != b.presetGroups.images[n].bytes) {
            return false;
        }
    }
    return a.statusRead == b.statusRead && a.status.bytes == b.status.bytes &&
           a.outputs.bytes == b.outputs.bytes && a.prevOutputs.bytes == b.prevOutputs.bytes &&
           a.levels.bytes == b.levels.bytes && a.groups.bytes == b.groups.bytes &&
           a.presets.bytes == b.presets.bytes;
}

} // namespace

QString LinkTarget::KindName() const {
    switch (kind) {
    case Kind::Tcp:
        return QStringLiteral("tcp");
    case Kind::Search:
        return QStringLiteral("search");
    case Kind::Serial:
    case Kind::Com:
        break;
    }
    return QStringLiteral("serial");
}

QString LinkTarget::Description() const {
    switch (kind) {
    case Kind::Tcp:
        return QStringLiteral("%1:%2").arg(tcpAddress).arg(tcpPort);
    case Kind::Serial:
        return serialDevice;
    case Kind::Com:
        return QStringLiteral("COM%1").arg(com);
    case Kind::Search:
        break;
    }
    return QStringLiteral("COM1..COM4");
}

Session::Session(LinkTarget target, LinkTimings timings, Prompts& prompts, QObject* parent)
    : QObject(parent), target_(std::move(target)), prompts_(prompts) {
    link_ = std::make_unique<DeviceLink>(linkState_, host_, prompts_, PortsFor(target_), timings,
                                         target_.tcpPort);
    connect(link_.get(), &DeviceLink::tcpClosed, this, [this] {
        if (!closing_) {
            everythingRead_ = false;
            Changed();
            emit linkLost();
        }
    });
}

Session::~Session() {
    Close();
}

Session::OpenResult Session::Open() {
    switch (target_.kind) {
    case LinkTarget::Kind::Tcp:
        switch (link_->TcpConnect(target_.tcpAddress)) {
        case DeviceLink::TcpOutcome::Probed:
            Changed();
            return OpenResult::Open;
        case DeviceLink::TcpOutcome::Silent:
            return OpenResult::Silent;
        case DeviceLink::TcpOutcome::NotConnected:
            break;
        }
        return OpenResult::NoLink;
    case LinkTarget::Kind::Search:
        if (link_->SearchPorts(0) < 0) {
            return OpenResult::NoLink;
        }
        break;
    case LinkTarget::Kind::Serial:
    case LinkTarget::Kind::Com: {
        const DeviceLink::PortCheck opened =
            link_->OpenAndCheckPort(target_.kind == LinkTarget::Kind::Serial ? 1 : target_.com);
        if (opened == DeviceLink::PortSilent) {
            return OpenResult::Silent;
        }
        if (opened != DeviceLink::PortAnswered) {
            return OpenResult::NoLink;
        }
        break;
    }
    }
    link_->SetSerialConnected(true);
    Changed();
    return OpenResult::Open;
}

void Session::Close() {
    const bool wasUp = LinkUp();
    closing_ = true;
    if (link_->TcpActive()) {
        link_->TcpClose();
    }
    link_->CloseSerialPort();
    closing_ = false;
    linkState_.SerialConnected = false;
    linkState_.EthernetConnected = false;
    everythingRead_ = false;
    if (wasUp) {
        Changed();
    }
}

bool Session::LinkUp() const {
    return linkState_.LinkUp();
}

bool Session::Read(Reads reads) {
    const int before = prompts_.Count();
    const DeviceState was = state_;
    bool read = true;
    switch (reads) {
    case Reads::Nothing:
        return true;
    case Reads::Everything:
        read = ReadBack(*link_, state_, host_, prompts_) >= 1;
        everythingRead_ = read && prompts_.Count() == before;
        break;
    case Reads::StatusAndGroups:
        read = ReadPartOf(*link_, state_, host_, ReadPart::Status) &&
               ReadPartOf(*link_, state_, host_, ReadPart::Groups);
        break;
    case Reads::Status:
        read = ReadPartOf(*link_, state_, host_, ReadPart::Status);
        break;
    }
    if (!SameTables(was, state_)) {
        Changed();
    }
    return read && prompts_.Count() == before;
}

Session::Result Session::Run(const Operation& op, const Args& args) {
    Result result;
    // A session that read everything back holds what the checks need.
    if (!everythingRead_ && !Read(op.reads)) {
        result.status = Result::Status::Failed;
        return result;
    }
    Outcome outcome = op.run(state_, args);
    if (outcome.refusal) {
        result.status = Result::Status::Refused;
        result.refusal = *outcome.refusal;
        return result;
    }
    result.note = outcome.note;
    if (outcome.commands.empty()) {
        return result;
    }
    // The state first, then the wire, as in the window.
    Changed();
    const int before = prompts_.Count();
    link_->SendCommands(outcome.commands);
    if (prompts_.Count() != before) {
        result.status = Result::Status::Failed;
        return result;
    }
    result.sent = std::move(outcome.commands);
    return result;
}

Session::Forwarded Session::Forward(const std::string& line) {
    Forwarded forwarded;
    const std::optional<ParsedQuery> query = ParseQueryLine(line);
    const int expected = query
                             ? ExpectedLength(query->query, state_.model, state_.status.ModelCode())
                             : DeviceLink::kCommandAnswer;
    const bool reset = !query && line.rfind("RESETQV", 0) == 0;
    forwarded.answer = link_->Forward(line, expected, reset);
    if (forwarded.answer.isEmpty() || query) {
        return forwarded;
    }
    forwarded.effect = ApplyWriteLine(state_, line);
    switch (forwarded.effect) {
    case LineEffect::Applied:
        Changed();
        break;
    case LineEffect::ReadBackNeeded:
        everythingRead_ = false;
        break;
    case LineEffect::None:
        break;
    }
    return forwarded;
}

bool Session::Resync() {
    const DeviceState was = state_;
    const int before = prompts_.Count();
    const bool read = ReadPartOf(*link_, state_, host_, ReadPart::Status) &&
                      ReadPartOf(*link_, state_, host_, ReadPart::Outputs) &&
                      ReadPartOf(*link_, state_, host_, ReadPart::PrevOutputs) &&
                      ReadPartOf(*link_, state_, host_, ReadPart::Levels);
    if (!SameTables(was, state_)) {
        Changed();
    }
    return read && prompts_.Count() == before;
}

void Session::SetLabels(const LabelTables& labels) {
    if (labels == labels_) {
        return;
    }
    labels_ = labels;
    Changed();
}

QJsonObject Session::Document() const {
    return StateDocument(DocumentSource{state_, labels_, revision_, LinkUp(), target_.KindName(),
                                        target_.Description()});
}

void Session::Changed() {
    ++revision_;
    emit changed(revision_);
}

} // namespace qvc::session
