// The line-lamp monitor: the five serial line lamps of the About page (TXD
// and RXD lit for a while after traffic, DCD, DSR and CTS as the port reports
// them) and the terminal copy of received bytes.
#pragma once

#include "LinkContext.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

namespace qvc {

class LineMonitor {
  public:
    // The port outlives the monitor.
    LineMonitor(const LinkContext& context, QSerialPort& port);
    ~LineMonitor();
    LineMonitor(const LineMonitor&) = delete;
    LineMonitor& operator=(const LineMonitor&) = delete;

    // Polls the lines while on; off, every lamp goes out.
    void SetMonitoring(bool on);
    bool Monitoring() const { return lampTimer_.isActive(); }
    // Reads the lines and shows them with the traffic lamps.
    void PollLamps();

    // A line was written to the port.
    void Sent();
    // Bytes were read from the port: the terminal shows them.
    void Received(const QByteArray& bytes);
    // A newly opened port may report its lines again.
    void PortOpened() { linesUnsupported_ = false; }
    // The lines are being read: an error the port raises meanwhile is the
    // monitor's own finding, not a fault of the exchange.
    bool ReadingLines() const { return readingLines_; }

  private:
    void Flash(QElapsedTimer& since, bool LineLamps::*lamp);
    void PushLamps(const LineLamps& now);

    LinkContext ctx_;
    QSerialPort& port_;
    QTimer lampTimer_;
    LineLamps lamps_;
    bool lampsShown_ = false;
    bool linesUnsupported_ = false;
    bool readingLines_ = false;
    QElapsedTimer txdSince_;
    QElapsedTimer rxdSince_;
};

} // namespace qvc
