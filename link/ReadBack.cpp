#include "ReadBack.h"

#include "DeviceLink.h"
#include "LinkHost.h"
#include "Prompts.h"
#include "model/DeviceState.h"
#include "protocol/Framing.h"
#include "protocol/StatusQueries.h"

#include <QCoreApplication>
#include <QThread>
#include <functional>
#include <optional>
#include <span>

namespace qvc {

namespace {

constexpr const char* kQueryingText = "QV Control querying Quorvel. Please wait....";
constexpr const char* kFailureTitle = "Norvak Dellby - QV Control :Error reading from Quorvel(s)";

constexpr const char* kMinfoParseText = "Error parsing MINFOQV message....";
constexpr const char* kAinfoParseText = "Error parsing AINFOQB message....";
constexpr const char* kOinfoParseText = "Error parsing OINFOQB message...."; // OINFOQV and OPINFOQV
constexpr const char* kPinfoParseText = "Error parsing PINFOQV message....";
constexpr const char* kGinfoParseText = "Error parsing GINFOQV message....";
constexpr const char* kPginfoParseText = "Error parsing PGINFOQV message....";

constexpr const char* kAudioFailText =
    "QV Control unable to read Audio Status. (NOTE: QV Control settings on Audio will be invalid)";
constexpr const char* kOutputFailText = "QV Control unable to read Output Status. (NOTE: QV "
                                        "Control settings on Output will be invalid)";
constexpr const char* kPrevOutputFailText = "QV Control unable to read Prev Output Status. (NOTE: "
                                            "QV Control settings on Output will be invalid)";
constexpr const char* kPresetFailText =
    "QV Control unable to read Preset Status. (NOTE: QV Control settings will be invalid)";
constexpr const char* kGroupingFailText = "QV Control unable to read Grouping Status. (NOTE: QV "
                                          "Control settings on Grouping will be invalid)";
constexpr const char* kPresetGroupFailText =
    "QV Control unable to read Preset Group Status. (NOTE: QV Control settings will be invalid)";

constexpr int kPresetGroups = 16;
constexpr char kProgressDot = '.';

using Payload = std::span<const std::uint8_t>;

class Reader {
  public:
    Reader(DeviceLink& link, DeviceState& state, LinkHost& host, LinkTimings timings)
        : link_(link), state_(state), host_(host), timings_(timings) {}

    // One query: sends `line`, finds the SOH in the first 30 bytes of the
    // reply and hands the payload of `length` bytes to `load`. False when
    // the exchange failed or the reply has no SOH (then `parseError` goes to
    // the status bar).
    bool Query(const std::string& line, int length, const char* parseError, bool minfo,
               const std::function<bool(Payload)>& load) {
        if (!link_.QueryStatus(line, length)) {
            return false;
        }
        const auto payload =
            ExtractPayload(link_.ReceiveBuffer(), static_cast<std::size_t>(std::max(length, 0)));
        if (!payload) {
            host_.SetStatusText(parseError);
            QCoreApplication::processEvents();
            QThread::msleep(static_cast<unsigned long>(std::max(timings_.tcpPauseMs, 0)));
            if (minfo) {
                QCoreApplication::processEvents();
            }
            return false;
        }
        return load(*payload);
    }

    // The group, preset and preset group replies are asked for in the form
    // they are copied in, the one of the model's output slots: a status
    // block with a model code outside 0..3 keeps the model, and so both.
    int Length(StatusQuery q) const {
        const bool large = LargePayloadForm(state_.model);
        switch (q) {
        case StatusQuery::Pinfoqv:
            return static_cast<int>(large ? PresetTable::kSize : PresetTable::kSmallSize);
        case StatusQuery::Ginfoqv:
        case StatusQuery::Pginfoqv:
            return static_cast<int>(large ? GroupTable::kSize : GroupTable::kSmallSize);
        default:
            return ExpectedLength(q, state_.model, state_.status.ModelCode());
        }
    }

