#pragma once
// TCaptureEngine: opens the chosen wave-input device in the one capture format,
// keeps three blocks queued with it and hands a fresh block back for every block
// the pipeline has processed. The same opening sequence opens the playback
// device and prepares the replay block over the test sample store. Every failing
// call ends the program after its message, except the format query's
// non-format failures.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/sample_store.h"
#include "core/meter_settings.h"
#include "core/ports/process_control.h"
#include "core/ports/user_dialogs.h"
#include "core/ports/wave_device.h"

namespace tarnwick {

inline const std::string kTarnwickErrorCaption = "Tarnwick Error";
// What the user is told when the input cannot be used.
inline const std::string kInputLostMessage =
    "Soundcard not available, input channel may be in use by another program, or microphone not "
    "plugged in.";
// The playback failures name the failure in the caption; the text is "Error".
inline const std::string kPlaybackErrorText = "Error";
inline const std::string kNoPlayHandleCaption = "Problem creating play handle";

class TCaptureEngine {
public:
    // `blockBytes` reads the BlockBytes in force when a block is queued.
    // `resetDeviceSettings` runs when the device query or open fails.
    TCaptureEngine(IWaveInput& input, IWaveOutput& output, IUserDialogs& dialogs,
                   IProcessControl& process, std::function<int32_t()> blockBytes,
                   std::function<void()> resetDeviceSettings);

    // The names of the input devices in device order, leading blanks removed.
    std::vector<std::string> ListInputDevices();

    // Builds DeviceList and sets DeviceIndex from `Device Name`; a name that is
    // not found is reported and the first device is used and remembered.
    void FindInputDevice(TMeterSettings& settings);

    // Opens input `deviceIndex` and output device 0, queues three blocks, starts
    // recording and prepares the replay block over `store`. Filled blocks go to
    // `onFilled`, a device that stops working to `onFailed`. False when the
    // program was ended.
    bool OpenCapture(int32_t deviceIndex, TSampleStore& store, BlockFilledHandler onFilled,
                     DeviceFailedHandler onFailed);

    // The input asked for and no other: the one named `wanted`, or, when
    // `wanted` is empty, the sound server's default input (device 0, unless
    // that is the built-in test signal, which is listed first only when no
    // server answers). Lists the devices afresh; sets DeviceIndex and
    // DeviceName and returns true when it is listed, else changes nothing.
    bool FindWantedInput(TMeterSettings& settings, const std::string& wanted);

    // Opens the input found by FindWantedInput (`wanted` as there) without a
    // message and without ending the program, whatever fails: a device that
    // cannot be opened is reported by a false return and `failure` saying
    // why, and the caller tries again later. The device used before is closed
    // first.
    bool ReopenInput(TMeterSettings& settings, const std::string& wanted, TSampleStore& store,
                     BlockFilledHandler onFilled, DeviceFailedHandler onFailed,
                     std::string& failure);
    // Closes the input (and playback) after it stopped delivering: blocks it
    // still holds are dropped.
    void CloseInput();

    // The setup dialog closed with device `index` named `name` selected: reopens
    // capture when the device changed, and remembers the choice either way.
    // False when the program was ended.
    bool SwitchInputDevice(TMeterSettings& settings, int32_t index, const std::string& name,
                           TSampleStore& store, BlockFilledHandler onFilled,
                           DeviceFailedHandler onFailed);

    // True when the block came from the device now open. Blocks that a device
    // switch returned from the previous device are not measured or queued again.
    bool IsCurrent(const CaptureBlock& block) const { return block.generation == generation_; }

    // Releases a block the device handed back. False when the program was ended.
    bool ReleaseBlock(CaptureBlock& block);

    // Queues one fresh block with the current BlockBytes. False when the program
    // was ended.
    bool ReissueBlock();

    IWaveOutput& output() { return output_; }

    std::vector<std::string> DeviceList;
    // Blocks queued with the device and not yet processed.
    int32_t OutstandingBlocks = 0;

private:
    bool QueueBlock(const char* prepareError, const char* addError);
    // The format query and the real open; false when the program was ended.
    bool OpenInput(int32_t deviceIndex, BlockFilledHandler onFilled, DeviceFailedHandler onFailed);
    bool OpenPlayback(TSampleStore& store);
    // Shows `text` and ends the program; during a quiet open only records it.
    void Fail(const std::string& text, const std::string& caption = kTarnwickErrorCaption);
    void Tell(const std::string& text, const std::string& caption = kTarnwickErrorCaption);

    IWaveInput& input_;
    IWaveOutput& output_;
    IUserDialogs& dialogs_;
    IProcessControl& process_;
    std::function<int32_t()> blockBytes_;
    std::function<void()> resetDeviceSettings_;
    uint32_t generation_ = 0;  // counts the opens
    bool inputOpen_ = false;
    bool quiet_ = false;        // a reopen: failures are returned, not shown
    std::string quietFailure_;  // the first failure of a quiet open
};

}  // namespace tarnwick
