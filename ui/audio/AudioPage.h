// The "Audio Controls" page: one group box per input (AudioInputGroupBoxN,
// captioned "Input N (label)") with its level slider AudioTrackBarN, the
// read-out AudioEditN in whole dB and the 1 dB spin halves AudioSpinBtnN.
// Every change of a slider goes to the switcher at once as "ALVL"; there is
// no Take for levels.
#pragma once

#include "ui/common/Page.h"

#include <QSlider>
#include <array>

class QGroupBox;
class QLabel;
class QToolButton;

namespace qvc {

// The level slider: 0 at the left to 252 at the right, a tick every 32
// below the bar. It tells where on its groove a level lies, so the scale
// captions under it line up with the ticks.
class LevelSlider : public QSlider {
    Q_OBJECT
  public:
    explicit LevelSlider(QWidget* parent = nullptr);
    // The x coordinate of the handle's centre at `level`.
    int CentreOf(int level) const;
};

class AudioPage : public Page {
    Q_OBJECT
  public:
    explicit AudioPage(PageContext context, QWidget* parent = nullptr);

    // --- Page ---
    // Enabling and background of the group boxes for the model and the
    // audio-present flag.
    void AdaptToModel() override;
    // RefreshAudioLevels.
    void RefreshFromState() override;
    // The group box captions, "Input N (" + the input's label + ")".
    void ApplyLabels() override;
    // The loaded levels of the model's inputs, on their boxes as they are.
    void ShowLoadedConfiguration() override;

    // Shows the level table: the read-out and the slider of every input the
    // model has (when the switcher carries audio); sends nothing. Then the
    // enabling as AdaptToModel.
    void RefreshAudioLevels();

  private:
    struct InputControls {
        QGroupBox* box = nullptr;
        LevelSlider* slider = nullptr;
        QLabel* readOut = nullptr;
        QToolButton* up = nullptr;
        QToolButton* down = nullptr;
    };

    // Handlers of the page's controls (input i, 0-based).
    void AudioTrackBarChange(int i, int position);
    void AudioSpinBtnClick(int i, bool up);

    void BuildControls();
    QGroupBox* BuildInput(int i, QWidget* parent);
    void ChainTabOrder();

    // Moves input i's slider to `level` without running its change handling
    // and shows the level's dB in the read-out.
    void ShowLevel(int i, int level);
    void ShowDb(int i, int level);
    // The whole dB the read-out of input i shows; false when it shows none.
    bool ShownDb(int i, int& db) const;
    void PaintBox(QGroupBox* box, bool present);

    DeviceState& state_;
    LinkState& link_;
    std::array<InputControls, kMaxInputs> inputs_{};
};

} // namespace qvc
