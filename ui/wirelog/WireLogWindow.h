// WireLogWindow: the non-modal window that lists every exchange on either
// link (View > "Wire Log"). The link records exchanges only while this window
// is shown and not paused; closed, it costs the link nothing.
#pragma once

#include "WireLogModel.h"

#include <QWidget>

class QPushButton;
class QTableView;

namespace qvc {

class DeviceLink;
class LinkEvents;
class Prompts;

class WireLogWindow : public QWidget {
    Q_OBJECT
  public:
    WireLogWindow(LinkEvents& events, DeviceLink& link, Prompts& prompts,
                  QWidget* parent = nullptr);
    ~WireLogWindow() override;

    WireLogModel& Model() { return model_; }
    bool Paused() const;

    // The buttons' actions.
    void TogglePause();
    void ClearClick();
    void CopyClick();
    void SaveClick();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Logged(const WireExchange& exchange);
    void UpdateLogging();

    DeviceLink& link_;
    Prompts& prompts_;
    WireLogModel model_;
    QTableView* table_ = nullptr;
    QPushButton* pause_ = nullptr;
};

} // namespace qvc
