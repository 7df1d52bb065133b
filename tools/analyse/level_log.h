#pragma once
// The level log of tarnwick-analyse (--levels): a CSV file with a header row and
// one row per measured block, numbers written with a decimal point whatever the
// locale, so that spreadsheets and scripts read it the same everywhere.
//
// Rows are gathered and written whole; a write that fails or comes up short is
// cut back to the last whole row, so a full disk leaves a file that ends in a
// complete row. After the first failure nothing more is written.

#include <string>

namespace tarnwick {

class MeterApp;

class LevelLog {
public:
    LevelLog() = default;
    ~LevelLog();
    LevelLog(const LevelLog&) = delete;
    LevelLog& operator=(const LevelLog&) = delete;

    // Creates the file (emptying an existing one) and writes the header row.
    // False when it cannot be created; Error() then says why.
    bool Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }

    // The row of block `block` (counted from 1) delivered at `tick`.
    void AddRow(uint64_t block, uint32_t tick, const MeterApp& app);

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
