#include "platform/qt_user_dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "platform/window_stacking.h"

namespace tarnwick {
namespace {

constexpr char kFieldSeparator = '|';
constexpr char kPatternSeparator = ';';
constexpr uint32_t kByteMask = 0xFF;
constexpr int kGreenShift = 8;
constexpr int kBlueShift = 16;
// Room the desktop's frame takes beside a title: the window's icon and its
// three buttons, with their spacing.
constexpr int kTitleBarAllowance = 110;

void AppendOnce(QStringList& list, const QString& item) {
    if (!list.contains(item)) {
        list.append(item);
    }
}

QString NameFilter(const QString& description, const QString& patterns) {
    QStringList globs;
    for (const QString& field : patterns.split(QLatin1Char(kPatternSeparator))) {
        const QString pattern = field.trimmed();
        if (pattern.isEmpty()) {
            continue;
        }
        AppendOnce(globs, pattern);
        AppendOnce(globs, pattern.toLower());
        AppendOnce(globs, pattern.toUpper());
    }
    if (globs.isEmpty()) {
        globs.append(QStringLiteral("*"));
    }
    return description + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// The entry the dialog had selected, numbered from 1. With the pattern lists
// hidden, Qt reports either the whole name filter or only the description
// shown in the list, depending on its version.
int SelectedEntry(const QStringList& filters, const QString& selected) {
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString& filter = filters[i];
        const QString shown = filter.left(filter.lastIndexOf(QStringLiteral(" ("))).trimmed();
        if (filter == selected || shown == selected) {
            return static_cast<int>(i) + 1;
        }
    }
    return 1;
}

// Makes `dialog` wide enough for the desktop to show its title whole rather
// than cut in the middle ("Unlock...ttings").
void KeepTitleWhole(QDialog& dialog) {
    QFont title = dialog.font();
    title.setBold(true);  // as desktops draw titles
    const int needed =
        QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) + kTitleBarAllowance;
    const QSize size = dialog.sizeHint();
    if (size.width() < needed) {
        dialog.resize(needed, size.height());
    }
}

// Shows a message above the window that owns it, with the focus.
void ShowAboveOwner(QDialog& box) {
    KeepAboveOwner(box);
    box.show();
    box.raise();
    box.activateWindow();
}

// A message above its owner with the focus; a notice above it without.
void ShowStanding(QDialog& box, bool notice) {
    if (!notice) {
        ShowAboveOwner(box);
        return;
    }
    KeepAboveOwner(box);
    box.show();
    box.raise();
}

}  // namespace

QStringList NameFiltersFromFilter(const std::string& filter) {
    // The string ends with a separator, which leaves one empty field at the end.
    QStringList fields = QString::fromStdString(filter).split(QLatin1Char(kFieldSeparator));
    if (!fields.isEmpty() && fields.last().isEmpty()) {
        fields.removeLast();
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        filters.append(NameFilter(fields[i], fields[i + 1]));
    }
    return filters;
}

QColor ColourFromBgr(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & kByteMask),
                  static_cast<int>((bgr >> kGreenShift) & kByteMask),
                  static_cast<int>((bgr >> kBlueShift) & kByteMask));
}

uint32_t BgrFromColour(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<uint32_t>(rgb.red()) | static_cast<uint32_t>(rgb.green()) << kGreenShift |
           static_cast<uint32_t>(rgb.blue()) << kBlueShift;
}

QString TextWithLineBreaks(const std::string& text) {
    const QString source = QString::fromStdString(text);
    QString result;
    result.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) {
            result.append(c);
            continue;
        }
        result.append(QLatin1Char('\n'));
        // A CR LF or LF CR pair is one break; a doubled "\n\r\n\r" is two.
        const bool paired =
            i + 1 < source.size() &&
            (source[i + 1] == QLatin1Char('\n') || source[i + 1] == QLatin1Char('\r')) &&
            source[i + 1] != c;
        if (paired) {
            ++i;
        }
    }
    return result;
}

QWidget* QtUserDialogs::Owner() const {
    return DialogOwner(mainWindow_);
}

int QtUserDialogs::Exec(QDialog& dialog) {
    KeepAboveOwner(dialog);
    return dialog.exec();
}

void QtUserDialogs::MessageBox(const std::string& text, const std::string& caption) {
    Stand(text, caption, false);
}

void QtUserDialogs::Notice(const std::string& text, const std::string& caption) {
    Stand(text, caption, true);
}

