#include "SequencingPage.h"

namespace qvc {

SequencingPage::SequencingPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("SequencingTabSheet"), QStringLiteral("Sequencing"),
           parent) {}

} // namespace qvc
