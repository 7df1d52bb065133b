#pragma once
// Port: ending the program. The sound-device failures at start-up end it at
// once: nothing is saved and no close handler runs.

namespace tarnwick {

class IProcessControl {
public:
    virtual ~IProcessControl() = default;
    // Does not return in the real program. A test's recorder returns, so callers
    // stop their own work after calling it.
    virtual void EndProgram() = 0;
    // Closes the main window the normal way, as the user's close box does: the
    // window state and the attached results file are stored.
    virtual void CloseMainWindow() = 0;
};

}  // namespace tarnwick
