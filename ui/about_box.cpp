#include "ui/about_box.h"
#include "ui/focus_ring.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSysInfo>
#include <QVBoxLayout>

#include "core/version.h"

namespace tarnwick {
namespace {

// The box takes at most this share of the screen's width, in percent.
constexpr int kWidestShare = 90;

}  // namespace

std::string OperatingSystemText() {
    // "6.1.0-18-amd64" gives 6, 1 and 0.
    const QRegularExpressionMatch version =
        QRegularExpression(R"((\d+)\.(\d+)(?:\.(\d+))?)").match(QSysInfo::kernelVersion());
    const QString major = version.hasMatch() ? version.captured(1) : "0";
    const QString minor = version.hasMatch() ? version.captured(2) : "0";
    const QString build =
        version.hasMatch() && !version.captured(3).isEmpty() ? version.captured(3) : "0";
    return (" " + QSysInfo::prettyProductName() + " - " + major + "." + minor + "." + build)
        .toStdString();
}

TForm3::TForm3(const std::string& dataPath, QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    QPalette sky = palette();
    sky.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
    setPalette(sky);
    setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/tarnwick.svg").pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    auto* label1 = new QLabel(QString("Tarnwick  V.") + kVersion, this);
    QFont title = label1->font();
    title.setPointSize(16);
    title.setBold(true);
    label1->setFont(title);
    label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(label1);
    layout->addWidget(new QLabel("A sound level meter and logger", this), 0, Qt::AlignCenter);
    auto* path =
        new QLabel(QString::fromStdString("Application Data Path:       " + dataPath), this);
    // A path too long for the screen wraps at its separators, inside the
    // box's margins, rather than running off its edge.
    const QScreen* screen = parent != nullptr && parent->screen() != nullptr
                                ? parent->screen()
                                : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QMargins margins = layout->contentsMargins();
        const int widest = screen->availableGeometry().width() * kWidestShare / 100 -
                           margins.left() - margins.right();
        if (path->sizeHint().width() > widest) {
            path->setText(path->text().replace('/', QStringLiteral("/\u200B")));
            path->setWordWrap(true);
            path->setFixedWidth(widest);
        }
    }
    layout->addWidget(path);
    layout->addWidget(new QLabel(QString::fromStdString(OperatingSystemText()), this));
    auto* close = new QPushButton("Close", this);
    close->setToolTip("Close this window");
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignCenter);
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusFirstControl(*this);
}

}  // namespace tarnwick
