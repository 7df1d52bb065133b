#include "platform/qt_desktop_shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace tarnwick {
namespace {

bool IsWebAddress(const QString& target) {
    return target.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           target.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

int OpenLocal(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return kShellFileNotFound;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? kShellOk : kShellNoAssociation;
}

}  // namespace

std::optional<std::string> QtDesktopShell::DocumentsPath() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    // user-dirs.dirs may spell the folder with a trailing slash; callers append
    // their own separator.
    return QDir::cleanPath(path).toStdString();
}

bool QtDesktopShell::DirectoryExists(const std::string& path) {
    return !path.empty() && QFileInfo(QString::fromStdString(path)).isDir();
}

int QtDesktopShell::Open(const std::string& target) {
    const QString qtarget = QString::fromStdString(target);
    if (IsWebAddress(qtarget)) {
        const QUrl url(qtarget);
        return url.isValid() && QDesktopServices::openUrl(url) ? kShellOk : kShellNoAssociation;
    }
    return OpenLocal(qtarget);
}

int QtDesktopShell::Explore(const std::string& folder) {
    return OpenLocal(QString::fromStdString(folder));
}

}  // namespace tarnwick
