#include "ui/results_window.h"
#include "ui/focus_ring.h"
#include "ui/window_places.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <algorithm>

#include "platform/window_stacking.h"

namespace tarnwick {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QLabel* Label(QWidget* parent, const std::string& text, int x, int y, int pixelSize = 13) {
    auto* label = new QLabel(Text(text), parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->move(x, y);
    return label;
}

QLineEdit* Edit(QWidget* parent, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(x, y, width, 21);
    return edit;
}

}  // namespace

TForm4::TForm4(TResultsDialog& model, QWidget* parent) : QDialog(parent), model_(model) {
    setWindowTitle(Text(kResultsDialogCaption));
    setFixedSize(663, 391);
    QFont font("Arial");
    font.setPixelSize(13);
    setFont(font);

    Label(this, kResultsLabel1, 48, 56);
    editName_ = Edit(this, 128, 52, 169);
    editName_->setAccessibleName(Text(kResultsLabel1));
    Label(this, kResultsLabel2, 378, 56);
    auto* panel1 = new QWidget(this);
    panel1->setGeometry(480, 40, 120, 56);
    csv_ = new QRadioButton(Text(kResultsRBcsv), panel1);
    csv_->move(0, 6);
    txt_ = new QRadioButton(Text(kResultsRBtxt), panel1);
    txt_->move(0, 30);
    auto* types = new QButtonGroup(this);
    types->addButton(csv_);
    types->addButton(txt_);

    saveOnStop_ = new QCheckBox(Text(kResultsCBSaveOnStop), this);
    saveOnStop_->move(48, 121);
    saveOnMinutes_ = new QCheckBox(Text(kResultsCBSaveOnMinutes), this);
    saveOnMinutes_->move(48, 185);
    editHours_ = Edit(this, 208, 181, 33);
    Label(this, kResultsLabel4, 247, 184);
    editMinutes_ = Edit(this, 288, 181, 33);
    Label(this, kResultsLabel3, 327, 184);
    Label(this, kResultsLabel6, 231, 211, 11);
    saveOnHours_ = new QCheckBox(Text(kResultsCBSaveOnHours), this);
    saveOnHours_->move(48, 249);
    editOnTheHour_ = Edit(this, 208, 245, 33);
    Label(this, kResultsLabel5, 247, 248);
    Label(this, kResultsLabel7, 231, 273, 11);
    loudness_ = new QCheckBox(Text(kResultsCBLoudness), this);
    loudness_->move(48, 306);
    soundLevel_ = new QCheckBox(Text(kResultsCBSoundLevel), this);
    soundLevel_->move(348, 306);
    octaves_ = new QCheckBox(Text(kResultsCBOctaves), this);
    octaves_->move(348, 324);
    octaves_->setAccessibleName("Add the octave bands of sound level to the results");
    octaves_->setEnabled(false);
    QObject::connect(soundLevel_, &QCheckBox::toggled, octaves_, &QWidget::setEnabled);
    // The two "Save results every" rows, told apart for a screen reader.
    saveOnMinutes_->setAccessibleName("Save results every hours and minutes from start of test");
    editHours_->setAccessibleName("Hours from start of test");
    editMinutes_->setAccessibleName("Minutes from start of test");
    saveOnHours_->setAccessibleName("Save results every hours, by the clock, on the hour");
    editOnTheHour_->setAccessibleName("Hours by the clock, on the hour");

    auto* explore = new QPushButton(Text(kResultsButton3), this);
    explore->setGeometry(35, 345, 120, 27);
    QObject::connect(explore, &QPushButton::clicked, [this] { model_.Button3Click(); });
    auto* ok = new QPushButton(Text(kResultsButton2), this);
    ok->setGeometry(288, 345, 90, 27);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, [this] {
        FromControls();
        model_.Button2Click();
        if (model_.closed()) {
            accept();
        }
    });

    for (QLineEdit* edit : {editHours_, editMinutes_, editOnTheHour_}) {
        edit->installEventFilter(this);
    }
    if (parent != nullptr) {
        ScrollWhenLargerThanScreen(*this, *parent);
    }
}

void TForm4::ShowModal() {
    model_.FormShow();
    ToControls();
    CentreOnScreen(*this);
    KeepAboveOwner(*this);
    exec();
}

void TForm4::ToControls() {
    const TResultsControls& c = model_.controls();
    editName_->setText(Text(c.EditName));
    csv_->setChecked(c.RBcsvChecked);
    txt_->setChecked(!c.RBcsvChecked);
    saveOnStop_->setChecked(c.CBSaveOnStopChecked);
    saveOnMinutes_->setChecked(c.CBSaveOnMinutesChecked);
    saveOnHours_->setChecked(c.CBSaveOnHoursChecked);
    loudness_->setChecked(c.CBLoudnessChecked);
    soundLevel_->setChecked(c.CBSoundLevelChecked);
    octaves_->setChecked(c.CBOctavesChecked);
    octaves_->setEnabled(c.CBSoundLevelChecked);
    editHours_->setText(Text(c.EditHours));
    editMinutes_->setText(Text(c.EditMinutes));
    editOnTheHour_->setText(Text(c.EditOnTheHour));
}

void TForm4::FromControls() {
    TResultsControls& c = model_.controls();
    c.EditName = editName_->text().toStdString();
    c.RBcsvChecked = csv_->isChecked();
    c.RBtxtChecked = txt_->isChecked();
    c.CBSaveOnStopChecked = saveOnStop_->isChecked();
    c.CBSaveOnMinutesChecked = saveOnMinutes_->isChecked();
    c.CBSaveOnHoursChecked = saveOnHours_->isChecked();
    c.CBLoudnessChecked = loudness_->isChecked();
    c.CBSoundLevelChecked = soundLevel_->isChecked();
    c.CBOctavesChecked = octaves_->isChecked();
    c.EditHours = editHours_->text().toStdString();
    c.EditMinutes = editMinutes_->text().toStdString();
    c.EditOnTheHour = editOnTheHour_->text().toStdString();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // The typing filter: only digits and backspace go into the period boxes.
        // Any other printable character is dropped, accented letters and
        // superscripts included; keys that type nothing printable go through.
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString typed = key->text();
        const bool printable =
            std::any_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); });
        const bool admitted = typed.size() == 1 && typed[0].unicode() < 128 &&
                              model_.EditMinutesKeyPress(static_cast<char>(typed[0].unicode()));
        if (printable && !admitted) {
            return true;
        }
    } else if (event->type() == QEvent::KeyRelease) {
        // Every key released in a period box applies that row, whatever the key.
        FromControls();
        if (watched == editOnTheHour_) {
            model_.EditOnTheHourKeyUp();
        } else if (watched == editMinutes_) {
            model_.EditMinutesKeyUp();
        } else {
            model_.EditHoursKeyUp();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusFirstControl(*this);
}

}  // namespace tarnwick
