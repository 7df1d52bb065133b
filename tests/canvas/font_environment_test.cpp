// The canvas tests share one QGuiApplication for the run; fonts and the
// desktop's handlers need it. Without a display the offscreen platform stands in.

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <memory>

namespace tarnwick {
namespace {

class GuiApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[24] = "tarnwick_canvas_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

[[maybe_unused]] testing::Environment* const kGuiApplication =
    testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

// The scale's label positions assume Arial's metrics; fontconfig must map the
// name to Liberation Sans (package fonts-liberation2), which shares them.
TEST(FontEnvironment, ArialIsLiberationSans) {
    for (const bool bold : {false, true}) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(19);
        font.setBold(bold);
        const QFontInfo info(font);
        EXPECT_EQ(info.family(), QStringLiteral("Liberation Sans")) << "bold " << bold;
        EXPECT_EQ(info.bold(), bold);
    }
}

}  // namespace
}  // namespace tarnwick
