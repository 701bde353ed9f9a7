// The bridge's requests: any method, path and body through the mapping of a
// request to what it asks. Each gives either an error with its status, or a
// call whose every argument is one its row of the table of operations takes;
// the rows then run on a switcher state of their own, never on a link.
//
// Input: a method byte, a path byte, the model code, then the body.
#include "FuzzCheck.h"

#include "bridge/Api.h"
#include "model/DeviceState.h"

#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

using qvc::session::Param;

// A value the argument takes; a flag's field takes what any flag of that
// field gives ("signals": av, video or audio).
QVC_FUZZ_CHECKER bool Takes(const qvc::session::Operation& op, const Param& p, const QVariant& v) {
    switch (p.type) {
    case Param::Type::OnOff:
        return v.typeId() == QMetaType::Bool;
    case Param::Type::Flag:
        return std::any_of(op.params.begin(), op.params.end(), [&](const Param& q) {
            return q.key == p.key && (v == q.flagValue || v == q.fallback);
        });
    case Param::Type::Word:
        if (v.typeId() == QMetaType::QString) {
            return p.words.contains(v.toString());
        }
        break;
    case Param::Type::Int:
        break;
    }
    return v.typeId() == QMetaType::Int && v.toInt() >= p.low && v.toInt() <= p.high;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const char* const methods[] = {"GET", "POST", "PUT", "DELETE", "PATCH", "HEAD"};
    const char* method = methods[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const auto& routes = qvc::bridge::Routes();
    const std::size_t pick = in.ConsumeIntegralInRange<std::size_t>(0, routes.size());
    const QString path = pick < routes.size() ? routes[pick].path
                                               : QString::fromStdString(in.ConsumeRandomLengthString(40));
    const auto model = in.ConsumeIntegralInRange<std::uint8_t>(0, 3);
    const std::string body = in.ConsumeRemainingBytesAsString();

    const auto mapped = qvc::bridge::MapRequest(method, path, QByteArray::fromStdString(body));
    if (const auto* error = std::get_if<qvc::bridge::HttpError>(&mapped)) {
        const int s = error->status;
        QVC_FUZZ_CHECK(s == 400 || s == 404 || s == 405 || s == 413);
        QVC_FUZZ_CHECK(!error->text.isEmpty());
        return 0;
    }
    const qvc::bridge::Call& call = std::get<qvc::bridge::Call>(mapped);
    for (const qvc::bridge::LabelEdit& e : call.labels) {
        QVC_FUZZ_CHECK(e.number >= 1 && e.number <= qvc::kLabelsPerKind);
        QVC_FUZZ_CHECK(e.text.size() <= 6);
    }
    for (const auto& [op, args] : call.operations) {
        QVC_FUZZ_CHECK(op != nullptr);
        for (const Param& p : op->params) {
            QVC_FUZZ_CHECK(!args.Has(p.key) || Takes(*op, p, args.Value(p.key)));
            QVC_FUZZ_CHECK(args.Has(p.key) || !p.choice.isEmpty() || p.fallback.isValid());
        }
        qvc::DeviceState state;
        state.model.ApplyModelCode(model);
        state.status.bytes[14] = model;
        state.statusRead = true;
        const qvc::session::Outcome outcome = op->run(state, args);
        QVC_FUZZ_CHECK(!outcome.refusal || !outcome.refusal->text.isEmpty());
        for (const qvc::Command& c : outcome.commands) {
            QVC_FUZZ_CHECK(!c.line.empty() && c.line.size() < 40);
        }
    }
    return 0;
}
