#pragma once
// The user's folders from QStandardPaths and the desktop's handlers through
// QDesktopServices (xdg-open and the portal on Linux desktops). Open and
// Explore need a QGuiApplication.

#include "core/ports/desktop_shell.h"

namespace tarnwick {

class QtDesktopShell : public IDesktopShell {
public:
    // The XDG documents folder (XDG_DOCUMENTS_DIR in user-dirs.dirs, else
    // ~/Documents), whether or not it exists yet.
    std::optional<std::string> DocumentsPath() override;
    bool DirectoryExists(const std::string& path) override;
    // `target` is a local path, or an http or https address handed over as it
    // is. kShellFileNotFound when the local path does not exist (the desktop is
    // not asked), kShellNoAssociation when the desktop cannot open it.
    int Open(const std::string& target) override;
    // The same codes as Open, for a local folder.
    int Explore(const std::string& folder) override;
};

}  // namespace tarnwick
