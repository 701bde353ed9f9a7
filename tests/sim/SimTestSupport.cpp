#include "SimTestSupport.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qvsimtest {

namespace {

// Qt delivers events to the simulator's thread only while an application
// object exists; the test thread itself never runs an event loop.
class AppEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "sim_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

} // namespace

std::unique_ptr<WireClient> WireClient::Tcp(quint16 port, int bufferBytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd >= 0 && bufferBytes > 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferBytes, sizeof bufferBytes);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ADD_FAILURE() << "cannot connect to port " << port << ": " << std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    return std::make_unique<WireClient>(fd);
}

std::unique_ptr<WireClient> WireClient::Pty(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
        return nullptr;
    }
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    return std::make_unique<WireClient>(fd);
}

WireClient::~WireClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void WireClient::SendRaw(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ASSERT_GT(n, 0) << "write failed: " << std::strerror(errno);
        done += static_cast<std::size_t>(n);
    }
}

void WireClient::ShutdownWrite() {
    ASSERT_EQ(::shutdown(fd_, SHUT_WR), 0) << std::strerror(errno);
}

std::size_t WireClient::SendWhileTaken(const std::string& bytes, int idleMs) {
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) {
            n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        pollfd p{fd_, POLLOUT, 0};
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || ::poll(&p, 1, idleMs) <= 0 ||
            (p.revents & POLLOUT) == 0) {
            break;
        }
    }
    ::fcntl(fd_, F_SETFL, flags);
    return done;
}

bool WireClient::WaitForHangUp(int timeoutMs) {
    pollfd p{fd_, POLLRDHUP, 0}; // POLLHUP and POLLERR come unasked
    int r = 0;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0;
}

bool WireClient::WaitForData(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0;
}

std::size_t WireClient::Unread() const {
    int n = 0;
    return ::ioctl(fd_, FIONREAD, &n) == 0 ? static_cast<std::size_t>(n) : 0;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (ElapsedMs(start) > timeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

Bytes WireClient::Read(std::size_t n, int timeoutMs) {
    Bytes data;
    readSizes_.clear();
    const auto start = std::chrono::steady_clock::now();
    while (data.size() < n) {
        const long left = timeoutMs - ElapsedMs(start);
        if (left <= 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        std::uint8_t buf[8192];
        const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - data.size()));
        if (got <= 0) {
            break; // closed
        }
        readSizes_.push_back(static_cast<std::size_t>(got));
        data.insert(data.end(), buf, buf + got);
    }
    return data;
}

bool WireClient::WaitForEof(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
        return false;
    }
    std::uint8_t byte = 0;
    return ::read(fd_, &byte, 1) == 0;
}

void WireClient::Command(const std::string& line) {
    Send(line);
    EXPECT_EQ(Read(1), Bytes{'#'}) << "no prompt for " << line;
}

Bytes WireClient::Query(const std::string& line, std::size_t payloadLength) {
    Send(line);
    const Bytes reply = Read(payloadLength + 5);
    if (reply.size() != payloadLength + 5) {
        ADD_FAILURE() << line << ": got " << reply.size() << " bytes, expected "
                      << payloadLength + 5;
        return {};
    }
    EXPECT_EQ(reply[0], 0x01) << line << ": no SOH";
    EXPECT_TRUE(reply[1] >= '0' && reply[1] <= '6') << line << ": tag " << int(reply[1]);
    const Bytes tail(reply.end() - 3, reply.end());
    EXPECT_EQ(tail, (Bytes{0x0D, 0x0A, '#'})) << line << ": bad end marker";
    return {reply.begin() + 2, reply.end() - 3};
}

TcpPeer::TcpPeer(qvsim::SimOptions options)
    : sim(std::make_unique<qvsim::SimThread>(std::move(options))) {
    std::string error;
    if (!sim->Start(&error)) {
        ADD_FAILURE() << "simulator did not start: " << error;
        return;
    }
    client = WireClient::Tcp(sim->TcpPort());
}

qvsim::SimOptions TcpOptions(int model) {
    qvsim::SimOptions o;
    o.model = model;
    o.tcp = true;
    o.tcpPort = 0;
    return o;
}

Bytes Repeat(const Bytes& unit, std::size_t times) {
    Bytes out;
    for (std::size_t i = 0; i < times; ++i) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes EmptyGroupsLarge() {
    // 48 counts of 0, 16x16 inputMember, 16 outputGroup, 2 trailer bytes.
    return Cat({Bytes(48, 0), Bytes(256, 252), Bytes(16, 252), Bytes{0, 0}});
}

Bytes EmptyGroupsSmall() {
    // 24 counts of 0, 8x12 inputMember, 8 outputGroup, 2 trailer bytes.
    return Cat({Bytes(24, 0), Bytes(96, 252), Bytes(8, 252), Bytes{0, 0}});
}

std::string GroupInvariantError(const Bytes& t) {
    if (t.size() != 322) {
        return "size " + std::to_string(t.size());
    }
    for (int g = 0; g < 16; ++g) {
        const int members = static_cast<std::int8_t>(t[g]);
        const int outputs = static_cast<std::int8_t>(t[16 + g]);
        const int inputs = static_cast<std::int8_t>(t[32 + g]);
        int outputsSeen = 0;
        int inputsSeen = 0;
        for (int o = 0; o < 16; ++o) {
            outputsSeen += t[304 + o] == g ? 1 : 0;
        }
        for (int k = 0; k < 16; ++k) {
            const std::uint8_t v = t[48 + 16 * g + k];
            inputsSeen += v == g ? 1 : 0;
            if (v != g && v != 252) {
                return "group " + std::to_string(g + 1) + ": bad inputMember value";
            }
        }
        const std::string name = "group " + std::to_string(g + 1) + ": ";
        if (members != outputs + inputs) {
            return name + "memberCount != outputCount + inputCount";
        }
        if (outputs != outputsSeen) {
            return name + "outputCount does not match outputGroup";
        }
        if (inputs != inputsSeen) {
            return name + "inputCount does not match inputMember";
        }
        if (inputs > 0 && outputs == 0) {
            return name + "inputs without an output";
        }
    }
    return {};
}

} // namespace qvsimtest
