#pragma once
// TForm4: the results setup dialog as a window. It renders TResultsDialog's
// controls and forwards each event to it; the rules live in the model.

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "app/results_dialog.h"

namespace tarnwick {

class TForm4 : public QDialog {
public:
    TForm4(TResultsDialog& model, QWidget* parent);

    // FormShow, then the modal loop; returns when OK or the close box ends it.
    void ShowModal();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ToControls();    // the model's controls into the widgets
    void FromControls();  // the widgets into the model's controls

    TResultsDialog& model_;
    QLineEdit* editName_;
    QRadioButton* csv_;
    QRadioButton* txt_;
    QCheckBox* saveOnStop_;
    QCheckBox* saveOnMinutes_;
    QCheckBox* saveOnHours_;
    QCheckBox* loudness_;
    QCheckBox* soundLevel_;
    QCheckBox* octaves_;  // with the sound level
    QLineEdit* editHours_;
    QLineEdit* editMinutes_;
    QLineEdit* editOnTheHour_;
};

}  // namespace tarnwick
