#pragma once
// Port: the user's folders and the desktop's handlers for files and folders.

#include <optional>
#include <string>

namespace tarnwick {

// Results of Open and Explore, in the codes the help command reports.
constexpr int kShellOk = 42;  // above 32: success
constexpr int kShellFileNotFound = 2;
constexpr int kShellNoAssociation = 31;

class IDesktopShell {
public:
    virtual ~IDesktopShell() = default;
    // The user's documents folder, without a trailing separator; nullopt when it
    // cannot be found.
    virtual std::optional<std::string> DocumentsPath() = 0;
    // True when `path` is an existing directory (links followed).
    virtual bool DirectoryExists(const std::string& path) = 0;
    // Opens a file or web address with the desktop's handler.
    virtual int Open(const std::string& target) = 0;
    // Shows a folder in the desktop's file browser.
    virtual int Explore(const std::string& folder) = 0;
};

}  // namespace tarnwick
