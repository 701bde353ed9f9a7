// The "A / V Switching" page: 16 input and 16 output buttons, the caption
// labels and mute boxes of each output, the Audio/Video selector with its
// colour legend, Take with its lamp, Cancel, Clear All Routing and
// "Read from Quorvel".
//
// (Interface agreed with the main window; the page's internals are its own.)
#pragma once

#include "link/LinkState.h"
#include "model/DeviceState.h"
#include "model/Switching.h"

#include <QWidget>
#include <functional>

namespace qvc {

class SwitchingPage : public QWidget {
    Q_OBJECT
  public:
    // `send` hands command lines to the device link, in order.
    using CommandSink = std::function<void(const Commands&)>;

    SwitchingPage(DeviceState& state, LinkState& link, Switching& switching, CommandSink send,
                  QWidget* parent = nullptr);

    // Captions and caption colours of output o (also as two halves).
    void RefreshOutputRow(int o);
    void RefreshOutputCaptions(int o);
    void RefreshOutputColours(int o);
    // Window title (through windowTitleRequested), every shown row, mute
    // boxes, enabling of output and input controls.
    void RefreshRouting();
    // Colours every shown output button for input k (nothing for NoInput).
    void ColourOutputsForInput(int k);
    // Withdraws temporary routes and the selection; sends "TAKE 0" if needed.
    void CancelPending();

  signals:
    void windowTitleRequested(const QString& title);
    void readRequested();  // the "Read from Quorvel" button
};

} // namespace qvc
