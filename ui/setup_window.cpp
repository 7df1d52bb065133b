#include "ui/setup_window.h"
#include "platform/qt_user_dialogs.h"
#include "ui/focus_ring.h"
#include "ui/window_places.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "display/meter_scale.h"
#include "platform/window_stacking.h"

namespace tarnwick {
namespace {

QLabel* Label(QWidget* parent, const char* text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    return label;
}

QWidget* Panel(QWidget* parent, int x, int y, int w, int h) {
    auto* panel = new QFrame(parent);
    panel->setGeometry(x, y, w, h);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

void SetFieldText(QLineEdit* field, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (field->text() != value) {
        const QSignalBlocker block(field);
        field->setText(value);
    }
}

void SetFrame(QFrame* frame, uint32_t colour) {
    frame->setStyleSheet(QString("border: 2px solid %1; background: transparent;")
                             .arg(ColourFromBgr(colour).name()));
}

// Black text on a light colour, white on a dark one (ITU-R BT.601 luma).
QColor CaptionColourOn(const QColor& fill) {
    constexpr int kLightFrom = 128;
    const int luma = (299 * fill.red() + 587 * fill.green() + 114 * fill.blue()) / 1000;
    return luma >= kLightFrom ? Qt::black : Qt::white;
}

}  // namespace

// A colour block: a panel filled with its setting's colour and captioned in
// whichever of black and white reads on it. A click opens the colour dialog,
// and so do Enter and Space once Tab has brought the focus to it. It is a
// panel, not a button, so it never becomes the dialog's default: Enter in a
// field neither opens the colour dialog nor recolours anything. A screen
// reader sees a button, named after the colour it sets.
class ColourBlock : public QFrame {
public:
    ColourBlock(const char* caption, Qt::Alignment captionAlignment, std::function<void()> onClick,
                QWidget* parent)
        : QFrame(parent),
          caption_(caption),
          alignment_(captionAlignment),
          onClick_(std::move(onClick)) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    void Press() { onClick_(); }

    void SetColour(uint32_t bgr) {
        const QColor colour = ColourFromBgr(bgr);
        if (colour != colour_) {
            colour_ = colour;
            update();
        }
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            onClick_();
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            if (!event->isAutoRepeat()) {
                onClick_();
            }
            return;
        }
        QFrame::keyPressEvent(event);
    }

    void focusInEvent(QFocusEvent* event) override {
        update();
        QFrame::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        update();
        QFrame::focusOutEvent(event);
    }

    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            painter.fillRect(contentsRect(), colour_);
            painter.setPen(CaptionColourOn(colour_));
            painter.drawText(contentsRect().adjusted(0, 2, 0, -2), alignment_, caption_);
            if (hasFocus()) {
                QStyleOptionFocusRect focus;
                focus.initFrom(this);
                focus.rect =
                    contentsRect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
                focus.backgroundColor = colour_;
                style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
            }
        }
        QFrame::paintEvent(event);
    }

private:
    static constexpr int kFocusInset = 2;
    QString caption_;
    Qt::Alignment alignment_;
    std::function<void()> onClick_;
    QColor colour_ = Qt::black;
};

namespace {

class ColourBlockAccessible : public QAccessibleWidget {
public:
    explicit ColourBlockAccessible(ColourBlock* block)
        : QAccessibleWidget(block, QAccessible::Button) {}
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << pressAction();
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            static_cast<ColourBlock*>(widget())->Press();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }
};

QAccessibleInterface* ColourBlockInterface(const QString&, QObject* object) {
    auto* block = dynamic_cast<ColourBlock*>(object);
    return block != nullptr ? new ColourBlockAccessible(block) : nullptr;
}

}  // namespace

