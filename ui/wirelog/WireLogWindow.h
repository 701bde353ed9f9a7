// WireLogWindow: the non-modal window that lists every exchange on either
// link (View > "Wire Log"). The link records exchanges only while this window
// is shown and not paused; closed, it costs the link nothing.
#pragma once

#include "WireLogModel.h"

#include <QTimer>
#include <QWidget>
#include <vector>

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
    // Shows the exchanges that came since the last time the table was
    // brought up to date (it is, at most kFlushMs after each).
    void Flush();
    static constexpr int kFlushMs = 500;

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
    // Exchanges not yet in the table: a read-back's 22 go in a few batches,
    // so that the table is not laid out and repainted for each one.
    std::vector<WireExchange> pending_;
    QTimer flushTimer_;
};

} // namespace qvc
