#include "audio/capture_engine.h"

#include <utility>

#include "audio/test_signal.h"

namespace tarnwick {
namespace {

std::string WithoutLeadingBlanks(const std::string& name) {
    const size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first);
}

}  // namespace

TCaptureEngine::TCaptureEngine(IWaveInput& input, IWaveOutput& output, IUserDialogs& dialogs,
                               IProcessControl& process, std::function<int32_t()> blockBytes,
                               std::function<void()> resetDeviceSettings)
    : input_(input),
      output_(output),
      dialogs_(dialogs),
      process_(process),
      blockBytes_(std::move(blockBytes)),
      resetDeviceSettings_(std::move(resetDeviceSettings)) {}

void TCaptureEngine::Fail(const std::string& text, const std::string& caption) {
    Tell(text, caption);
    if (!quiet_) {
        process_.EndProgram();
    }
}

void TCaptureEngine::Tell(const std::string& text, const std::string& caption) {
    if (!quiet_) {
        dialogs_.MessageBox(text, caption);
    } else if (quietFailure_.empty()) {
        quietFailure_ = caption == kTarnwickErrorCaption ? text : caption + ": " + text;
    }
}

std::vector<std::string> TCaptureEngine::ListInputDevices() {
    std::vector<std::string> names;
    const int count = input_.DeviceCount();
    for (int id = 0; id < count; ++id) {
        names.push_back(WithoutLeadingBlanks(input_.DeviceName(id)));
    }
    return names;
}

void TCaptureEngine::FindInputDevice(TMeterSettings& settings) {
    DeviceList = ListInputDevices();
    if (DeviceList.size() < 2) {
        settings.DeviceIndex = 0;
    }
    const std::string first = DeviceList.empty() ? std::string() : DeviceList.front();
    if (settings.DeviceName.empty()) {
        settings.DeviceIndex = 0;
        settings.DeviceName = first;
        return;
    }
    int32_t found = -1;
    for (size_t id = 0; id < DeviceList.size(); ++id) {
        if (DeviceList[id] == settings.DeviceName) {
            found = static_cast<int32_t>(id);  // the last one that matches
        }
    }
    if (found >= 0) {
        settings.DeviceIndex = found;
        return;
    }
    dialogs_.MessageBox("Input device  \"" + settings.DeviceName + "\"  not found.\n\r\n\r" +
                            "The default device will be used.",
                        kTarnwickErrorCaption);
    settings.DeviceIndex = 0;
    settings.DeviceName = first;
}

bool TCaptureEngine::OpenCapture(int32_t deviceIndex, TSampleStore& store,
                                 BlockFilledHandler onFilled, DeviceFailedHandler onFailed) {
    if (!OpenInput(deviceIndex, std::move(onFilled), std::move(onFailed))) {
        return false;
    }

    OutstandingBlocks = 0;
    for (int i = 0; i < kBlocksQueued; ++i) {
        if (!QueueBlock("InPrepare error", "Add buffer error")) {
            return false;
        }
    }
    if (input_.Start() != kWaveOk) {
        Fail("Start error");
        return false;
    }
    return OpenPlayback(store);
}

bool TCaptureEngine::OpenInput(int32_t deviceIndex, BlockFilledHandler onFilled,
                               DeviceFailedHandler onFailed) {
    const int query = input_.Query(deviceIndex, kCaptureFormat);
    if (query == kWaveBadFormat) {
        Tell(
            "Wave Format Error. Your soundcard may not be suitable for this program or there may "
            "be a hardware problem.");
    }
    if (query != kWaveOk && !quiet_) {
        resetDeviceSettings_();
    }
    if (query == kWaveBadFormat) {
        if (!quiet_) {
            process_.EndProgram();
        }
        return false;
    }

    ++generation_;
    if (input_.Open(deviceIndex, kCaptureFormat, std::move(onFilled), std::move(onFailed)) !=
        kWaveOk) {
        if (quiet_) {
            Tell("the sound server would not open it");
            return false;
        }
        dialogs_.MessageBox(kInputLostMessage, kTarnwickErrorCaption);
        resetDeviceSettings_();
        process_.EndProgram();
        return false;
    }
    inputOpen_ = true;
    return true;
}

