#include "platform/qt_user_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <functional>

namespace tarnwick {
namespace {

constexpr int kModalPollMs = 10;
constexpr int kModalPollLimit = 300;

// Answers the next modal widget from inside its own event loop, as a user would.
void AnswerNextModal(std::function<void(QWidget&)> answer, int attempt = 0) {
    QTimer::singleShot(kModalPollMs, [answer = std::move(answer), attempt]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            answer(*modal);
        } else if (attempt < kModalPollLimit) {
            AnswerNextModal(std::move(answer), attempt + 1);
        } else {
            ADD_FAILURE() << "no modal dialog appeared";
        }
    });
}

// Hands each prepared dialog to the test instead of running its event loop.
class ScriptedDialogs : public QtUserDialogs {
public:
    using QtUserDialogs::QtUserDialogs;
    std::function<void(QDialog&)> answer;

protected:
    int Exec(QDialog& dialog) override {
        answer(dialog);
        return dialog.result();
    }
};

// While alive, answers a modal widget opened from a nested event loop, such
// as the warning QFileDialog::accept() raises. Scoped so that it cannot fire
// into a later test's dialog.
class NestedModalAnswer {
public:
    explicit NestedModalAnswer(std::function<void(QWidget&)> answer) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [answer = std::move(answer)] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                answer(*modal);
            }
        });
        timer_.start(0);
    }

private:
    QTimer timer_;
};

void CloseUnexpected(QWidget& modal) {
    ADD_FAILURE() << "unexpected " << modal.metaObject()->className();
    modal.close();
}

template <typename Dialog>
Dialog& As(QDialog& dialog) {
    auto* typed = qobject_cast<Dialog*>(&dialog);
    EXPECT_NE(typed, nullptr);
    return *typed;
}

// A message returns at once and stands until answered, owned by the window
// it serves; the same message is not stacked a second time while it stands.
TEST(QtUserDialogsTest, MessageStandsWithoutBlockingAndIsNotShownTwice) {
    QWidget owner;
    QtUserDialogs dialogs(&owner);
    dialogs.MessageBox("No device.\n\r\n\rCheck <the> cable.", " Tarnwick Error");
    dialogs.MessageBox("No device.\n\r\n\rCheck <the> cable.", " Tarnwick Error");
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(owner.findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(box->parentWidget(), &owner);
    EXPECT_EQ(box->windowTitle(), QStringLiteral(" Tarnwick Error"));
    EXPECT_EQ(box->text(), QStringLiteral("No device.\n\nCheck <the> cable."));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);

    // Another message while the first stands belongs to it.
    dialogs.MessageBox("Disk full", "Tarnwick");
    auto* second = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->parentWidget(), box);
    second->buttons().first()->click();
    box->buttons().first()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(owner.findChildren<QMessageBox*>().empty());

    // Answered, the same message shows again the next time.
    dialogs.MessageBox("Disk full", "Tarnwick");
    EXPECT_EQ(owner.findChildren<QMessageBox*>().size(), 1);
    AnswerNextModal([](QWidget& modal) { static_cast<QDialog&>(modal).accept(); });
    dialogs.AnswerStandingMessages();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(owner.findChildren<QMessageBox*>().empty());
}

TEST(QtUserDialogsTest, LineBreaksInEveryOrderBecomeNewlines) {
    EXPECT_EQ(TextWithLineBreaks("a\r\nb\n\rc\rd\ne"), QStringLiteral("a\nb\nc\nd\ne"));
    EXPECT_EQ(TextWithLineBreaks("a\n\nb\r\n\r\nc"), QStringLiteral("a\n\nb\n\nc"));
}

TEST(QtUserDialogsTest, FilterEntriesBecomeCaseInsensitiveNameFilters) {
    EXPECT_EQ(NameFiltersFromFilter("Results|*.TXT|Pictures|*.JPG; *.Bmp|All files|*.*|"),
              QStringList({"Results (*.TXT *.txt)", "Pictures (*.JPG *.jpg *.Bmp *.bmp *.BMP)",
                           "All files (*.*)"}));
    // Without the closing separator, and with a description left over.
    EXPECT_EQ(NameFiltersFromFilter("Text|*.txt|Orphan"), QStringList({"Text (*.txt *.TXT)"}));
    EXPECT_TRUE(NameFiltersFromFilter("").isEmpty());
}

class SaveFileTest : public testing::Test {
protected:
    QTemporaryDir folder_;
    ScriptedDialogs dialogs_;
    SaveFileRequest request_{"Results|*.TXT|Pictures|*.JPG;*.BMP|", 2, "level.jpg",
                             folder_.path().toStdString(), true};
    QString Path(const char* name) const { return folder_.filePath(QString::fromLatin1(name)); }
};

