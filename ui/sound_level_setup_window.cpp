#include "ui/sound_level_setup_window.h"
#include "ui/focus_ring.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/window_stacking.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

// How often the calibration's progress is shown, in milliseconds.
constexpr int kProgressMs = 100;
constexpr int kFieldWidth = 90;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// A row's caption, its mnemonic taking the focus to `buddy`.
QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QLineEdit* Field(const QString& name, int width = kFieldWidth) {
    auto* field = new QLineEdit;
    field->setAccessibleName(name);
    field->setFixedWidth(width);
    return field;
}

QComboBox* MinutesList() {
    auto* list = new QComboBox;
    for (const int32_t m : kSplMinutesChoices) {
        list->addItem(QString("%1 min").arg(m));
    }
    return list;
}

}  // namespace

TSoundLevelSetupWindow::TSoundLevelSetupWindow(TSoundLevelDialog& model, MeterApp& app,
                                               QWidget* parent)
    : QDialog(parent), model_(model), app_(app) {
    setWindowTitle(Text(kSoundLevelDialogCaption));
    QFont font("Arial");
    font.setPixelSize(13);
    setFont(font);
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);

    channel_ = new QComboBox;
    for (const std::string& name : kSplChannelNames) {
        channel_->addItem(Text(name));
    }
    form->addRow("&Channel", channel_);

    sensitivity_ = Field("Sensitivity, dB SPL of a full-scale sine; empty: uncalibrated");
    calibrate_ = new QPushButton("C&alibrate...");
    calibrate_->setAccessibleName("Calibrate with a sound calibrator");
    auto* sensitivityRow = new QHBoxLayout;
    sensitivityRow->addWidget(sensitivity_);
    sensitivityRow->addWidget(new QLabel("dB SPL of a full-scale sine"));
    sensitivityRow->addWidget(calibrate_);
    sensitivityRow->addStretch();
    form->addRow(Caption("&Sensitivity", sensitivity_), sensitivityRow);
    progressText_ = new QLabel("Measuring the calibrator's tone...");
    progress_ = new QProgressBar;
    progress_->setRange(0, 100);
    progress_->setAccessibleName("Calibration progress");
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressText_);
    progressRow->addWidget(progress_);
    form->addRow("", progressRow);
    progressRow_ = form->rowCount() - 1;

    limit_ = Field("Limit on LAeq, dB(A); empty: none");
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(limit_);
    limitRow->addWidget(new QLabel("dB(A) on LAeq over the time T"));
    limitRow->addStretch();
    form->addRow(Caption("&Limit", limit_), limitRow);
    // A list is read out by its caption and its choice.
    minutes_ = MinutesList();
    form->addRow("Limit time &T", minutes_);

    rolling_ = new QRadioButton("&Rolling: the last T minutes");
    fixed_ = new QRadioButton("&Fixed windows on the clock");
    auto* windows = new QButtonGroup(this);
    windows->addButton(rolling_);
    windows->addButton(fixed_);
    auto* windowRow = new QHBoxLayout;
    windowRow->addWidget(rolling_);
    windowRow->addWidget(fixed_);
    windowRow->addStretch();
    form->addRow(Caption("Windows", rolling_), windowRow);
    limitFill_ = new QCheckBox("Frame the &window in the limit's light, to be seen across a room");
    form->addRow("", limitFill_);

    margin_ = Field("Warning margin, dB under the limit");
    form->addRow("&Warning margin, dB", margin_);
    peakLimit_ = Field("LCpeak limit, dB(C); empty: none");
    form->addRow("LC&peak limit, dB(C)", peakLimit_);
    maxLimit_ = Field("LAFmax limit, dB(A); empty: none");
    form->addRow("LAF&max limit, dB(A)", maxLimit_);
    // The bass: a limit on LCeq over a time of its own, with its own margin.
    cLimit_ = Field("C limit on LCeq, dB(C); empty: none");
    cMinutes_ = MinutesList();
    cMinutes_->setAccessibleName("C limit time T");
    cMargin_ = Field("C limit warning margin, dB under the C limit");
    auto* cLimitRow = new QHBoxLayout;
    cLimitRow->addWidget(cLimit_);
    cLimitRow->addWidget(new QLabel("dB(C) on LCeq over"));
    cLimitRow->addWidget(cMinutes_);
    cLimitRow->addWidget(new QLabel("warning"));
    cLimitRow->addWidget(cMargin_);
    cLimitRow->addWidget(new QLabel("dB under it"));
    cLimitRow->addStretch();
    form->addRow(Caption("C limit, LCe&q", cLimit_), cLimitRow);
    // The logger's day log, written by this window.
    logFolder_ = Field("Folder of the sound level log, a row every second; empty: none", 300);
    auto* chooseFolder = new QPushButton("Choose fol&der...");
    chooseFolder->setAccessibleName("Choose the folder of the sound level log");
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(logFolder_);
    logRow->addWidget(chooseFolder);
    logRow->addStretch();
    form->addRow(Caption("Write a r&ow every second to", logFolder_), logRow);
    QObject::connect(chooseFolder, &QPushButton::clicked, [this] {
        FromControls();
        model_.ChooseLogFolderClick();
        ToControls();
    });
    // The microphone's response file, corrected in every level.
    responseFile_ = Field("The measurement microphone's response file; empty: none", 300);
    auto* chooseFile = new QPushButton("Choose f&ile...");
    chooseFile->setAccessibleName("Choose the microphone's response file");
    auto* responseRow = new QHBoxLayout;
    responseRow->addWidget(responseFile_);
    responseRow->addWidget(chooseFile);
    responseRow->addStretch();
    form->addRow(Caption("Microphone respo&nse", responseFile_), responseRow);
    QObject::connect(chooseFile, &QPushButton::clicked, [this] {
        FromControls();
        model_.ChooseResponseFileClick();
        ToControls();
    });
    statistics_ = Field("Statistical levels LN, percent", 160);
    form->addRow("S&tatistical levels, %", statistics_);
    // The T of the rolling figures is the limit's.
    bigFigure_ = new QComboBox;
    for (const char* name : {"LAF", "LAS", "LCF", "LZF", "LAeq,T", "LCeq,T", "LCpeak"}) {
        bigFigure_->addItem(name);
    }
    form->addRow("&Big figure", bigFigure_);
    criterion_ = Field("Exposure criterion, dB(A) of a 100 % dose");
    form->addRow("&Exposure criterion, dB(A)", criterion_);
    exchangeRate_ = new QComboBox;
    exchangeRate_->addItem("3 dB");
    exchangeRate_->addItem("5 dB");
    form->addRow("E&xchange rate", exchangeRate_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, [this] {
        FromControls();
        model_.OKClick();
        if (model_.closed()) {
            accept();
        } else {
            ToControls();  // the fields that were not valid show their last values again
        }
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, [this] { reject(); });
    QObject::connect(calibrate_, &QPushButton::clicked, [this] { CalibrateClicked(); });
    follow_.setInterval(kProgressMs);
    QObject::connect(&follow_, &QTimer::timeout, [this] { FollowCalibration(); });
    form_ = form;
    form_->setRowVisible(progressRow_, false);
}

