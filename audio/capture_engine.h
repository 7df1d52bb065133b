#pragma once
// TCaptureEngine: opens the chosen wave-input device in the one capture format,
// keeps three blocks queued with it and hands a fresh block back for every block
// the pipeline has processed. Every failing call ends the program after its
// message, except the format query's non-format failures.

#include <cstdint>
#include <functional>

#include "core/ports/process_control.h"
#include "core/ports/user_dialogs.h"
#include "core/ports/wave_device.h"

namespace tarnwick {

inline const std::string kTarnwickErrorCaption = "Tarnwick Error";

class TCaptureEngine {
public:
    // `blockBytes` reads the BlockBytes in force when a block is queued.
    // `resetDeviceSettings` runs when the device query or open fails.
    TCaptureEngine(IWaveInput& input, IUserDialogs& dialogs, IProcessControl& process,
                   std::function<int32_t()> blockBytes, std::function<void()> resetDeviceSettings);

    // Opens device `deviceIndex`, queues three blocks and starts recording; filled
    // blocks go to `onFilled`. False when the program was ended.
    bool OpenCapture(int32_t deviceIndex, BlockFilledHandler onFilled);

    // Releases a block the device handed back. False when the program was ended.
    bool ReleaseBlock(CaptureBlock& block);

    // Queues one fresh block with the current BlockBytes. False when the program
    // was ended.
    bool ReissueBlock();

    // Blocks queued with the device and not yet processed.
    int32_t OutstandingBlocks = 0;

private:
    bool QueueBlock(const char* prepareError, const char* addError);
    void Fail(const std::string& text);

    IWaveInput& input_;
    IUserDialogs& dialogs_;
    IProcessControl& process_;
    std::function<int32_t()> blockBytes_;
    std::function<void()> resetDeviceSettings_;
};

}  // namespace tarnwick
