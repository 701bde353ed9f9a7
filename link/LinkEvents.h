// The link's reports as Qt signals. The composition root connects them once
// to whatever shows them (status bar, page control, busy pointer, the About
// page, the pop-up); the link itself never touches a widget.
#pragma once

#include "LinkHost.h"

#include <QObject>

namespace qvc {

class LinkEvents : public QObject, public LinkHost {
    Q_OBJECT
  public:
    using QObject::QObject;

    void SetStatusText(const QString& text) override { emit statusText(text); }
    void SetPageControlEnabled(bool enabled) override { emit pageControlEnabled(enabled); }
    void SetHourglass(bool on) override {
        if (on != hourglass_) {
            hourglass_ = on;
            emit hourglassChanged(on);
        }
    }
    bool HourglassShown() const override { return hourglass_; }
    void SetComNumberText(const QString& text) override { emit comNumberText(text); }
    void SetLineLamps(const LineLamps& lamps) override { emit lineLamps(lamps); }
    void TerminalReceived(const QByteArray& bytes) override { emit terminalReceived(bytes); }
    void ShowInfo(const QString& text) override { emit infoShown(text); }
    void SetInfoProgress(const QString& text) override { emit infoProgress(text); }
    void HideInfo() override { emit infoHidden(); }
    void SetLinkText(const QString& text, bool lost) override { emit linkText(text, lost); }
    void ExchangeLogged(const WireExchange& exchange) override { emit exchangeLogged(exchange); }

  signals:
    void statusText(const QString& text);
    void pageControlEnabled(bool enabled);
    void hourglassChanged(bool on);
    void comNumberText(const QString& text);
    void lineLamps(const qvc::LineLamps& lamps);
    void terminalReceived(const QByteArray& bytes);
    void infoShown(const QString& text);
    void infoProgress(const QString& text);
    void infoHidden();
    void linkText(const QString& text, bool lost);
    void exchangeLogged(const qvc::WireExchange& exchange);

  private:
    bool hourglass_ = false;
};

} // namespace qvc