TForm2::TForm2(TConfigDialog& model, QWidget* parent) : QDialog(parent), model_(model) {
    static const bool kColourBlocksAccessible = [] {
        QAccessible::installFactory(ColourBlockInterface);
        return true;
    }();
    (void)kColourBlocksAccessible;
    setWindowTitle(QString::fromStdString(kConfigDialogCaption));
    setFixedSize(561, 680);
    QFont font("Arial");
    font.setPixelSize(13);
    setFont(font);

    // Input selection and channel.
    QWidget* panel4 = Panel(this, 8, 8, 265, 136);
    QLabel* inputCaption = Label(panel4, "Input Selection", 8, 6);
    comboBox1_ = new QComboBox(panel4);
    comboBox1_->setGeometry(8, 26, 249, 24);
    // A list's caption is its buddy: screen readers on this desktop say a
    // list's choice as its name and the buddy's text as its label.
    inputCaption->setBuddy(comboBox1_);
    QObject::connect(comboBox1_, &QComboBox::activated,
                     [this](int index) { model_.ComboBox1Change(index); });
    QLabel* channelCaption = Label(panel4, "Channel", 8, 66);
    comboBox2_ = new QComboBox(panel4);
    comboBox2_->setGeometry(8, 86, 160, 24);
    channelCaption->setBuddy(comboBox2_);
    comboBox2_->addItems({"Stereo", "Left", "Right", "Sum", "Difference"});
    QObject::connect(comboBox2_, &QComboBox::activated, [this](int index) {
        model_.ComboBox2Change(index);
        Render();
    });

    // Graph options and colours.
    QWidget* panel7 = Panel(this, 8, 150, 265, 359);
    Label(panel7, "Graph Options", 8, 6);
    Check(panel7, " Average Lines", 8, 28, [this](bool c) { model_.cbShowAverageClick(c); });
    Check(panel7, " Peaks and Troughs", 8, 50, [this](bool c) { model_.cbShowPeaksClick(c); });
    Check(panel7, " Fill Average with solid colour", 8, 72,
          [this](bool c) { model_.cbFillAverageClick(c); });
    Check(panel7, " Fill Peaks and Troughs", 8, 94, [this](bool c) { model_.cbFillPeaksClick(c); });
    Check(panel7, " Fill Average to Peak/Trough", 8, 116,
          [this](bool c) { model_.cbFifthOptionClick(c); });
    Check(panel7, " Show Grid Lines", 8, 138, [this](bool c) { model_.cbShowGridClick(c); });
    Label(panel7, "Colours", 8, 170);
    Label(panel7, "Click block to change", 8, 188);
    // The background block holds the right channel's pair; the left channel's
    // pair lies below it.
    constexpr Qt::Alignment kOnTop = Qt::AlignHCenter | Qt::AlignTop;
    constexpr Qt::Alignment kCentred = Qt::AlignCenter;
    ColourBlock* sbar = AddColourBlock("Sbar", "bgnd", kOnTop, panel7, QRect(8, 212, 120, 72),
                                       [this] { model_.SbarClick(); });
    AddColourBlock("RBar", "pk", kCentred, sbar, QRect(8, 24, 48, 38),
                   [this] { model_.RBarClick(); });
    AddColourBlock("RavgBar", "avg", kCentred, sbar, QRect(64, 24, 48, 38),
                   [this] { model_.RavgBarClick(); });
    AddColourBlock("Mbar", "pk", kCentred, panel7, QRect(16, 296, 48, 38),
                   [this] { model_.MbarClick(); });
    AddColourBlock("LavgBar", "avg", kCentred, panel7, QRect(72, 296, 48, 38),
                   [this] { model_.LavgBarClick(); });
    Label(panel7, "Meter and", 150, 212);
    Label(panel7, "Target Lines", 150, 228);
    AddColourBlock("Bbar", "", kCentred, panel7, QRect(150, 250, 40, 28),
                   [this] { model_.BbarClick(); });
    AddColourBlock("CBar", "", kCentred, panel7, QRect(150, 282, 40, 28),
                   [this] { model_.CBarClick(); });
    AddColourBlock("Abar", "", kCentred, panel7, QRect(150, 314, 40, 28),
                   [this] { model_.AbarClick(); });
    // What each block colours, as a screen reader names it.
    const std::pair<const char*, const char*> spokenBlocks[] = {
        {"Sbar", "Graph background colour"},         {"RBar", "Right channel peak colour"},
        {"RavgBar", "Right channel average colour"}, {"Mbar", "Left channel peak colour"},
        {"LavgBar", "Left channel average colour"},  {"Bbar", "Top colour, Target 1"},
        {"CBar", "Middle colour, Target 2"},         {"Abar", "Low colour, Threshold"},
    };
    for (const auto& [name, spoken] : spokenBlocks) {
        blocks_.at(name)->setAccessibleName(spoken);
    }

    // The lock, always-on-top and Save and Close.
    lockSet_ = new QCheckBox("LockSettings", this);
    lockSet_->move(99, 528);
    lockSet_->setFocusPolicy(Qt::NoFocus);  // the lock answers the mouse only
    QObject::connect(lockSet_, &QCheckBox::clicked, [this] {
        model_.LockSetMouseUp();
        Render();
    });
    checkBox2_ = new QCheckBox("Always on top", this);
    checkBox2_->move(98, 551);
    QObject::connect(checkBox2_, &QCheckBox::clicked,
                     [this](bool checked) { model_.CheckBox2Click(checked); });
    staticText4_ = Label(this, "Settings are locked", 64, 551);
    auto* save = new QPushButton("Save and Close", this);
    save->setGeometry(84, 593, 137, 44);
    QFont bold = save->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    save->setFont(bold);
    QObject::connect(save, &QPushButton::clicked, this, &QDialog::accept);

    // Calibration and timing.
    QWidget* panel1 = Panel(this, 285, 8, 265, 257);
    Label(panel1, "Calibration", 8, 6);
    Label(panel1, "Graph Top =", 8, 30);
    edit1_ = Field(panel1, 96, 27, 60, [this](const std::string& t) { model_.Edit1Change(t); });
    edit1_->setAccessibleName("Graph Top, dB below fsd");
    Label(panel1, "dB", 162, 30);
    Label(panel1, " below fsd eg.  -4", 8, 54);
    Label(panel1, "Headroom", 8, 76);
    label14_ = Label(panel1, "", 96, 76);
    label14_->setFixedWidth(100);
    Label(panel1, "Timing", 8, 104);
    Check(panel1, "Apply Integration", 8, 124, [this](bool c) { model_.CBintegrateClick(c); });
    Label(panel1, "5 ms approx", 160, 127);
    Label(panel1, "Average Time", 8, 160);
    editAvgTime_ =
        Field(panel1, 100, 157, 50, [this](const std::string& t) { model_.EditAvgTimeChange(t); });
    editAvgTime_->setAccessibleName("Average Time, seconds");
    Label(panel1, "Secs", 156, 160);
    Label(panel1, "( 0.025 to 10 secs )", 100, 182);
    Label(panel1, "Sweep Time", 8, 210);
    edit3_ = Field(panel1, 100, 207, 50, [this](const std::string& t) { model_.Edit3Change(t); });
    edit3_->setAccessibleName("Sweep Time, seconds");
    edit3_->installEventFilter(this);
    Label(panel1, "Secs", 156, 210);
    Label(panel1, "(1 to 60 secs )", 100, 232);

    // Meter scale, targets and automatic start.
    QWidget* panel2 = Panel(this, 288, 271, 265, 395);
    QLabel* scaleCaption = Label(panel2, "Meter Scale", 8, 6);
    scaleSelect_ = new QComboBox(panel2);
    scaleSelect_->setGeometry(8, 26, 200, 24);
    scaleCaption->setBuddy(scaleSelect_);
    for (const char* name : kScaleNames) {
        scaleSelect_->addItem(name);
    }
    QObject::connect(scaleSelect_, &QComboBox::activated, [this](int index) {
        model_.scaleSelectChange(index);
        Render();
    });
    fullScaleControls_.push_back(Label(panel2, "User Full Scale", 8, 60));
    editFullScale_ =
        Field(panel2, 112, 57, 50, [this](const std::string& t) { model_.EditFullScaleChange(t); });
    editFullScale_->setAccessibleName("User Full Scale, dB");
    fullScaleControls_.push_back(editFullScale_);
    fullScaleControls_.push_back(Label(panel2, "dB", 168, 60));
    Label(panel2, "Target Levels", 8, 92);
    struct Row {
        const char* caption;
        int y;
        std::function<void()> dec, inc;
        QLabel** value;
        QFrame** frame;
    };
    const std::vector<Row> rows = {
        {"Target 1", 116, [this] { model_.DecUpperVolClick(); },
         [this] { model_.IncUpperVolClick(); }, &label25_, &shape2_},
        {"Target 2", 152, [this] { model_.DecVolClick(); }, [this] { model_.IncVolClick(); },
         &label27_, &shape1_},
        {"Threshold", 188, [this] { model_.DecThresholdClick(); },
         [this] { model_.IncThresholdClick(); }, &label16_, &shape3_},
    };
    for (const Row& row : rows) {
        QLabel* caption = Label(panel2, row.caption, 8, row.y + 4);
        if (row.value == &label16_) {
            thresholdLabel_ = caption;
        }
        auto* minus = new QPushButton("-", panel2);
        minus->setGeometry(90, row.y, 26, 26);
        minus->setAccessibleName(QString("Lower ") + row.caption);
        QObject::connect(minus, &QPushButton::clicked, [this, f = row.dec] {
            f();
            Render();
        });
        *row.frame = new QFrame(panel2);
        (*row.frame)->setGeometry(122, row.y, 70, 26);
        *row.value = Label(panel2, "", 128, row.y + 4);
        (*row.value)->setFixedWidth(58);
        auto* plus = new QPushButton("+", panel2);
        plus->setGeometry(198, row.y, 26, 26);
        plus->setAccessibleName(QString("Raise ") + row.caption);
        QObject::connect(plus, &QPushButton::clicked, [this, f = row.inc] {
            f();
            Render();
        });
    }
    Check(panel2, "Enable Threshold in average calculation", 8, 226,
          [this](bool c) { model_.cbignorethresholdClick(c); });
    Check(panel2, "Auto Start", 8, 270, [this](bool c) { model_.CheckBox5Click(c); });
    Label(panel2, "at", 110, 273);
    editAutoStart_ = Field(panel2, 130, 270, 44,
                           [this](const std::string& t) { model_.EditAutoStartChange(t); });
    editAutoStart_->setAccessibleName("Auto Start level, dB");
    Label(panel2, "dB", 180, 273);
    Label(panel2, "below Full Scale", 110, 296);

    // The loudness target beside the meter's own targets: a preset from the
    // list or a value typed in LUFS.
    auto* loudness = new QGroupBox(QString::fromStdString(kLoudnessGroupCaption), panel2);
    loudness->setGeometry(8, 322, 249, 64);
    QLabel* targetCaption = Label(loudness, "Target", 10, 31);
    loudnessTarget_ = new QComboBox(loudness);
    loudnessTarget_->setGeometry(62, 26, 177, 24);
    targetCaption->setBuddy(loudnessTarget_);
    loudnessTarget_->setEditable(true);
    loudnessTarget_->lineEdit()->setAccessibleName("Loudness Target");
    // Enter takes the typed value as it stands; it adds nothing to the list.
    loudnessTarget_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& preset : kLoudnessTargetPresets) {
        loudnessTarget_->addItem(QString::fromStdString(preset));
    }
    QObject::connect(loudnessTarget_, &QComboBox::editTextChanged, [this](const QString& text) {
        model_.LoudnessTargetChange(text.toStdString());
    });

    panels_ = {panel1, panel2, panel4, panel7};
    // Enter in a field does only what that field does: no button is ever the
    // dialog's default, "Save and Close" included.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
    }
    if (parent != nullptr) {
        ScrollWhenLargerThanScreen(*this, *parent);
    }
}

