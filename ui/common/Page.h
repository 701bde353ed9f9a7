// The contract every page of the main window keeps. The window knows its
// pages only as a list of these and loops over them: after a read-back or a
// configuration load (AdaptToModel, then RefreshFromState, in page order),
// when labels change (ApplyLabels), before a read-back (CancelPending) and
// when the active page changes (Entered, ShowsPresetPanel).
//
// Every page is built from one PageContext: the state it shows, the link
// flags that guard its handlers, the sink its commands go to, the prompts for
// its messages and what pages share (labels, routing, presets), which lives
// in the model. No page reaches into the window or into another page.
#pragma once

#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/Prompts.h"
#include "model/DeviceState.h"
#include "model/Labels.h"
#include "model/Presets.h"
#include "model/Switching.h"

#include <QWidget>
#include <functional>

namespace qvc {

// Hands commands to the device link, in order.
using CommandSink = std::function<void(const Commands&)>;

struct PageContext {
    DeviceState& state;
    LinkState& link;
    CommandSink send;
    Prompts& prompts;
    LabelTables& labels;
    Switching& switching;
    Presets& presets;
    // What the link reports (the About page shows the port number, the
    // lamps and the received bytes); null where no link reports.
    LinkEvents* linkEvents = nullptr;
    // True while an exchange with the switcher or a guarded handler is at
    // work; a timer-driven page (the sequencer) waits for it to end before it
    // sends. Unset: never busy.
    std::function<bool()> exchangeInProgress = nullptr;
};

class Page : public QWidget {
    Q_OBJECT
  public:
    // `objectName` is the page's name in the window layout (ControlTabSheet,
    // SetupTabSheet, ...), `caption` its tab's text.
    Page(PageContext context, const QString& objectName, const QString& caption,
         QWidget* parent = nullptr);

    QString Caption() const { return caption_; }

    // Shows the model's sizes: controls of inputs and outputs the switcher
    // lacks are disabled.
    virtual void AdaptToModel() {}
    // Shows what the state holds. Runs with RefreshingFlag set, so change
    // handlers that fire send nothing.
    virtual void RefreshFromState() {}
    // Shows the labels of the label table.
    virtual void ApplyLabels() {}
    // Shows what a configuration load put into the state (routing, levels,
    // grouping). Runs with RefreshingFlag set; by default a full refresh.
    virtual void ShowLoadedConfiguration() { RefreshFromState(); }
    // Shows that the temporary routes of the shown outputs were committed (a
    // preset store's take, a confirmed recall); nothing else changed.
    virtual void ShowCommittedRoutes() {}
    // Withdraws what the page holds pending (temporary routes, a selection).
    virtual void CancelPending() {}
    // The user made this the active page.
    virtual void Entered() {}
    // The preset panel lies over this page while it is active.
    virtual bool ShowsPresetPanel() const { return false; }

  signals:
    // The page changed state that other pages show (routing, grouping,
    // labels): every page is refreshed from the state.
    void stateChanged();
    // The page committed the temporary routes and confirmed a preset preview:
    // the preset panel and the committed routes are shown again, nothing else.
    void routesCommitted();
    // The page changed the labels: every page applies them.
    void labelsChanged();
    void windowTitleRequested(const QString& title);
    // The user asked for a read-back ("Read from Quorvel").
    void readRequested();
    // A long exchange (a reset) holds the link: the File and Serial Port
    // menus are closed until it ends.
    void linkHeld(bool held);

  protected:
    // Hands commands to the link; an empty list is not passed on.
    void Send(const Commands& commands) const;

    PageContext ctx_;

  private:
    QString caption_;
};

} // namespace qvc
