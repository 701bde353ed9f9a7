// A pseudo-terminal in raw mode whose slave device is reached through a symlink.
#pragma once

#include <string>

namespace qvsim {

class Pty {
  public:
    Pty() = default;
    ~Pty() { Close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pty (master non-blocking), puts the slave in raw mode, keeps
    // a slave descriptor open (so the master never sees a hang-up when a client
    // closes the port) and creates the symlink `linkPath` to the slave device.
    // A stale symlink at `linkPath` is replaced; any other file is an error.
    bool Open(const std::string& linkPath, std::string* error);
    void Close(); // closes both ends and removes the symlink

    bool IsOpen() const { return master_ >= 0; }
    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    const std::string& LinkPath() const { return linkPath_; }

    // Puts the line back into raw mode if a client changed it (CR must reach
    // us untranslated and nothing may be echoed).
    void KeepRaw();

    // Throws away what is in flight both ways: what we wrote that the client
    // has not read, and what the client wrote that we have not read.
    void DiscardInFlight();

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace qvsim
