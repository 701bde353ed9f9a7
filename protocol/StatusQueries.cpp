#include "StatusQueries.h"

#include "Commands.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace qvc {

std::string QueryLine(StatusQuery q, int presetGroup) {
    switch (q) {
    case StatusQuery::Minfoqv:
        return cmd::kMinfoqv;
    case StatusQuery::Ainfoqv:
        return cmd::kAinfoqv;
    case StatusQuery::Oinfoqv:
        return cmd::kOinfoqv;
    case StatusQuery::Opinfoqv:
        return cmd::kOpinfoqv;
    case StatusQuery::Pinfoqv:
        return cmd::kPinfoqv;
    case StatusQuery::Ginfoqv:
        return cmd::kGinfoqv;
    case StatusQuery::Pginfoqv:
        return cmd::Pginfoqv(presetGroup);
    }
    return {};
}

int ExpectedLength(StatusQuery q, const DeviceModel& model, std::uint8_t modelCode) {
    const bool compact = IsCompactModelCode(modelCode);
    switch (q) {
    case StatusQuery::Minfoqv:
        return 20;
    case StatusQuery::Ainfoqv:
        return model.InputCount;
    case StatusQuery::Oinfoqv:
        return model.OutputSlots * 5;
    case StatusQuery::Opinfoqv:
        return model.OutputSlots * 2;
    case StatusQuery::Pinfoqv:
        return compact ? 864 : 1568;
    case StatusQuery::Ginfoqv:
    case StatusQuery::Pginfoqv:
        return compact ? 130 : 322;
    }
    return 0;
}

std::optional<ParsedQuery> ParseQueryLine(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ') {
            ++at;
        }
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            words.push_back(line.substr(at, end - at));
        }
        at = end;
    }
    if (words.empty()) {
        return std::nullopt;
    }
    constexpr StatusQuery kAll[] = {
        StatusQuery::Minfoqv, StatusQuery::Ainfoqv, StatusQuery::Oinfoqv, StatusQuery::Opinfoqv,
        StatusQuery::Pinfoqv, StatusQuery::Ginfoqv, StatusQuery::Pginfoqv};
    for (const StatusQuery q : kAll) {
        const std::string word =
            q == StatusQuery::Pginfoqv ? std::string("PGINFOQV") : QueryLine(q);
        if (words[0] != word) {
            continue;
        }
        if (q != StatusQuery::Pginfoqv) {
            return words.size() == 1 ? std::optional<ParsedQuery>(ParsedQuery{q, 0}) : std::nullopt;
        }
        int group = -1;
        if (words.size() != 2) {
            return std::nullopt;
        }
        const auto [ptr, ec] =
            std::from_chars(words[1].data(), words[1].data() + words[1].size(), group);
        if (ec != std::errc() || ptr != words[1].data() + words[1].size() || group < 0 ||
            group > 15) {
            return std::nullopt;
        }
        return ParsedQuery{q, group};
    }
    return std::nullopt;
}

} // namespace qvc
