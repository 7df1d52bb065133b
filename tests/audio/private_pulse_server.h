#pragma once
// A PulseAudio daemon of the test's own, with virtual devices only, in a
// temporary runtime folder that it removes again. No hardware and no desktop
// session are needed or touched.
//
// Devices (descriptions as the adapters list them):
//   sink    "Replay Out"  (null sink, the default sink); its monitor is the
//                          source "Monitor of Replay Out"
//   source  "  Tone In"   (pipe source fed through TonePipe(); note the
//                          leading blanks)
//   source  "Second In"   (pipe source, the default source)

#include <sys/types.h>

#include <string>

namespace tarnwick::test {

class PrivatePulseServer {
public:
    PrivatePulseServer();
    // Stops the daemon if it still runs and removes its folder.
    ~PrivatePulseServer();
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    enum class Outcome {
        kRunning,
        kUnavailable,  // no PulseAudio can start here
        kBroken,       // it runs, but without the devices the tests need
    };
    // Starts the daemon and waits until it accepts clients; Failure() says
    // why when it does not. After Kill() it starts again at the same address.
    Outcome Start();
    const std::string& Failure() const { return failure_; }

    // The server address for libpulse ("unix:/.../native").
    std::string Address() const { return "unix:" + dir_ + "/native"; }
    // The FIFO the "  Tone In" source reads: raw s16le stereo at 44100 Hz,
    // paced by whoever writes it.
    std::string TonePipe() const { return dir_ + "/tone.fifo"; }
    // The daemon's log, for failure messages.
    std::string Log() const;

    // Ends the daemon at once, as a crashed server goes away.
    void Kill();
    // Stops the daemon where it stands (SIGSTOP), as a hung server: it keeps
    // its connections and answers nothing until Thaw().
    void Freeze();
    void Thaw();
    // Runs pactl on this server with `args`; true when it succeeded.
    bool Pactl(const std::string& args);

private:
    void Stop(int signal);

    std::string dir_;
    std::string failure_;
    pid_t pid_ = -1;
};

}  // namespace tarnwick::test
