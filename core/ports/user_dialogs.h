#pragma once
// Port: the modal dialogs the system asks the user through. Each returns only
// when the user has answered; the event loop keeps running meanwhile.

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
    // A message box with one OK button.
    virtual void MessageBox(const std::string& text, const std::string& caption) = 0;
    // nullopt when the user cancels.
    virtual std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) = 0;
    // A folder chosen in the folder dialog opened at `start`, without a trailing
    // separator; nullopt when the user cancels.
    virtual std::optional<std::string> ChooseFolder(const std::string& start) = 0;
    // The colour dialog, opened at `preset` (0x00BBGGRR) or, without one, at
    // whatever it showed last. The chosen colour; nullopt when the user cancels.
    virtual std::optional<uint32_t> ChooseColour(std::optional<uint32_t> preset) = 0;
    // A one-line input box with OK and Cancel, the text shown as typed. The text
    // accepted with OK; nullopt when the user cancels.
    virtual std::optional<std::string> InputBox(const std::string& caption,
                                                const std::string& prompt,
                                                const std::string& initial) = 0;
    // Makes the program's always-on-top windows ordinary for a while, so that a
    // message about the sound card is not hidden behind them, and puts them back
    // on top. Calls may nest; only the outermost pair acts. A program without
    // windows has nothing to do.
    virtual void NormalizeTopMosts() {}
    virtual void RestoreTopMosts() {}
};

}  // namespace tarnwick
