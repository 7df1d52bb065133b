#include "audio/capture_engine.h"

#include <utility>

namespace tarnwick {

TCaptureEngine::TCaptureEngine(IWaveInput& input, IUserDialogs& dialogs, IProcessControl& process,
                               std::function<int32_t()> blockBytes,
                               std::function<void()> resetDeviceSettings)
    : input_(input),
      dialogs_(dialogs),
      process_(process),
      blockBytes_(std::move(blockBytes)),
      resetDeviceSettings_(std::move(resetDeviceSettings)) {}

void TCaptureEngine::Fail(const std::string& text) {
    dialogs_.MessageBox(text, kTarnwickErrorCaption);
    process_.EndProgram();
}

bool TCaptureEngine::OpenCapture(int32_t deviceIndex, BlockFilledHandler onFilled) {
    const int query = input_.Query(deviceIndex, kCaptureFormat);
    if (query == kWaveBadFormat) {
        dialogs_.MessageBox(
            "Wave Format Error. Your soundcard may not be suitable for this program or there may "
            "be a hardware problem.",
            kTarnwickErrorCaption);
    }
    if (query != kWaveOk) {
        resetDeviceSettings_();
    }
    if (query == kWaveBadFormat) {
        process_.EndProgram();
        return false;
    }

    if (input_.Open(deviceIndex, kCaptureFormat, std::move(onFilled)) != kWaveOk) {
        dialogs_.MessageBox(
            "Soundcard not available, input channel may be in use by another program, or "
            "microphone not plugged in.",
            kTarnwickErrorCaption);
        resetDeviceSettings_();
        process_.EndProgram();
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
    return true;
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
