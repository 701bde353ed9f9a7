// The "Preset Save/Recall" panel. It lies over the right-hand edge of the
// pages that show it (ShowsPresetPanel) and works on the model's Presets,
// which the switching page and the read action share with it.
#pragma once

#include "ui/common/Page.h"

#include <QGroupBox>

namespace qvc {

class PresetPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit PresetPanel(PageContext context, QWidget* parent = nullptr);

    // Width of the strip the panel covers, in pixels at 120 dpi, and its
    // margin to the edges of the page area.
    static constexpr int kWidth = 176;
    static constexpr int kMargin = 6;

    // Places the panel over the right-hand strip of `pages` (the page
    // control's geometry in the parent's coordinates), below its tabs.
    void PlaceOver(const QRect& pages, int tabBarHeight);

  private:
    PageContext ctx_;
};

} // namespace qvc
