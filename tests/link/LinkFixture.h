// What the link tests share: a DeviceLink to a simulator peer with a
// recording host and strict prompts, the texts the link shows, and bytes.
#pragma once

#include "link/DeviceLink.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScriptedPrompts.h"
#include "tests/support/SimPeer.h"
#include "tests/support/WaitFor.h"

#include <QString>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <vector>

namespace qvc::test {

using Bytes = std::vector<std::uint8_t>;

// Builds bytes from a string literal that may contain NULs and control bytes.
template <std::size_t N> Bytes B(const char (&s)[N]) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(s),
                 reinterpret_cast<const std::uint8_t*>(s) + N - 1);
}

// `parts` one after the other.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

// A status reply as the switcher frames it: SOH, '0', the payload, CR LF '#'.
inline Bytes Framed(const Bytes& payload) {
    return Cat({B("\x01"
                  "0"),
                payload, B("\r\n#")});
}

// The demo status block of a 16 x 16 switcher, byte by byte: lock 0, bytes
// 1..3 unused, video switch source 2, VI delay 0, RGB delay 1500 (0x05DC, LE),
// firmware "2.17D", model 3, IP 192.168.1.50, audio present.
inline const Bytes kDemoStatusBlock = {0,   0,   0,   0, 2, 0,   0xDC, 0x05, '2', '.',
                                       '1', '7', 'D', 0, 3, 192, 168,  1,    50,  1};

// The usual texts, written out as the user sees them.
inline const QString kSerialTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Serial Port "
    "is connected to Quorvel.";
inline const QString kEthernetTimeoutText =
    "Error! Timeout occured. Unable to communicate with Quorvel. Please verify that Ethernet is "
    "connected to Quorvel.";
inline const QString kRecoverTitle = "COM Port error";
inline const QString kRecoverText =
    "Error! COM Port communication with Quorvel has failed. Please check the RS-232 cable. Click "
    "OK to retry. Click Cancel to FAIL communications.";

// A link to one simulator peer: COM3 names the peer's pty, the TCP port is
// the peer's when it listens (else the usual 23). Every prompt must be
// expected.
class LinkFixture : public ::testing::Test {
  protected:
    explicit LinkFixture(const SimSpec& spec)
        : peer(spec), tcpPort(spec.tcp ? peer->TcpPort() : quint16{23}) {
        host.linkState = &state;
        UsePorts(SerialPortMap({QString(), QString(), peer.PtyPath(), QString()}));
    }

    // A new link that finds its serial ports through `ports`.
    void UsePorts(SerialPortMap ports) {
        link.reset();
        link = std::make_unique<DeviceLink>(state, host, prompts, std::move(ports), ShortTimings(),
                                            tcpPort);
    }

    // Finds the switcher on COM3, as the connect action does.
    void ConnectSerial() {
        ASSERT_EQ(link->SearchPorts(3), 1);
        link->SetSerialConnected(true);
        Forget();
    }
    void ConnectTcp() {
        ASSERT_EQ(link->TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);
        Forget();
    }
    // Forgets what the connection's probe left behind.
    void Forget() {
        peer->WaitForLines(1, 5000);
        peer->ClearReceivedLines();
        host.Clear();
    }

    Bytes Received(std::size_t n) const { return Payload(0, n); }
    Bytes Payload(std::size_t start, std::size_t n) const {
        const auto bytes = link->ReceiveBuffer().subspan(start, n);
        return Bytes(bytes.begin(), bytes.end());
    }

    SimPeer peer;
    quint16 tcpPort;
    LinkState state;
    RecordingHost host;
    ScriptedPrompts prompts;
    std::unique_ptr<DeviceLink> link;
};

} // namespace qvc::test
