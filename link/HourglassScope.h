// RAII for the busy pointer: shows it unless it is already shown and puts
// the arrow back at the end only if it was changed here.
#pragma once

#include "LinkHost.h"

namespace qvc {

class HourglassScope {
  public:
    explicit HourglassScope(LinkHost& host) : host_(host), changed_(!host.HourglassShown()) {
        if (changed_) {
            host_.SetHourglass(true);
        }
    }
    ~HourglassScope() {
        if (changed_) {
            host_.SetHourglass(false);
        }
    }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;

  private:
    LinkHost& host_;
    bool changed_;
};

} // namespace qvc
