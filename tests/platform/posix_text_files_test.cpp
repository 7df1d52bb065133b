#include "platform/posix_text_files.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tarnwick {
namespace {

TEST(PosixTextFiles, AppendToAMissingFileFailsWithErrorTwo) {
    PosixTextFiles files;
    const FileResult result = files.Append("/nonexistent-folder/results.txt", "line\r\n");
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_EQ(result.error, 2);
}

}  // namespace
}  // namespace tarnwick
