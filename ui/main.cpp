// Tarnwick: the desktop program. Start-up in the meter's order: join the list
// of running copies, make the application, create the main window (its
// creation loads the settings and opens capture), show it and run the loop.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <memory>

#include "app/meter_app.h"
#include "app/window_day_log.h"
#include "core/capture_format.h"
#include "platform/audio_devices.h"
#include "platform/jpeg_image_writer.h"
#include "platform/posix_row_files.h"
#include "platform/posix_text_files.h"
#include "platform/qt_desktop_shell.h"
#include "platform/qt_regional_formats.h"
#include "platform/qt_text_rasteriser.h"
#include "platform/qt_user_dialogs.h"
#include "platform/reg_file_settings_store.h"
#include "platform/running_copies.h"
#include "platform/steady_time.h"
#include "platform/termination_signals.h"
#include "settings/settings_store.h"
#include "ui/focus_ring.h"
#include "ui/main_window.h"

namespace {

using namespace tarnwick;

// The program file's full path: the key of the running-copies list.
std::string ProgramPath() {
    const QFileInfo self("/proc/self/exe");
    return self.canonicalFilePath().toStdString();
}

// Ends the program at once, as the sound-device failures require, or closes
// the main window the normal way; either once the user has read the message
// that says why.
class ApplicationControl : public IProcessControl {
public:
    explicit ApplicationControl(QtUserDialogs& dialogs) : dialogs_(dialogs) {}
    void EndProgram() override {
        // While the message is read, the loop runs on; a further failure then
        // finds the program already on its way out.
        if (ending_) {
            return;
        }
        ending_ = true;
        dialogs_.AnswerStandingMessages();
        std::_Exit(1);
    }
    void CloseMainWindow() override {
        dialogs_.AnswerStandingMessages();
        if (window != nullptr) {
            window->close();
        }
    }
    QWidget* window = nullptr;

private:
    QtUserDialogs& dialogs_;
    bool ending_ = false;
};

// The program ends when its main window closes, whatever else stands open: a
// message, the setup dialog or the Save As dialog each run or wait in an event
// loop of their own, and every one of those loops is left.
class EndWithMainWindow : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    RunningCopies copies(RunningCopies::DefaultFolder(), ProgramPath());

    // The meter window repaints a few columns of its picture per frame. Through
    // X11 shared memory every such frame waits for the server to finish with
    // the last one; sending the few columns over the connection costs less.
    // A user's own setting wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(icons);  // the artwork, compiled into the windows' library
    // The application's name only: a display name would be added to every
    // window title (" — Tarnwick"), and the titles are the windows' own.
    QApplication::setApplicationName("Tarnwick");
    QApplication::setWindowIcon(QIcon(":/icons/tarnwick.svg"));
    const FocusRing focusRing;  // the keyboard focus seen in every window

    SteadyClock clock;
    QtTimers timers;
    SystemWaveInput input;
    SystemWaveOutput output;
    QtRegionalFormats formats;
    QtUserDialogs dialogs;
    dialogs.HoldMessages();  // until the main window shows
    ApplicationControl process(dialogs);
    const std::string settingsPath = DefaultSettingsFilePath();
    RegFileSettingsStore store(settingsPath);
    PosixTextFiles files;
    QtDesktopShell shell;
    JpegImageWriter images;
    QtTextRasteriser text;
    MeterApp app(MeterPorts{clock, timers, input, output, formats, dialogs, process, store, files,
                            shell, images, &text});

    const int32_t instance = InstanceNumberFor(copies.Count());
    TSettingsStore settingsStore(store, dialogs);
    const std::string documents = shell.DocumentsPath().value_or(std::string());
    if (!documents.empty()) {
        // The program's own folder in the documents folder is where snapshots
        // and results go until the user chooses others; it is made here, as an
        // installer would, so that the first snapshot of a new user works.
        QDir().mkpath(QString::fromStdString(DefaultResultsFolder(documents)));
    }
    const TMeterSettings loaded = settingsStore.LoadSettings(instance, documents);

    auto window = std::make_unique<TForm1>(
        app, dialogs, shell, text,
        [&](const TForm1& form) {
            settingsStore.SaveWindowState(app.settings(), form.Placement());
        },
        [&](const TForm1& form) { settingsStore.SaveSettings(app.settings(), form.Placement()); });
    process.window = window.get();
    dialogs.SetMainWindow(window.get());
    EndWithMainWindow endWithWindow;
    window->installEventFilter(&endWithWindow);
    // The end of the session, a shutdown or Ctrl+C close the window as the
    // user would, so the test's results and the window state are kept.
    TerminationSignals termination([&window] { window->close(); });
    app.KeepMeasuringThroughALostInput();
    // The calibrations are kept beside the settings they belong to.
    if (const size_t slash = settingsPath.find_last_of('/'); slash != std::string::npos) {
        app.KeepCalibrationHistoryIn(settingsPath.substr(0, slash + 1) +
                                     std::string(kCalibrationHistoryFileName));
    }
    if (!app.FormCreate(instance, loaded)) {
        dialogs.AnswerStandingMessages();  // a message held back still says why
        return 1;
    }
    // Loudness from every captured block, at the capture's rate; measured
    // after the settings are applied, so that it keeps the results period's
    // figures when the stored settings ask for them.
    app.MeasureLoudness(kSampleRate, true);
    // Sound level too: shown in its own window and written to the results
    // only when asked for.
    std::string soundLevelError;
    if (std::string error; !app.UseMicResponse(error)) {
        // Told, not hidden: the levels are the microphone's own until a
        // response is chosen again.
        dialogs.MessageBox(
            "The microphone response cannot be used, so sound levels are not "
            "corrected for it: " +
                error + ".",
            "Sound Level Setup");
    }
    app.MeasureSoundLevel(kSampleRate, 2, true, soundLevelError);
    // The per-second log, when the settings ask for one.
    PosixRowFiles rowFiles;
    WindowDayLog dayLog(app, clock, timers, rowFiles, dialogs);
    window->SetDayLog(&dayLog);
    window->FormShow();
    dialogs.ShowHeldMessages();
    const int code = QApplication::exec();
    window->SetDayLog(nullptr);
    return code;
}
