#pragma once
// TForm2: the program setup dialog as a window. It renders TConfigDialog's
// control state and forwards every event to it; the rules live in the model.

#include <QDialog>
#include <functional>
#include <map>
#include <vector>

#include "app/config_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QFrame;
class QRect;
class QWidget;

namespace tarnwick {

class ColourBlock;

class TForm2 : public QDialog {
public:
    TForm2(TConfigDialog& model, QWidget* parent);

    // The whole round: the model opens (starting a test if none runs), the
    // dialog shows beside the main window's meter, and its result is applied.
    void ShowModal(QWidget* mainWindow);

    // Shows the model's state in every control.
    void Render();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QCheckBox* Check(QWidget* parent, const char* caption, int x, int y,
                     std::function<void(bool)> onClick);
    // The colour block of setting control `name`, at `place` within `parent`.
    ColourBlock* AddColourBlock(const char* name, const char* caption, Qt::Alignment alignment,
                                QWidget* parent, const QRect& place, std::function<void()> onClick);
    QLineEdit* Field(QWidget* parent, int x, int y, int width,
                     std::function<void(const std::string&)> onChange);

    TConfigDialog& model_;
    std::vector<QWidget*> panels_;
    QComboBox* comboBox1_ = nullptr;
    QComboBox* comboBox2_ = nullptr;
    QComboBox* scaleSelect_ = nullptr;
    QComboBox* loudnessTarget_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QLineEdit* edit3_ = nullptr;
    QLineEdit* editAvgTime_ = nullptr;
    QLineEdit* editFullScale_ = nullptr;
    QLineEdit* editAutoStart_ = nullptr;
    QLabel* label14_ = nullptr;
    QLabel* label25_ = nullptr;
    QLabel* label27_ = nullptr;
    QLabel* label16_ = nullptr;
    QLabel* thresholdLabel_ = nullptr;
    QFrame* shape1_ = nullptr;
    QFrame* shape2_ = nullptr;
    QFrame* shape3_ = nullptr;
    std::vector<QWidget*> fullScaleControls_;
    std::map<std::string, QCheckBox*> checks_;
    std::map<std::string, ColourBlock*> blocks_;
    QCheckBox* lockSet_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    QLabel* staticText4_ = nullptr;
};

}  // namespace tarnwick