  private:
    DeviceLink& link_;
    DeviceState& state_;
    LinkHost& host_;
    LinkTimings timings_;
};

// A table's query, its parse error text and its loader.
struct TableRead {
    StatusQuery query;
    const char* parseError;
    std::function<bool(Payload)> load;
};

TableRead ReadOf(ReadPart part, DeviceState& state) {
    const bool large = LargePayloadForm(state.model);
    switch (part) {
    case ReadPart::Status:
        return {StatusQuery::Minfoqv, kMinfoParseText,
                [&state](Payload p) { return state.LoadStatusPayload(p); }};
    case ReadPart::Groups:
        return {StatusQuery::Ginfoqv, kGinfoParseText,
                [&state, large](Payload p) { return LoadGroupPayload(p, large, state.groups); }};
    case ReadPart::Outputs:
        return {StatusQuery::Oinfoqv, kOinfoParseText, [&state](Payload p) {
                    return LoadOutputStatusPayload(p, state.model.OutputSlots, state.outputs);
                }};
    case ReadPart::PrevOutputs:
        return {StatusQuery::Opinfoqv, kOinfoParseText, [&state](Payload p) {
                    return LoadPrevOutputStatusPayload(p, state.model.OutputSlots,
                                                       state.prevOutputs);
                }};
    case ReadPart::Levels:
        break;
    }
    return {StatusQuery::Ainfoqv, kAinfoParseText, [&state](Payload p) {
                return LoadAudioPayload(p, state.model.InputCount, state.levels);
            }};
}

QString Dots(int n) {
    return QString(n, QLatin1Char(kProgressDot));
}

} // namespace

int ReadBack(DeviceLink& link, DeviceState& state, LinkHost& host, Prompts& prompts) {
    Reader reader(link, state, host, link.Timings());
    host.ShowInfo(kQueryingText);
    host.SetInfoProgress(QString());

    const bool statusRead =
        reader.Query(QueryLine(StatusQuery::Minfoqv), reader.Length(StatusQuery::Minfoqv),
                     kMinfoParseText, true, [&](Payload p) { return state.LoadStatusPayload(p); });
    if (!statusRead) {
        host.HideInfo();
        return -1;
    }

    bool popupShown = true;
    auto fail = [&](const char* text) {
        if (popupShown) {
            host.HideInfo();
            popupShown = false;
        }
        prompts.MessageWithTitle(kFailureTitle, text);
    };
    const bool large = LargePayloadForm(state.model);

    host.SetInfoProgress(Dots(1));
    if (!reader.Query(QueryLine(StatusQuery::Ainfoqv), reader.Length(StatusQuery::Ainfoqv),
                      kAinfoParseText, false, [&](Payload p) {
                          return LoadAudioPayload(p, state.model.InputCount, state.levels);
                      })) {
        fail(kAudioFailText);
    }

    host.SetInfoProgress(Dots(2));
    if (!reader.Query(QueryLine(StatusQuery::Oinfoqv), reader.Length(StatusQuery::Oinfoqv),
                      kOinfoParseText, false, [&](Payload p) {
                          return LoadOutputStatusPayload(p, state.model.OutputSlots, state.outputs);
                      })) {
        fail(kOutputFailText);
    }

    host.SetInfoProgress(Dots(3));
    if (!reader.Query(QueryLine(StatusQuery::Opinfoqv), reader.Length(StatusQuery::Opinfoqv),
                      kOinfoParseText, false, [&](Payload p) {
                          return LoadPrevOutputStatusPayload(p, state.model.OutputSlots,
                                                             state.prevOutputs);
                      })) {
        fail(kPrevOutputFailText);
    }

    host.SetInfoProgress(Dots(4));
    if (!reader.Query(QueryLine(StatusQuery::Pinfoqv), reader.Length(StatusQuery::Pinfoqv),
                      kPinfoParseText, false,
                      [&](Payload p) { return LoadPresetPayload(p, large, state.presets); })) {
        fail(kPresetFailText);
    } else {
        state.presetsRead = true;
    }

    host.SetInfoProgress(Dots(5));
    if (!reader.Query(QueryLine(StatusQuery::Ginfoqv), reader.Length(StatusQuery::Ginfoqv),
                      kGinfoParseText, false,
                      [&](Payload p) { return LoadGroupPayload(p, large, state.groups); })) {
        fail(kGroupingFailText);
    }

    host.SetInfoProgress(Dots(6));
    // One length for all 16 preset group images, set before the first.
    const int groupLength = reader.Length(StatusQuery::Pginfoqv);
    for (int n = 0; n < kPresetGroups; ++n) {
        if (n == 3 || n == 7 || n == 11 || n == 15) {
            host.SetInfoProgress(Dots(7 + n / 4));
        }
        const bool read = reader.Query(
            QueryLine(StatusQuery::Pginfoqv, n), groupLength, kPginfoParseText, false,
            [&](Payload p) { return LoadPresetGroupPayload(n, p, large, state.presetGroups); });
        if (!read) {
            // The remaining images keep their content.
            fail(kPresetGroupFailText);
            break;
        }
    }

    host.HideInfo();
    return 1;
}

bool ReadPartOf(DeviceLink& link, DeviceState& state, LinkHost& host, ReadPart part) {
    Reader reader(link, state, host, link.Timings());
    const TableRead read = ReadOf(part, state);
    return reader.Query(QueryLine(read.query), reader.Length(read.query), read.parseError,
                        part == ReadPart::Status, read.load);
}

} // namespace qvc
