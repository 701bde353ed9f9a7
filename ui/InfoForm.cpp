#include "InfoForm.h"

#include "ui/common/ControlNames.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

namespace qvc {

namespace {
const QString kCaption = QStringLiteral(" Norvak Dellby - Quorvel Info");
constexpr int kClientWidth = 512;
constexpr int kClientHeight = 41;
constexpr int kInfoWidth = 437;
constexpr int kProgressWidth = 51;
constexpr int kLabelHeight = 24;
constexpr int kFontPixels = 18;
} // namespace

TInfoForm::TInfoForm(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    NameControl(this, QStringLiteral("InfoForm"), QStringLiteral("Please wait"));
    setWindowTitle(kCaption);
    setFixedSize(ScaledPixels(this, kClientWidth), ScaledPixels(this, kClientHeight));

    QFont big = font();
    big.setPixelSize(ScaledPixels(this, kFontPixels));

    infoLabel_ = new QLabel(this);
    NameControl(infoLabel_, QStringLiteral("InfoLabel"), QStringLiteral("Message"));
    infoLabel_->setFont(big);
    infoLabel_->setAlignment(Qt::AlignCenter);
    infoLabel_->setFixedSize(ScaledPixels(this, kInfoWidth), ScaledPixels(this, kLabelHeight));
    infoLabel_->setStyleSheet(QStringLiteral("color: #000000;"));

    progressLabel_ = new QLabel(this);
    NameControl(progressLabel_, QStringLiteral("InfoProgressLabel"), QStringLiteral("Progress"));
    progressLabel_->setFont(big);
    progressLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    progressLabel_->setFixedSize(ScaledPixels(this, kProgressWidth),
                                 ScaledPixels(this, kLabelHeight));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(ScaledPixels(this, 8), 0, ScaledPixels(this, 8), 0);
    row->setSpacing(ScaledPixels(this, 4));
    row->addWidget(infoLabel_);
    row->addWidget(progressLabel_);
    row->addStretch(1);
}

void TInfoForm::SetInfoText(const QString& text) {
    infoLabel_->setText(text);
}
void TInfoForm::SetProgressText(const QString& text) {
    progressLabel_->setText(text);
}
QString TInfoForm::InfoText() const {
    return infoLabel_->text();
}
QString TInfoForm::ProgressText() const {
    return progressLabel_->text();
}

void TInfoForm::Popup() {
    if (const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    QCoreApplication::processEvents();
}

void TInfoForm::RepaintNow() {
    repaint();
}

} // namespace qvc
