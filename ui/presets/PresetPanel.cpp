#include "PresetPanel.h"

#include "ui/common/ControlNames.h"

namespace qvc {

namespace {
const QString kCaption = QStringLiteral("Preset Save/Recall");
}

PresetPanel::PresetPanel(PageContext context, QWidget* parent)
    : QGroupBox(kCaption, parent), ctx_(std::move(context)) {
    NameControl(this, QStringLiteral("PresetsGroupBox"), kCaption);
}

void PresetPanel::PlaceOver(const QRect& pages, int tabBarHeight) {
    const int margin = ScaledPixels(this, kMargin);
    const int width = ScaledPixels(this, kWidth);
    const int top = pages.top() + tabBarHeight + 2 * margin;
    setGeometry(pages.right() - width - 2 * margin, top, width, pages.bottom() - top - 2 * margin);
    raise();
}

} // namespace qvc
