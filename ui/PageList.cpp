#include "PageList.h"

#include "presets/PresetPanel.h"
#include "ui/common/ControlNames.h"

#include <QTabWidget>

namespace qvc {

PageList::PageList(QTabWidget& tabs, LinkState& link, QObject* parent)
    : QObject(parent), tabs_(tabs), link_(link) {
    // Only the user's later changes of the active page run the rule.
    connect(&tabs_, &QTabWidget::currentChanged, this, &PageList::CurrentChanged);
}

void PageList::AddPage(Page* page) {
    if (page->ShowsPresetPanel()) {
        // The panel lies over the right-hand strip of this page.
        page->setContentsMargins(
            0, 0, ScaledPixels(page, PresetPanel::kWidth + 2 * PresetPanel::kMargin), 0);
    }
    const QSignalBlocker quiet(tabs_); // adding the first tab is no page change
    tabs_.addTab(page, page->Caption());
    pages_.push_back(page);
    connect(page, &Page::stateChanged, this, &PageList::RefreshFromState);
    connect(page, &Page::routesCommitted, this, &PageList::ShowCommittedRoutes);
    connect(page, &Page::labelsChanged, this, &PageList::ApplyLabels);
    connect(page, &Page::windowTitleRequested, this, &PageList::windowTitleRequested);
    connect(page, &Page::readRequested, this, &PageList::readRequested);
    connect(page, &Page::linkHeld, this, &PageList::linkHeld);
}

void PageList::SetPresetPanel(PresetPanel* panel) {
    presetPanel_ = panel;
    connect(panel, &PresetPanel::stateChanged, this, &PageList::RefreshFromState);
    connect(panel, &PresetPanel::routesCommitted, this, &PageList::ShowCommittedRoutes);
}

void PageList::ShowCommittedRoutes() {
    RefreshScope refreshing(link_);
    for (Page* page : pages_) {
        page->ShowCommittedRoutes();
    }
    if (presetPanel_ != nullptr) {
        presetPanel_->RefreshFromState();
    }
}

void PageList::RefreshFromState() {
    RefreshScope refreshing(link_);
    for (Page* page : pages_) {
        page->AdaptToModel();
        page->RefreshFromState();
    }
    if (presetPanel_ != nullptr) {
        presetPanel_->RefreshFromState();
    }
}

void PageList::AdaptToModel() {
    RefreshScope refreshing(link_);
    for (Page* page : pages_) {
        page->AdaptToModel();
    }
}

void PageList::ApplyLabels() {
    RefreshScope refreshing(link_);
    for (Page* page : pages_) {
        page->ApplyLabels();
    }
    if (presetPanel_ != nullptr) {
        presetPanel_->ApplyLabels();
    }
    emit labelsApplied();
}

void PageList::ShowLoadedConfiguration() {
    RefreshScope refreshing(link_);
    for (Page* page : pages_) {
        page->ShowLoadedConfiguration();
    }
    if (presetPanel_ != nullptr) {
        presetPanel_->ShowLivePreset(); // the loaded routes may be a preset's
    }
}

void PageList::CancelPending() {
    for (Page* page : pages_) {
        page->CancelPending();
    }
}

void PageList::CurrentChanged(int index) {
    auto* page = qobject_cast<Page*>(tabs_.widget(index));
    if (page == nullptr) {
        return;
    }
    if (presetPanel_ != nullptr) {
        presetPanel_->setVisible(page->ShowsPresetPanel());
    }
    page->Entered();
}

} // namespace qvc
