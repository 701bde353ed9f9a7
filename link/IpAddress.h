// The address text of the Setup page: reading its four numbers, the dotted
// form written back before a connect, and the checks made before a connect
// and before "Update IP Address". Pure functions, apart from UpdateIpAddress.
#pragma once

#include <QString>
#include <array>

namespace qvc {

class DeviceLink;
class Prompts;

// Four decimal numbers: the first at the start of the text, each further one
// just after the next '.'; blanks before a number are skipped and a sign is
// allowed. `count` is how many numbers were found (reading stops at the
// first place without one); missing values are 0. `exact` says whether the
// text is nothing but those four numbers joined by single dots, blanks around
// each allowed: "1.2.3.4.5", "10.0.0.5/24" or "0x7f.0.0.1" are read, not exact.
struct IpAddressParts {
    std::array<int, 4> values{};
    int count = 0;
    bool exact = true;
};
IpAddressParts ReadIpAddressParts(const QString& text);

// The numbers written back as "%d.%d.%d.%d" (192.168.001.020 -> 192.168.1.20).
QString NormaliseIpAddress(const QString& text);

// Empty when the text can be connected to (exactly four numbers, each
// 0..255); otherwise the message to show, and nothing may be connected.
QString CheckConnectAddress(const QString& text);

// Empty when "Update IP Address" may send the numbers (exactly four, each
// 0..255); otherwise the message.
QString CheckIpConfigAddress(const QString& text);

// "Update IP Address": checks the text and sends "IPCONFIG a b c d" without
// waiting, or shows the message and sends nothing. True when sent.
bool UpdateIpAddress(DeviceLink& link, Prompts& prompts, const QString& text);

} // namespace qvc
