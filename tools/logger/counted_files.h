#pragma once
// The results files as the logger writes them, counted for its metrics: the
// records written and failed, and the time of the last one written.

#include <cstdint>

#include "core/ports/clock.h"
#include "core/ports/text_files.h"

namespace tarnwick {

class CountedFiles : public ITextFiles {
public:
    CountedFiles(ITextFiles& files, IClock& clock) : files_(files), clock_(clock) {}

    FileResult CreateWith(const std::string& path, const std::string& content) override {
        return files_.CreateWith(path, content);
    }
    FileResult Append(const std::string& path, const std::string& line) override {
        const FileResult result = files_.Append(path, line);
        if (result.ok()) {
            ++written;
            lastWrittenUtcMs = clock_.NowZoned().utcMs;
        } else {
            ++failed;
        }
        return result;
    }
    FileResult StartWith(const std::string& path, const std::string& header) override {
        return files_.StartWith(path, header);
    }
    bool Exists(const std::string& path) override { return files_.Exists(path); }
    FileResult Read(const std::string& path, std::string& content) override {
        return files_.Read(path, content);
    }
    FileResult ReadStart(const std::string& path, size_t bytes, std::string& content) override {
        return files_.ReadStart(path, bytes, content);
    }
    FileResult MakeFolder(const std::string& folder) override { return files_.MakeFolder(folder); }
    FileResult Claim(const std::string& path, bool sole, bool create) override {
        return files_.Claim(path, sole, create);
    }
    void Release(const std::string& path) override { files_.Release(path); }

    uint64_t written = 0;
    uint64_t failed = 0;
    int64_t lastWrittenUtcMs = 0;  // 0: none yet

private:
    ITextFiles& files_;
    IClock& clock_;
};

}  // namespace tarnwick
