// The "Sequencing" page.
#pragma once

#include "ui/common/Page.h"

namespace qvc {

class SequencingPage : public Page {
    Q_OBJECT
  public:
    explicit SequencingPage(PageContext context, QWidget* parent = nullptr);

    bool ShowsPresetPanel() const override { return true; }
};

} // namespace qvc
