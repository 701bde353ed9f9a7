// The read action ("Read from Quorvel") and the refresh of the pages from
// the device state.
#include "AboutPage.h"
#include "LabelPage.h"
#include "MatrixForm.h"
#include "SetupPage.h"
#include "link/ReadBack.h"
#include "ui/switching/SwitchingPage.h"

namespace qvc {

namespace {
const QString kQueryingStatus = QStringLiteral("Querying Quorvel. Please wait....");
const QString kEthernetErrorText = QStringLiteral(
    "Quorvel communication error! Please check Ethernet connections and try again (%1)");
const QString kSerialErrorText = QStringLiteral(
    "Quorvel communication error! Please check Serial connections and try again (%1)");

// Clears RefreshingFlag however the refresh ends.
class RefreshHold {
  public:
    explicit RefreshHold(LinkState& state) : state_(state) { state_.RefreshingFlag = true; }
    ~RefreshHold() { state_.RefreshingFlag = false; }
    RefreshHold(const RefreshHold&) = delete;
    RefreshHold& operator=(const RefreshHold&) = delete;

  private:
    LinkState& state_;
};
} // namespace

void TMatrixForm::ReadfromQuorvels1Click() {
    if (linkState_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(linkState_);
    // A preset recall awaiting confirmation is cancelled first once the
    // preset panel is in place (recallPending_ stays clear until then).
    SetStatusText(kQueryingStatus);
    SetHourglass(true);
    switchingPage_->CancelPending();
    const int result = ReadBack(*link_, state_, *this, prompts_);
    if (result >= 1) {
        {
            RefreshHold refreshing(linkState_);
            RefreshFromState();
            SetHourglass(false);
            SetStatusText(QString());
        }
        return;
    }
    const QString& text = linkState_.EthernetConnected ? kEthernetErrorText : kSerialErrorText;
    SetHourglass(false);
    prompts_.Message(text.arg(result));
    SetStatusText(QString());
}

void TMatrixForm::RefreshFromState() {
    switchingPage_->RefreshRouting();
    // The audio page refresh follows here once the audio page is in place.
    AdaptToModel();
    // The grouping page refresh follows here once the grouping page is in place.
    RefreshSetupPage();
}

void TMatrixForm::AdaptToModel() {
    labelPage_->AdaptToModel(state_.Inputs(), state_.ShownOutputs());
}

void TMatrixForm::RefreshSetupPage() {
    // The lockout box, the switch source and the RGB delay join these two
    // once the rest of the Setup page is in place.
    setupPage_->SetIpAddressText(QString::fromStdString(state_.status.IPAddressText()));
    aboutPage_->SetFirmwareVersionText(
        QString::fromLatin1(state_.status.FirmwareVersion().c_str()));
}

} // namespace qvc
