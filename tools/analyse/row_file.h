#pragma once
// A CSV log file written in whole rows: rows are gathered and written in large
// pieces; a write that fails or comes up short is cut back to the last whole
// row, so a full disk leaves a file that ends in a complete row. After the
// first failure nothing more is written.

#include <string>

namespace tarnwick {

class RowFile {
public:
    RowFile() = default;
    ~RowFile();
    RowFile(const RowFile&) = delete;
    RowFile& operator=(const RowFile&) = delete;

    // Creates the file (emptying an existing one) with its header row. False
    // when it cannot be created; Error() then says why.
    bool Open(const std::string& path, const std::string& header);
    bool IsOpen() const { return fd_ >= 0; }
    // Whether rows are still taken: open, and nothing has failed.
    bool Taking() const { return fd_ >= 0 && error_.empty(); }

    // The rows gathered so far; the caller appends whole rows, ending in '\n',
    // and then calls RowAdded.
    std::string& Pending() { return pending_; }
    void RowAdded();

    // Writes what is gathered and closes the file. True when every row reached
    // it; false after any failure.
    bool Close();
    const std::string& Error() const { return error_; }

private:
    void Flush();

    int fd_ = -1;
    std::string pending_;    // whole rows not yet written
    long long written_ = 0;  // bytes of whole rows in the file
    std::string error_;
};

}  // namespace tarnwick
