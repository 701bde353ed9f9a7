#include "Page.h"

#include "ControlNames.h"

namespace qvc {

Page::Page(PageContext context, const QString& objectName, const QString& caption, QWidget* parent)
    : QWidget(parent), ctx_(std::move(context)), caption_(caption) {
    NameControl(this, objectName, caption);
}

void Page::Send(const Commands& commands) const {
    if (!commands.empty() && ctx_.send) {
        ctx_.send(commands);
    }
}

} // namespace qvc
