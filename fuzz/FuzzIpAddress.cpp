// The address text of the Setup page, as any text the operator can type:
// read, normalised and checked before a connect and before "Update IP
// Address".
//
// Input: UTF-8 text (invalid sequences become replacement characters, as
// they would on the way into the edit).
#include "FuzzCheck.h"
#include "link/IpAddress.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

using namespace qvc;

bool InRange(const IpAddressParts& parts) {
    for (const int v : parts.values) {
        if (v < 0 || v > 255) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IpAddressParts parts = ReadIpAddressParts(text);
    QVC_FUZZ_CHECK(parts.count >= 0 && parts.count <= 4);
    QVC_FUZZ_CHECK(!parts.exact || parts.count == 4);

    // The dotted form holds exactly the four numbers read and reads back as
    // itself.
    const QString normal = NormaliseIpAddress(text);
    const IpAddressParts again = ReadIpAddressParts(normal);
    QVC_FUZZ_CHECK(again.exact && again.values == parts.values);
    QVC_FUZZ_CHECK(NormaliseIpAddress(normal) == normal);

    // A text is connected to only when it is exactly four numbers of 0..255,
    // and then its dotted form is too; the address change sends only such a
    // text as well.
    const QString connect = CheckConnectAddress(text);
    const QString update = CheckIpConfigAddress(text);
    QVC_FUZZ_CHECK(connect.isEmpty() == (parts.exact && InRange(parts)));
    QVC_FUZZ_CHECK(update.isEmpty() == connect.isEmpty());
    if (connect.isEmpty()) {
        QVC_FUZZ_CHECK(CheckConnectAddress(normal).isEmpty());
        QVC_FUZZ_CHECK(normal.size() <= 15);
    }
    return 0;
}
