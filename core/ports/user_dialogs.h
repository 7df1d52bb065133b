#pragma once
// Port: the modal dialogs the system asks the user through. Those that ask
// return when the user has answered, the event loop running meanwhile; a
// message returns at once and stands until it is read, so that nothing that
// raises one (a failed save among the measured blocks, say) waits for it.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

struct SaveFileRequest {
    std::string filter;        // "Description|*.A;*.B|..." entries, numbered from 1
    int filterIndex = 1;       // entry selected when the dialog opens
    std::string proposedName;  // file name offered
    std::string initialFolder;
    bool promptOverwrite = true;
};

struct SaveFileAnswer {
    std::string path;     // full path chosen
    int filterIndex = 1;  // entry selected when the user accepted
};

class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    // A message box with one OK button. May return before it is answered.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
    // A message that tells of a state (an input lost) without asking
    // anything: it holds the keys of no window, so that what the program does
    // meanwhile goes on under the user's hands, and it stands until it is read
    // or WithdrawNotice takes it back when the state has ended. One with the
    // text and caption of a notice standing is not shown twice. Where notices
    // cannot be taken back (a console), it is a message.
    virtual void Notice(const std::string& text, const std::string& caption) {
        MessageBox(text, caption);
    }
    // The state a notice told of has ended: the notice goes, if it stands.
    virtual void WithdrawNotice(const std::string& /*text*/, const std::string& /*caption*/) {}
    // nullopt when the user cancels.
    virtual std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) = 0;
    // A folder chosen in the folder dialog titled `caption` and opened at
    // `start`, without a trailing separator; nullopt when the user cancels.
    virtual std::optional<std::string> ChooseFolder(const std::string& caption,
                                                    const std::string& start) = 0;
    // A file to read, chosen in the open dialog titled `caption` and opened
    // at `start` (a file or a folder); nullopt when the user cancels.
    virtual std::optional<std::string> OpenFile(const std::string& caption,
                                                const std::string& start) = 0;
    // The colour dialog, opened at `preset` (0x00BBGGRR) or, without one, at
    // whatever it showed last. The chosen colour; nullopt when the user cancels.
    virtual std::optional<uint32_t> ChooseColour(std::optional<uint32_t> preset) = 0;
    // A one-line input box with OK and Cancel, the text shown as typed. The text
    // accepted with OK; nullopt when the user cancels.
    virtual std::optional<std::string> InputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& initial) = 0;
};

}  // namespace tarnwick
