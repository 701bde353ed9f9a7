// A link host that shows nothing, for programs without a window (the
// command-line client, the benchmark): it only remembers the busy pointer.
#pragma once

#include "LinkHost.h"

namespace qvc {

class NullLinkHost : public LinkHost {
  public:
    void SetStatusText(const QString&) override {}
    void SetPageControlEnabled(bool) override {}
    void SetHourglass(bool on) override { hourglass_ = on; }
    bool HourglassShown() const override { return hourglass_; }
    void SetComNumberText(const QString&) override {}
    void SetLineLamps(const LineLamps&) override {}
    void TerminalReceived(const QByteArray&) override {}
    void ShowInfo(const QString&) override {}
    void SetInfoProgress(const QString&) override {}
    void HideInfo() override {}

  private:
    bool hourglass_ = false;
};

} // namespace qvc
