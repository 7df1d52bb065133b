// The self-test the user runs passes on this build, every check of it.

#include "spl/self_test.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(SoundLevelSelfTest, EveryCheckPasses) {
    const std::vector<SelfTestRow> rows = RunSoundLevelSelfTest();
    const std::string table = FormatSelfTestTable(rows);
    EXPECT_TRUE(AllPassed(rows)) << table;
    const std::string all = std::to_string(rows.size());
    EXPECT_NE(table.find("\n" + all + " of " + all + " checks passed\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick
