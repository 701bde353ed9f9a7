#include "Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace qvsim {

namespace {

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
}

} // namespace

bool Pty::Open(const std::string& linkPath, std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error != nullptr) {
            *error = message;
        }
        Close();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        return fail(Errno("posix_openpt"));
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        return fail(Errno("grantpt/unlockpt"));
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        return fail(Errno("ptsname_r"));
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave_ < 0) {
        return fail(Errno("open pty slave"));
    }
    MakeRaw(slave_);
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        return fail(Errno("fcntl"));
    }

    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            return fail(linkPath + " exists and is not a symlink");
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(name, linkPath.c_str()) != 0) {
        return fail(Errno(("symlink " + linkPath).c_str()));
    }
    linkPath_ = linkPath;
    return true;
}

void Pty::KeepRaw() {
    if (slave_ < 0) {
        return;
    }
    termios t{};
    if (tcgetattr(slave_, &t) != 0) {
        return;
    }
    const bool cooked = (t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) != 0 ||
                        (t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP)) != 0 ||
                        (t.c_oflag & OPOST) != 0;
    if (cooked) {
        MakeRaw(slave_);
    }
}

void Pty::DiscardInFlight() {
    if (slave_ >= 0) {
        tcflush(slave_, TCIOFLUSH);
    }
}

void Pty::Close() {
    if (!linkPath_.empty()) {
        // Remove the link only if it still points at our device.
        char target[256] = {};
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n > 0 && slavePath_ == std::string(target, static_cast<std::size_t>(n))) {
            ::unlink(linkPath_.c_str());
        }
        linkPath_.clear();
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

} // namespace qvsim
