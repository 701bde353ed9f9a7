// The pages of the main window, in tab order, and the loops over them: the
// refresh after a read-back or a load, the labels, the withdrawal of pending
// work before a read-back, and the page-change rule with the preset panel.
#pragma once

#include "link/LinkState.h"
#include "ui/common/Page.h"

#include <QObject>
#include <vector>

class QTabWidget;

namespace qvc {

class PresetPanel;

class PageList : public QObject {
    Q_OBJECT
  public:
    PageList(QTabWidget& tabs, LinkState& link, QObject* parent = nullptr);

    // Adds a page as the next tab and wires its requests. Returns the page.
    template <typename P> P* Add(P* page) {
        AddPage(page);
        return page;
    }
    // The preset panel takes part in the refresh and the labels after the
    // pages, and its changes refresh every page.
    void SetPresetPanel(PresetPanel* panel);

    const std::vector<Page*>& Pages() const { return pages_; }

    // In page order, with RefreshingFlag held: each page adapts to the model
    // and then shows the state.
    void RefreshFromState();
    // The preset panel, and the committed routes on every page.
    void ShowCommittedRoutes();
    void AdaptToModel();
    void ApplyLabels();
    void CancelPending();
    void ShowLoadedConfiguration();

  signals:
    void windowTitleRequested(const QString& title);
    void readRequested();
    void linkHeld(bool held);
    // Every page has applied the labels of the label table.
    void labelsApplied();

  private:
    void AddPage(Page* page);
    void CurrentChanged(int index);

    QTabWidget& tabs_;
    LinkState& link_;
    std::vector<Page*> pages_;
    PresetPanel* presetPanel_ = nullptr;
};

} // namespace qvc
