// The "Grouping" page.
#pragma once

#include "ui/common/Page.h"

namespace qvc {

class GroupingPage : public Page {
    Q_OBJECT
  public:
    explicit GroupingPage(PageContext context, QWidget* parent = nullptr);
};

} // namespace qvc
