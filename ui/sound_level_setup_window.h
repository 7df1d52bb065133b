#pragma once
// TSoundLevelSetupWindow: the "Sound Level Setup" dialog as a window. It
// renders TSoundLevelDialog's controls and forwards each event to it; the
// rules live in the model. A calibration runs inside it: its progress shows
// under the sensitivity until the 5 s are measured, and closing the dialog
// stops it.

#include <QDialog>
#include <QTimer>

#include "app/sound_level_dialog.h"

class QButtonGroup;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QCheckBox;
class QRadioButton;

namespace tarnwick {

class TSoundLevelSetupWindow : public QDialog {
public:
    TSoundLevelSetupWindow(TSoundLevelDialog& model, MeterApp& app, QWidget* parent);

    // FormShow, then the modal loop; returns when OK or Cancel ends it.
    void ShowModal();

    // The model's controls into the widgets.
    void ToControls();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void FromControls();  // the widgets into the model's controls
    void CalibrateClicked();
    void FollowCalibration();

    TSoundLevelDialog& model_;
    MeterApp& app_;
    QComboBox* channel_;
    QLineEdit* sensitivity_;
    QPushButton* calibrate_;
    QProgressBar* progress_;
    QLabel* progressText_;
    QLineEdit* limit_;
    QComboBox* minutes_;
    QRadioButton* rolling_;
    QRadioButton* fixed_;
    QCheckBox* limitFill_;
    QComboBox* bigFigure_;
    QLineEdit* margin_;
    QLineEdit* peakLimit_;
    QLineEdit* maxLimit_;
    QLineEdit* cLimit_;
    QComboBox* cMinutes_;
    QLineEdit* cMargin_;
    QLineEdit* logFolder_;
    QLineEdit* responseFile_;
    QLineEdit* statistics_;
    QLineEdit* criterion_;
    QComboBox* exchangeRate_;
    QFormLayout* form_;
    int progressRow_ = 0;  // shown while a calibration measures
    QTimer follow_;
};

}  // namespace tarnwick
