// Where a program without a window finds its switcher: a serial device, a COM
// number as the window maps it, a TCP address, or a search of COM1 to COM4.
#pragma once

#include <QString>

namespace qvc::session {

struct LinkTarget {
    enum class Kind { Search, Serial, Com, Tcp };
    Kind kind = Kind::Search;
    QString serialDevice;
    int com = 0;
    QString tcpAddress;
    quint16 tcpPort = 23;

    // "tcp", "serial" or "search", as the state document names the link.
    QString KindName() const;
    // The device, COM number or address:port the link goes to.
    QString Description() const;
};

} // namespace qvc::session