void QtUserDialogs::WithdrawNotice(const std::string& text, const std::string& caption) {
    for (const StandingMessage& m : standing_) {
        if (m.notice && m.text == text && m.caption == caption && !m.box.isNull()) {
            m.box->close();  // deletes it: WA_DeleteOnClose
        }
    }
    std::erase_if(standing_, [](const StandingMessage& m) { return m.box.isNull(); });
}

void QtUserDialogs::Stand(const std::string& text, const std::string& caption, bool notice) {
    std::erase_if(standing_, [](const StandingMessage& m) { return m.box.isNull(); });
    for (const StandingMessage& m : standing_) {
        if (m.text == text && m.caption == caption && m.notice == notice) {
            m.box->raise();
            return;
        }
    }
    auto* box = new QMessageBox(Owner());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(notice ? Qt::NonModal : Qt::ApplicationModal);
    if (notice) {
        box->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    box->setWindowTitle(QString::fromStdString(caption));
    // Messages carry paths and device names, never markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(TextWithLineBreaks(text));
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    standing_.push_back({box, text, caption, notice});
    if (!holding_) {
        ShowStanding(*box, notice);
    }
}

void QtUserDialogs::ShowHeldMessages() {
    holding_ = false;
    for (const StandingMessage& m : std::vector<StandingMessage>(standing_)) {
        if (m.box.isNull() || m.box->isVisible()) {
            continue;
        }
        if (QWidget* owner = Owner(); owner != m.box->parentWidget()) {
            m.box->setParent(owner, m.box->windowFlags());
        }
        ShowStanding(*m.box, m.notice);
    }
}

void QtUserDialogs::AnswerStandingMessages() {
    for (const StandingMessage& m : std::vector<StandingMessage>(standing_)) {
        if (!m.box.isNull() && !m.notice) {
            m.box->exec();
        }
    }
    standing_.clear();
}

std::optional<SaveFileAnswer> QtUserDialogs::SaveFile(const SaveFileRequest& request) {
    QFileDialog dialog(Owner());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.initialFolder.empty()) {
        dialog.setDirectory(QString::fromStdString(request.initialFolder));
    }
    const QStringList filters = NameFiltersFromFilter(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype selected = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                                       ? request.filterIndex - 1
                                       : 0;
        dialog.selectNameFilter(filters[selected]);
    }
    // After the filter: selecting a filter rewrites the name's extension.
    dialog.selectFile(QString::fromStdString(request.proposedName));

    if (Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) {
        return std::nullopt;
    }
    SaveFileAnswer answer;
    answer.path = files.first().toStdString();
    answer.filterIndex = SelectedEntry(filters, dialog.selectedNameFilter());
    return answer;
}

std::optional<std::string> QtUserDialogs::OpenFile(const std::string& caption,
                                                   const std::string& start) {
    QFileDialog dialog(Owner(), QString::fromStdString(caption), QString::fromStdString(start));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters({"Response files (*.txt *.frd *.cal *.csv)", "All files (*)"});
    if (Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) {
        return std::nullopt;
    }
    return QDir::cleanPath(files.first()).toStdString();
}

std::optional<std::string> QtUserDialogs::ChooseFolder(const std::string& caption,
                                                       const std::string& start) {
    QFileDialog dialog(Owner(), QString::fromStdString(caption), QString::fromStdString(start));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList folders = dialog.selectedFiles();
    if (folders.isEmpty() || folders.first().isEmpty()) {
        return std::nullopt;
    }
    // cleanPath drops a trailing "/" (except on the root) and doubled separators.
    return QDir::cleanPath(folders.first()).toStdString();
}

std::optional<uint32_t> QtUserDialogs::ChooseColour(std::optional<uint32_t> preset) {
    if (preset) {
        lastColour_ = BgrFromColour(ColourFromBgr(*preset));
    }
    QColorDialog dialog(ColourFromBgr(lastColour_), Owner());
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    lastColour_ = BgrFromColour(dialog.currentColor());
    return lastColour_;
}

std::optional<std::string> QtUserDialogs::InputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& initial) {
    QInputDialog dialog(Owner());
    dialog.setWindowTitle(QString::fromStdString(caption));
    dialog.setLabelText(QString::fromStdString(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Normal);
    dialog.setTextValue(QString::fromStdString(initial));
    KeepTitleWhole(dialog);
    if (Exec(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue().toStdString();
}

}  // namespace tarnwick
