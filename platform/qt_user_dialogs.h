#pragma once
// The user's dialogs as Qt widgets: QMessageBox, QFileDialog, QColorDialog and
// QInputDialog. Every dialog is Qt's own widget rather than the desktop's
// native one, so it looks and behaves the same on every desktop and can be
// driven under the offscreen platform. Each is owned by the window it serves
// and comes up above it (platform/window_stacking.h). Needs a QApplication;
// call from the GUI thread only.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <vector>

#include "core/ports/user_dialogs.h"

class QDialog;
class QWidget;

namespace tarnwick {

// The colour dialog opens at black until it has shown another colour.
inline constexpr uint32_t kFirstDialogColour = 0x00000000;

// "Description|*.A;*.B|Description|*.C|" as Qt name filters, one per entry in
// the same order: "Description (*.A *.a *.B *.b)". Each pattern is listed as
// given and then in lower and upper case, because Qt matches name filters
// case-sensitively on Linux. A description without patterns after it is
// dropped; an entry with no patterns matches every file.
QStringList NameFiltersFromFilter(const std::string& filter);

// 0x00BBGGRR (red in the low byte) to a colour and back; the high byte is
// ignored and returned as 0.
QColor ColourFromBgr(uint32_t bgr);
uint32_t BgrFromColour(const QColor& colour);

// Line breaks written as "\r\n", "\n\r", "\n" or "\r" as Qt's "\n".
QString TextWithLineBreaks(const std::string& text);

class QtUserDialogs : public IUserDialogs {
public:
    // `mainWindow` owns the dialogs asked for while no other dialog of the
    // program is open; it may be null, or set later, and must outlive every
    // call.
    explicit QtUserDialogs(QWidget* mainWindow = nullptr) : mainWindow_(mainWindow) {}
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // Shows the message, modal to the program, and returns at once: whatever
    // raised it (a save that failed while blocks are measured, say) goes on
    // while it stands. A message with the same text and caption as one still
    // standing is not shown a second time.
    void MessageBox(const std::string& text, const std::string& caption) override;
    // A message box that is modal to nothing and comes up without the
    // keyboard focus: the window it lies over keeps the keys. Held at the
    // start as messages are; withdrawn by WithdrawNotice.
    void Notice(const std::string& text, const std::string& caption) override;
    void WithdrawNotice(const std::string& text, const std::string& caption) override;
    // Waits until every message still standing has been answered, for a
    // program about to end or to close its window after its message.
    void AnswerStandingMessages();
    // Messages asked for from now on wait, unshown, until ShowHeldMessages:
    // the start of the program raises them before its main window shows, and
    // one shown then would lie below that window once it came up, its OK
    // button covered and the meter seemingly hung.
    void HoldMessages() { holding_ = true; }
    // Shows the messages held back, each owned by the main window (or the
    // dialog open now) and above it, with the focus; later ones show at once.
    void ShowHeldMessages();
    // The name filters hide their pattern lists, so each entry shows only its
    // description. The proposed name is filled in after the filter is
    // selected, so its extension is kept as given. No default suffix is added.
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    // "/" stays "/": the root has no other spelling.
    std::optional<std::string> OpenFile(const std::string& caption,
                                        const std::string& start) override;
    std::optional<std::string> ChooseFolder(const std::string& caption,
                                            const std::string& start) override;
    // Without a preset the dialog opens at the colour it last opened at or had
    // accepted, whichever came later (kFirstDialogColour the first time).
    std::optional<uint32_t> ChooseColour(std::optional<uint32_t> preset) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;

protected:
    // Runs a fully prepared dialog modally and returns its QDialog::DialogCode.
    // Tests override this to answer the real widget without an event loop.
    virtual int Exec(QDialog& dialog);

private:
    // The window the next dialog belongs to: the dialog open now, else the
    // main window.
    QWidget* Owner() const;

    struct StandingMessage {
        QPointer<QDialog> box;
        std::string text;
        std::string caption;
        bool notice = false;
    };
    // Shows or holds a new box for `text` and `caption`; a box standing with
    // them is raised instead.
    void Stand(const std::string& text, const std::string& caption, bool notice);

    QWidget* mainWindow_;
    uint32_t lastColour_ = kFirstDialogColour;
    std::vector<StandingMessage> standing_;
    bool holding_ = false;
};

}  // namespace tarnwick