void TSoundLevelSetupWindow::ShowModal() {
    model_.FormShow();
    ToControls();
    adjustSize();
    CentreOnScreen(*this);
    KeepAboveOwner(*this);
    exec();
}

void TSoundLevelSetupWindow::ToControls() {
    const TSoundLevelControls& c = model_.controls();
    channel_->setCurrentIndex(c.Channel);
    sensitivity_->setText(Text(c.Sensitivity));
    limit_->setText(Text(c.Limit));
    minutes_->setCurrentIndex(c.MinutesIndex);
    rolling_->setChecked(!c.FixedWindows);
    fixed_->setChecked(c.FixedWindows);
    limitFill_->setChecked(c.LimitFill);
    bigFigure_->setCurrentIndex(c.BigFigure);
    margin_->setText(Text(c.WarnMargin));
    peakLimit_->setText(Text(c.PeakLimit));
    maxLimit_->setText(Text(c.MaxLimit));
    cLimit_->setText(Text(c.CLimit));
    cMinutes_->setCurrentIndex(c.CMinutesIndex);
    cMargin_->setText(Text(c.CWarnMargin));
    logFolder_->setText(Text(c.LogFolder));
    responseFile_->setText(Text(c.ResponseFile));
    statistics_->setText(Text(c.Statistics));
    criterion_->setText(Text(c.Criterion));
    exchangeRate_->setCurrentIndex(c.ExchangeRate == 5 ? 1 : 0);
}

void TSoundLevelSetupWindow::FromControls() {
    TSoundLevelControls& c = model_.controls();
    c.Channel = channel_->currentIndex();
    c.Sensitivity = sensitivity_->text().toStdString();
    c.Limit = limit_->text().toStdString();
    c.MinutesIndex = minutes_->currentIndex();
    c.FixedWindows = fixed_->isChecked();
    c.LimitFill = limitFill_->isChecked();
    c.BigFigure = bigFigure_->currentIndex();
    c.WarnMargin = margin_->text().toStdString();
    c.PeakLimit = peakLimit_->text().toStdString();
    c.MaxLimit = maxLimit_->text().toStdString();
    c.CLimit = cLimit_->text().toStdString();
    c.CMinutesIndex = cMinutes_->currentIndex();
    c.CWarnMargin = cMargin_->text().toStdString();
    c.LogFolder = logFolder_->text().toStdString();
    c.ResponseFile = responseFile_->text().toStdString();
    c.Statistics = statistics_->text().toStdString();
    c.Criterion = criterion_->text().toStdString();
    c.ExchangeRate = exchangeRate_->currentIndex() == 1 ? 5 : 3;
}

void TSoundLevelSetupWindow::CalibrateClicked() {
    FromControls();
    if (!model_.CalibrateClick()) {
        return;
    }
    calibrate_->setEnabled(false);
    progress_->setValue(0);
    form_->setRowVisible(progressRow_, true);
    follow_.start();
}

void TSoundLevelSetupWindow::FollowCalibration() {
    if (app_.Calibrating()) {
        progress_->setValue(static_cast<int>(std::lround(app_.CalibrationProgress() * 100.0)));
        return;
    }
    // Done: the owner has said how it went, in a message above this dialog.
    follow_.stop();
    form_->setRowVisible(progressRow_, false);
    calibrate_->setEnabled(true);
    model_.CalibrationEnded();
    sensitivity_->setText(Text(model_.controls().Sensitivity));
}

void TSoundLevelSetupWindow::done(int result) {
    // A calibration is part of this dialog: leaving it stores nothing.
    if (follow_.isActive()) {
        follow_.stop();
        app_.CancelCalibration();
        form_->setRowVisible(progressRow_, false);
        calibrate_->setEnabled(true);
    }
    QDialog::done(result);
}

void TSoundLevelSetupWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusFirstControl(*this);
}

}  // namespace tarnwick