bool TCaptureEngine::OpenPlayback(TSampleStore& store) {
    // In the playback failures the specific words are the caption and the text
    // is "Error".
    const int query = output_.Query(0, kCaptureFormat);
    if (query == kWaveBadFormat) {
        Fail("Error", "Play format not supported");
        return false;
    }
    if (output_.Open(0, kCaptureFormat) != kWaveOk) {
        Fail(kPlaybackErrorText, kNoPlayHandleCaption);
        return false;
    }
    if (output_.Prepare(store.data(), store.capacity()) != kWaveOk) {
        Fail("Out Prepare error", "error");
        return false;
    }
    return true;
}

bool TCaptureEngine::SwitchInputDevice(TMeterSettings& settings, int32_t index,
                                       const std::string& name, TSampleStore& store,
                                       BlockFilledHandler onFilled, DeviceFailedHandler onFailed) {
    bool open = true;
    if (index != settings.DeviceIndex) {
        settings.DeviceIndex = index;
        // The old device gives its queued blocks back; they are recognised as
        // the old device's and dropped, and the old device is released.
        input_.Reset();
        output_.Reset();
        if (inputOpen_) {
            input_.Close();
            output_.Close();
            inputOpen_ = false;
        }
        open = OpenCapture(index, store, std::move(onFilled), std::move(onFailed));
    }
    settings.DeviceIndex = index;
    settings.DeviceName = name;
    return open;
}

bool TCaptureEngine::FindWantedInput(TMeterSettings& settings, const std::string& wanted) {
    DeviceList = ListInputDevices();
    int32_t found = -1;
    if (wanted.empty()) {
        if (!DeviceList.empty() && DeviceList.front() != kTestSignalDeviceName) {
            found = 0;
        }
    } else {
        for (size_t id = 0; id < DeviceList.size(); ++id) {
            if (DeviceList[id] == wanted) {
                found = static_cast<int32_t>(id);  // the last one that matches, as at the start
            }
        }
    }
    if (found < 0) {
        return false;
    }
    settings.DeviceIndex = found;
    settings.DeviceName = DeviceList[static_cast<size_t>(found)];
    return true;
}

void TCaptureEngine::CloseInput() {
    input_.Reset();
    output_.Reset();
    if (inputOpen_) {
        input_.Close();
        output_.Close();
        inputOpen_ = false;
    }
    // Blocks the old device still hands back are not measured.
    ++generation_;
    OutstandingBlocks = 0;
}

bool TCaptureEngine::ReopenInput(TMeterSettings& settings, const std::string& wanted,
                                 TSampleStore& store, BlockFilledHandler onFilled,
                                 DeviceFailedHandler onFailed, std::string& failure) {
    CloseInput();
    if (!FindWantedInput(settings, wanted)) {
        // The built-in input is always listed: alone, no server answered.
        const bool serverListed = DeviceList.size() > 1 || (DeviceList.size() == 1 &&
                                                            DeviceList[0] != kTestSignalDeviceName);
        failure = serverListed ? "not listed by the sound server" : "no sound server answers";
        return false;
    }
    quiet_ = true;
    quietFailure_.clear();
    const bool opened =
        OpenCapture(settings.DeviceIndex, store, std::move(onFilled), std::move(onFailed));
    quiet_ = false;
    if (!opened) {
        failure = quietFailure_.empty() ? "it could not be opened" : quietFailure_;
        CloseInput();
    }
    return opened;
}

bool TCaptureEngine::ReleaseBlock(CaptureBlock& block) {
    if (input_.Unprepare(block) != kWaveOk) {
        Fail("In-UnPrepare error");
        return false;
    }
    return true;
}

bool TCaptureEngine::ReissueBlock() {
    return QueueBlock("In Prepare error 2", "Add buffer error 2");
}

bool TCaptureEngine::QueueBlock(const char* prepareError, const char* addError) {
    CaptureBlockPtr block = NewCaptureBlock(blockBytes_());
    block->generation = generation_;
    if (input_.Prepare(*block) != kWaveOk) {
        Fail(prepareError);
        return false;
    }
    if (input_.AddBuffer(std::move(block)) != kWaveOk) {
        Fail(addError);
        return false;
    }
    OutstandingBlocks += 1;
    return true;
}

}  // namespace tarnwick