TEST_F(SaveFileTest, OpensAtRequestAndReturnsChosenFilterAndPath) {
    dialogs_.answer = [&](QDialog& dialog) {
        auto& files = As<QFileDialog>(dialog);
        EXPECT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(files.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(files.defaultSuffix().isEmpty());
        EXPECT_EQ(files.directory().absolutePath(), folder_.path());
        ASSERT_EQ(files.nameFilters().size(), 2);
        EXPECT_TRUE(files.selectedNameFilter().startsWith(QStringLiteral("Pictures")));
        EXPECT_EQ(files.selectedFiles().value(0), Path("level.jpg"));
        files.selectNameFilter(files.nameFilters()[0]);
        files.selectFile(QStringLiteral("morning.txt"));
        NestedModalAnswer guard(CloseUnexpected);
        dialog.accept();  // QFileDialog::accept, with its own checks
    };
    const std::optional<SaveFileAnswer> answer = dialogs_.SaveFile(request_);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->path, Path("morning.txt").toStdString());
    EXPECT_EQ(answer->filterIndex, 1);
}

TEST_F(SaveFileTest, CancelGivesNothing) {
    dialogs_.answer = [](QDialog& dialog) { dialog.reject(); };
    EXPECT_FALSE(dialogs_.SaveFile(request_));
}

TEST_F(SaveFileTest, ExistingFileIsConfirmedOnlyWhenAsked) {
    QFile existing(Path("level.jpg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    for (const bool prompt : {true, false}) {
        request_.promptOverwrite = prompt;
        bool confirmed = false;
        dialogs_.answer = [&](QDialog& dialog) {
            NestedModalAnswer confirm([&](QWidget& modal) {
                auto* box = qobject_cast<QMessageBox*>(&modal);
                ASSERT_NE(box, nullptr);
                confirmed = true;
                box->button(QMessageBox::Yes)->click();
            });
            dialog.accept();
        };
        const std::optional<SaveFileAnswer> answer = dialogs_.SaveFile(request_);
        ASSERT_TRUE(answer) << "prompt " << prompt;
        EXPECT_EQ(answer->filterIndex, 2);
        EXPECT_EQ(confirmed, prompt);
    }
}

TEST(QtUserDialogsTest, FolderComesBackWithoutTrailingSeparatorOrNothingOnCancel) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Logs")));
    ScriptedDialogs dialogs;
    dialogs.answer = [&](QDialog& dialog) {
        auto& files = As<QFileDialog>(dialog);
        EXPECT_EQ(files.fileMode(), QFileDialog::Directory);
        EXPECT_EQ(files.windowTitle(), "Choose Snapshot Folder");
        EXPECT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(files.directory().absolutePath(), folder.path());
        // Typed with a trailing separator, as a path completer leaves it.
        files.selectFile(QStringLiteral("Logs/"));
        NestedModalAnswer guard(CloseUnexpected);
        dialog.accept();
    };
    EXPECT_EQ(dialogs.ChooseFolder("Choose Snapshot Folder", folder.path().toStdString() + "/"),
              folder.filePath(QStringLiteral("Logs")).toStdString());

    dialogs.answer = [](QDialog& dialog) { dialog.reject(); };
    EXPECT_FALSE(dialogs.ChooseFolder("Choose Snapshot Folder", folder.path().toStdString()));
}

TEST(QtUserDialogsTest, ColourOpensAtPresetOrLastShownAndReturnsBgr) {
    ScriptedDialogs dialogs;
    QColor opened;
    std::optional<QColor> choice;
    dialogs.answer = [&](QDialog& dialog) {
        auto& colours = As<QColorDialog>(dialog);
        opened = colours.currentColor();
        if (choice) {
            colours.setCurrentColor(*choice);
            colours.accept();
        } else {
            colours.reject();
        }
    };

    EXPECT_FALSE(dialogs.ChooseColour(std::nullopt));
    EXPECT_EQ(opened, QColor(Qt::black));

    choice = QColor(0x12, 0x34, 0x56);
    EXPECT_EQ(dialogs.ChooseColour(0xFF336699u), 0x00563412u);
    EXPECT_EQ(opened, QColor(0x99, 0x66, 0x33));

    choice.reset();
    EXPECT_FALSE(dialogs.ChooseColour(std::nullopt));
    EXPECT_EQ(opened, QColor(0x12, 0x34, 0x56));

    // A cancelled preset is still the colour the dialog showed last.
    EXPECT_FALSE(dialogs.ChooseColour(0x000000FFu));
    EXPECT_FALSE(dialogs.ChooseColour(std::nullopt));
    EXPECT_EQ(opened, QColor(Qt::red));
}

TEST(QtUserDialogsTest, InputBoxReturnsTypedTextOrNothingOnCancel) {
    ScriptedDialogs dialogs;
    dialogs.answer = [](QDialog& dialog) {
        auto& input = As<QInputDialog>(dialog);
        EXPECT_EQ(input.windowTitle(), QStringLiteral(" Password"));
        EXPECT_EQ(input.labelText(), QStringLiteral("Enter the password"));
        EXPECT_EQ(input.textValue(), QStringLiteral("old"));
        EXPECT_EQ(input.textEchoMode(), QLineEdit::Normal);
        input.setTextValue(QStringLiteral("Bench 2"));
        input.accept();
    };
    EXPECT_EQ(dialogs.InputBox(" Password", "Enter the password", "old"), "Bench 2");

    dialogs.answer = [](QDialog& dialog) { dialog.reject(); };
    EXPECT_FALSE(dialogs.InputBox(" Password", "Enter the password", "old"));
}

}  // namespace
}  // namespace tarnwick
