// The "Audio Controls" page.
#pragma once

#include "ui/common/Page.h"

namespace qvc {

class AudioPage : public Page {
    Q_OBJECT
  public:
    explicit AudioPage(PageContext context, QWidget* parent = nullptr);
};

} // namespace qvc
