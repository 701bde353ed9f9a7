// The File menu's two configuration items: "Open Configuration File" loads
// an 832-byte image into the labels, the routing, the levels and the
// grouping and shows it, sending nothing to the switcher; "Save
// Configuration to File" writes the labels and those tables to a file.
// Group labels go into the image each time the labels are applied.
#pragma once

#include "config/ConfigImage.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/Prompts.h"
#include "model/DeviceState.h"
#include "model/Labels.h"

#include <QObject>
#include <functional>

namespace qvc {

class PageList;

class ConfigFileController : public QObject {
    Q_OBJECT
  public:
    struct Parts {
        Prompts& prompts;
        ConfigImage& image;
        DeviceState& state;
        LabelTables& labels;
        LinkState& linkState;
        LinkEvents& events; // the busy pointer
        PageList& pages;
        // Ends the start-up hold on commands, as a read-back does.
        std::function<void()> loaded;
    };
    explicit ConfigFileController(Parts parts, QObject* parent = nullptr);

    void OpenConfigurationFile1Click();
    void SaveConfigurationtoFile1Click();

  private:
    // Puts a just-read image into the labels, the state and every page,
    // with RefreshingFlag held so that nothing is sent.
    void ApplyConfigImage();
    void WriteGroupLabels();

    Parts p_;
};

} // namespace qvc
