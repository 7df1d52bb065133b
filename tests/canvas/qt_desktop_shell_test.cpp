#include "platform/qt_desktop_shell.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <vector>

namespace tarnwick {

// Stands in for the desktop's handlers: QDesktopServices hands every address
// of a registered scheme to this object instead of launching a program.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char* scheme : {"file", "http", "https"}) {
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Record");
        }
    }
    ~UrlRecorder() override {
        for (const char* scheme : {"file", "http", "https"}) {
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        }
    }
    std::vector<QUrl> opened;

public slots:
    void Record(const QUrl& url) { opened.push_back(url); }
};

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

class QtDesktopShellTest : public testing::Test {
protected:
    std::string Path(const char* name) const {
        return folder_.filePath(QString::fromLatin1(name)).toStdString();
    }
    void Touch(const char* name) const {
        QFile file(QString::fromStdString(Path(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir folder_;
    QtDesktopShell shell_;
};

TEST_F(QtDesktopShellTest, DocumentsFolderFollowsTheUserDirectories) {
    const QByteArray home = folder_.path().toUtf8();
    ScopedEnv homeVar("HOME", home);
    ScopedEnv configVar("XDG_CONFIG_HOME", home + "/config");
    EXPECT_EQ(shell_.DocumentsPath(), Path("Documents"));

    ASSERT_TRUE(QDir(folder_.path()).mkpath("config"));
    QFile dirs(folder_.filePath("config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"$HOME/Papers/\"\n");
    dirs.close();
    EXPECT_EQ(shell_.DocumentsPath(), Path("Papers"));
}

TEST_F(QtDesktopShellTest, DirectoryExistsFollowsLinks) {
    ASSERT_TRUE(QDir(folder_.path()).mkdir("folder"));
    Touch("file");
    ASSERT_TRUE(
        QFile::link(QString::fromStdString(Path("folder")), QString::fromStdString(Path("link"))));
    ASSERT_TRUE(QFile::link(QString::fromStdString(Path("gone")),
                            QString::fromStdString(Path("dangling"))));
    EXPECT_TRUE(shell_.DirectoryExists(Path("folder")));
    EXPECT_TRUE(shell_.DirectoryExists(Path("folder") + "/"));
    EXPECT_TRUE(shell_.DirectoryExists(Path("link")));
    EXPECT_FALSE(shell_.DirectoryExists(Path("file")));
    EXPECT_FALSE(shell_.DirectoryExists(Path("dangling")));
    EXPECT_FALSE(shell_.DirectoryExists(Path("gone")));
    EXPECT_FALSE(shell_.DirectoryExists(""));
}

TEST_F(QtDesktopShellTest, OpenHandsFilesAndAddressesToTheDesktop) {
    UrlRecorder desktop;
    Touch("index.html");
    ASSERT_TRUE(QDir(folder_.path()).mkdir("Tarnwick"));

    EXPECT_EQ(shell_.Open(Path("index.html")), kShellOk);
    EXPECT_EQ(shell_.Open("https://example.org/help?page=1#top"), kShellOk);
    EXPECT_EQ(shell_.Explore(Path("Tarnwick") + "/"), kShellOk);
    ASSERT_EQ(desktop.opened.size(), 3u);
    EXPECT_EQ(desktop.opened[0], QUrl::fromLocalFile(QString::fromStdString(Path("index.html"))));
    EXPECT_EQ(desktop.opened[1].toString(), "https://example.org/help?page=1#top");
    EXPECT_EQ(desktop.opened[2].toLocalFile().toStdString(), Path("Tarnwick") + "/");

    // Missing targets never reach the desktop.
    EXPECT_EQ(shell_.Open(Path("missing.html")), kShellFileNotFound);
    EXPECT_EQ(shell_.Explore(Path("missing")), kShellFileNotFound);
    EXPECT_EQ(shell_.Open(""), kShellFileNotFound);
    EXPECT_EQ(shell_.Open("http://[example"), kShellNoAssociation);
    EXPECT_EQ(desktop.opened.size(), 3u);
}

}  // namespace
}  // namespace tarnwick

#include "qt_desktop_shell_test.moc"
