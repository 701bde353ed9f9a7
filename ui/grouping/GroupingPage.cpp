#include "GroupingPage.h"

namespace qvc {

GroupingPage::GroupingPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("GroupingTabSheet"), QStringLiteral("Grouping"),
           parent) {}

} // namespace qvc
