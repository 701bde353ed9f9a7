#include "AboutDialog.h"

#include "ui/common/ControlNames.h"
#include "ui/common/LogoWidget.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace qvc {

namespace {
const QString kDialogTitle = QStringLiteral("About Quorvel Control GUI");
const QString kProductName = QStringLiteral("Norvak Dellby, LLC  Quorvel Control");
const QString kDescription = QStringLiteral("Minimum resolution required is 1152x864.");
const QString kCopyright =
    QStringLiteral("Copyright \u00A9 Norvak Dellby, LLC. All rights reserved.");
const QString kSupport =
    QStringLiteral("Support: support@norvakdellby.example  \u2022  +1 555 0142 700");
const QString kWebLink = QStringLiteral(
    "<a href=\"https://www.norvakdellby.example/quorvel\">www.norvakdellby.example/quorvel</a>");
constexpr int kLogoPixels = 64;

// The logo as a fixed picture beside the texts.
class SmallLogo : public QWidget {
  public:
    explicit SmallLogo(QWidget* parent) : QWidget(parent) {
        const int side = ScaledPixels(this, kLogoPixels);
        setFixedSize(side, side);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        LogoWidget::PaintLogo(painter, QRectF(rect()));
    }
};
} // namespace

LMDAboutDlg::LMDAboutDlg(QWidget* parent) : QDialog(parent) {
    NameControl(this, QStringLiteral("LMDAboutDlg1"));
    setWindowTitle(kDialogTitle);
    setModal(true);

    auto* logo = new SmallLogo(this);
    NameControl(logo, QStringLiteral("AboutLogo"), QStringLiteral("Quorvel logo"));

    auto* product = new QLabel(kProductName, this);
    NameControl(product, QStringLiteral("AboutProductLabel"));
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    product->setFont(bold);
    version_ = new QLabel(this);
    NameControl(version_, QStringLiteral("AboutVersionLabel"));
    auto* description = new QLabel(kDescription, this);
    NameControl(description, QStringLiteral("AboutDescriptionLabel"));
    auto* copyright = new QLabel(kCopyright, this);
    NameControl(copyright, QStringLiteral("AboutCopyrightLabel"));
    auto* support = new QLabel(kSupport, this);
    NameControl(support, QStringLiteral("AboutSupportLabel"));
    auto* web = new QLabel(kWebLink, this);
    NameControl(web, QStringLiteral("AboutWebLabel"), QStringLiteral("Web site"));
    web->setTextFormat(Qt::RichText);
    web->setOpenExternalLinks(true);
    web->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* texts = new QVBoxLayout;
    texts->addWidget(product);
    texts->addWidget(version_);
    texts->addSpacing(ScaledPixels(this, 8));
    texts->addWidget(description);
    texts->addSpacing(ScaledPixels(this, 8));
    texts->addWidget(copyright);
    texts->addWidget(support);
    texts->addWidget(web);

    auto* body = new QHBoxLayout;
    body->addWidget(logo, 0, Qt::AlignTop);
    body->addSpacing(ScaledPixels(this, 12));
    body->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    NameControl(ok, QStringLiteral("AboutOkButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    const int margin = ScaledPixels(this, 16);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addLayout(body);
    layout->addSpacing(ScaledPixels(this, 8));
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void LMDAboutDlg::SetVersion(const QString& versionText) {
    version_->setText(versionText);
}
QString LMDAboutDlg::VersionText() const {
    return version_->text();
}

void ModalAboutPresenter::Present(LMDAboutDlg& dialog) {
    dialog.exec();
}

} // namespace qvc
