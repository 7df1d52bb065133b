#pragma once
// Port: ending the program at once, as the sound-device failures require:
// nothing is saved and no close handler runs.

namespace tarnwick {

class IProcessControl {
public:
    virtual ~IProcessControl() = default;
    // Does not return in the real program. A test's recorder returns, so callers
    // stop their own work after calling it.
    virtual void EndProgram() = 0;
};

}  // namespace tarnwick
