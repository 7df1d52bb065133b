#pragma once
// The list of running copies of the program: one lock file per process, held
// with flock for the life of the process, in a folder shared by the user's
// processes. A copy that ends, however it ends, releases its lock, so a file
// whose lock can be taken belongs to a copy that is gone and is removed. The
// list is read and changed under a lock on the folder's own lock file, so two
// copies starting together are counted correctly.

#include <string>

namespace tarnwick {

class RunningCopies {
public:
    // Adds this process to the list of copies of `programPath` (compared without
    // regard to case) kept in `folder` (created when missing). A failure leaves
    // the process out of the list; it is never turned away.
    RunningCopies(const std::string& folder, const std::string& programPath);
    // Leaves the list.
    ~RunningCopies();
    RunningCopies(const RunningCopies&) = delete;
    RunningCopies& operator=(const RunningCopies&) = delete;

    // Copies of the program running now, this one included (at least 1).
    int Count() const;

    // The folder for the list: $XDG_RUNTIME_DIR, else the temporary folder, with
    // "tarnwick-copies" appended.
    static std::string DefaultFolder();

private:
    std::string folder_;
    std::string key_;   // the program's path, folded to lower case and hashed
    std::string file_;  // this process's lock file
    int fd_ = -1;
};

// 1 when this is the only running copy, else 2.
inline int InstanceNumberFor(int runningCopies) {
    return runningCopies <= 1 ? 1 : 2;
}

}  // namespace tarnwick
