#include "IpAddress.h"

#include "DeviceLink.h"
#include "Prompts.h"
#include "protocol/Commands.h"

#include <algorithm>

namespace qvc {

namespace {

constexpr const char* kEmptyAddressText = "Please enter an IP Address";
constexpr const char* kAddressFormText =
    "Please enter the IP Address as four numbers from 0 to 255 in the form a.b.c.d";
constexpr const char* kAboveRangeText = "IP Address segments cannot be > 255";
constexpr const char* kBelowRangeText = "IP Address segments must each be 0 to 255";
constexpr const char* kFormat = "%1.%2.%3.%4";

// Large enough to be out of range, small enough never to overflow.
constexpr long long kSaturation = 1000000;

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// The first place at or after `pos` that is not a blank.
qsizetype SkipBlanks(const QString& text, qsizetype pos) {
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// Reads one number at `pos`; false when there is none.
bool ReadNumber(const QString& text, qsizetype& pos, int& value) {
    pos = SkipBlanks(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    long long magnitude = 0;
    qsizetype digits = 0;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
        magnitude = std::min(kSaturation, magnitude * 10 + (text[pos].unicode() - u'0'));
        ++pos;
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    value = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

bool AllInRange(const IpAddressParts& parts) {
    return std::all_of(parts.values.begin(), parts.values.end(),
                       [](int v) { return v >= 0 && v <= 255; });
}

} // namespace

IpAddressParts ReadIpAddressParts(const QString& text) {
    IpAddressParts parts;
    qsizetype pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const qsizetype dot = text.indexOf(u'.', pos);
            if (dot < 0) {
                break;
            }
            // Anything but blanks between a number and its dot is not the
            // dotted form, though the numbers are still read.
            parts.exact = parts.exact && SkipBlanks(text, pos) == dot;
            pos = dot + 1;
        }
        int value = 0;
        if (!ReadNumber(text, pos, value)) {
            break;
        }
        parts.values[static_cast<std::size_t>(i)] = value;
        parts.count = i + 1;
    }
    parts.exact = parts.exact && parts.count == 4 && SkipBlanks(text, pos) == text.size();
    return parts;
}

QString NormaliseIpAddress(const QString& text) {
    const IpAddressParts parts = ReadIpAddressParts(text);
    return QString(kFormat)
        .arg(parts.values[0])
        .arg(parts.values[1])
        .arg(parts.values[2])
        .arg(parts.values[3]);
}

QString CheckConnectAddress(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return kEmptyAddressText;
    }
    const IpAddressParts parts = ReadIpAddressParts(text);
    if (!parts.exact || !AllInRange(parts)) {
        return kAddressFormText;
    }
    return {};
}

QString CheckIpConfigAddress(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return kEmptyAddressText;
    }
    const IpAddressParts parts = ReadIpAddressParts(text);
    if (!parts.exact) {
        return kAddressFormText;
    }
    if (std::any_of(parts.values.begin(), parts.values.end(), [](int v) { return v > 255; })) {
        return kAboveRangeText;
    }
    if (!AllInRange(parts)) {
        return kBelowRangeText;
    }
    return {};
}

bool UpdateIpAddress(DeviceLink& link, Prompts& prompts, const QString& text) {
    const QString refusal = CheckIpConfigAddress(text);
    if (!refusal.isEmpty()) {
        prompts.Message(refusal);
        return false;
    }
    const IpAddressParts parts = ReadIpAddressParts(text);
    link.SendCommand(
        cmd::IpConfigCommand(parts.values[0], parts.values[1], parts.values[2], parts.values[3]));
    return true;
}

} // namespace qvc