QCheckBox* TForm2::Check(QWidget* parent, const char* caption, int x, int y,
                         std::function<void(bool)> onClick) {
    auto* box = new QCheckBox(caption, parent);
    box->move(x, y);
    QObject::connect(box, &QCheckBox::clicked, [this, onClick](bool checked) {
        onClick(checked);
        Render();
    });
    checks_[caption] = box;
    return box;
}

ColourBlock* TForm2::AddColourBlock(const char* name, const char* caption, Qt::Alignment alignment,
                                    QWidget* parent, const QRect& place,
                                    std::function<void()> onClick) {
    auto* block = new ColourBlock(
        caption, alignment,
        [this, onClick = std::move(onClick)] {
            onClick();
            Render();
        },
        parent);
    block->setGeometry(place);
    blocks_[name] = block;
    return block;
}

QLineEdit* TForm2::Field(QWidget* parent, int x, int y, int width,
                         std::function<void(const std::string&)> onChange) {
    auto* field = new QLineEdit(parent);
    field->setGeometry(x, y, width, 22);
    QObject::connect(field, &QLineEdit::textChanged, [this, onChange](const QString& text) {
        onChange(text.toStdString());
        Render();
    });
    return field;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    // The sweep field takes digits, "." and backspace only. Any other printable
    // character is dropped, accented letters and superscripts included; keys
    // that type nothing printable (the arrows, Tab, shortcuts) go through.
    if (watched == edit3_ && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        const bool printable =
            std::any_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); });
        const bool admitted = typed.size() == 1 && typed[0].unicode() < 128 &&
                              TConfigDialog::Edit3KeyPress(static_cast<char>(typed[0].unicode()));
        if (printable && !admitted) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::Render() {
    const TConfigViewState& v = model_.view();
    {
        const QSignalBlocker block(comboBox1_);
        comboBox1_->clear();
        for (const std::string& item : v.ComboBox1Items) {
            comboBox1_->addItem(QString::fromStdString(item));
        }
        comboBox1_->setCurrentIndex(v.ComboBox1Index);
        if (v.ComboBox1Items.empty()) {
            comboBox1_->setPlaceholderText(QString::fromStdString(v.ComboBox1Text));
        }
    }
    {
        const QSignalBlocker a(comboBox2_), b(scaleSelect_);
        comboBox2_->setCurrentIndex(v.ComboBox2Index);
        scaleSelect_->setCurrentIndex(v.scaleSelectIndex);
    }
    SetFieldText(edit1_, v.Edit1);
    edit1_->setStyleSheet(v.Edit1Red ? "background-color: #ff0000;" : "");
    SetFieldText(edit3_, v.Edit3);
    SetFieldText(editAvgTime_, v.EditAvgTime);
    SetFieldText(editFullScale_, v.EditFullScale);
    SetFieldText(editAutoStart_, v.EditAutoStart);
    if (loudnessTarget_->currentText().toStdString() != v.LoudnessTarget) {
        const QSignalBlocker block(loudnessTarget_);
        loudnessTarget_->setEditText(QString::fromStdString(v.LoudnessTarget));
    }
    for (QWidget* w : fullScaleControls_) {
        w->setEnabled(v.EditFullScaleEnabled);
    }
    label14_->setText(QString::fromStdString(v.Label14));
    label25_->setText(QString::fromStdString(v.Label25 + "dB"));
    label27_->setText(QString::fromStdString(v.Label27 + "dB"));
    label16_->setText(QString::fromStdString(v.Label16 + "dB"));
    thresholdLabel_->setEnabled(v.ThresholdLabelsEnabled);
    label16_->setEnabled(v.ThresholdLabelsEnabled);
    SetFrame(shape2_, v.Shape2);
    SetFrame(shape1_, v.Shape1);
    SetFrame(shape3_, v.Shape3);
    shape3_->setVisible(v.Shape3Visible);

    const std::pair<const char*, bool> checks[] = {
        {" Average Lines", v.cbShowAverageChecked},
        {" Peaks and Troughs", v.cbShowPeaksChecked},
        {" Fill Average with solid colour", v.cbFillAverageChecked},
        {" Fill Peaks and Troughs", v.cbFillPeaksChecked},
        {" Fill Average to Peak/Trough", v.cbFifthOptionChecked},
        {" Show Grid Lines", v.cbShowGridChecked},
        {"Apply Integration", v.CBintegrateChecked},
        {"Enable Threshold in average calculation", v.cbignorethresholdChecked},
        {"Auto Start", v.CheckBox5Checked},
    };
    for (const auto& [caption, checked] : checks) {
        QCheckBox* box = checks_.at(caption);
        const QSignalBlocker block(box);
        box->setChecked(checked);
    }
    const std::pair<const char*, uint32_t> blocks[] = {
        {"Sbar", v.Sbar},       {"RBar", v.RBar}, {"RavgBar", v.RavgBar}, {"Mbar", v.Mbar},
        {"LavgBar", v.LavgBar}, {"Bbar", v.Bbar}, {"CBar", v.CBar},       {"Abar", v.Abar},
    };
    for (const auto& [name, colour] : blocks) {
        blocks_.at(name)->SetColour(colour);
    }
    {
        const QSignalBlocker a(lockSet_), b(checkBox2_);
        lockSet_->setChecked(v.LockSetChecked);
        checkBox2_->setChecked(v.CheckBox2Checked);
    }
    for (QWidget* panel : panels_) {
        panel->setEnabled(v.PanelsEnabled);
    }
    checkBox2_->setEnabled(v.PanelsEnabled);
    checkBox2_->setVisible(!v.StaticText4Visible);
    staticText4_->setVisible(v.StaticText4Visible);
}

void TForm2::ShowModal(QWidget* mainWindow) {
    model_.Open();
    Render();
    if (mainWindow != nullptr) {
        move(mainWindow->x() + kConfigDialogOffsetX, mainWindow->y() + kConfigDialogOffsetY);
    }
    KeepAboveOwner(*this);
    const bool ok = exec() == QDialog::Accepted;
    model_.Close(ok);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusFirstControl(*this);
}

}  // namespace tarnwick
