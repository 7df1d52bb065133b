// The Help menu's commands: the guide beside the program and the web site, and
// what the user is told when they cannot be opened.

#include <gtest/gtest.h>

#include "core/fakes.h"

namespace tarnwick {
namespace {

class RefusingShell : public fakes::FakeShell {
public:
    int Open(const std::string& target) override {
        opened.push_back(target);
        return result;
    }
    int result = kShellFileNotFound;
};

TEST(HelpCommand, OpensTheGuideBesideTheProgramOrSaysWhyNot) {
    fakes::AppHarness h;
    h.Create(DefaultSettings());
    h.app.Help2Click("/opt/tarnwick/bin");
    ASSERT_EQ(h.shell.opened.size(), 1u);
    EXPECT_EQ(h.shell.opened[0], "/opt/tarnwick/bin/Help/index.html");
    EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST(HelpCommand, FailuresShowTheCodeAndThePath) {
    struct Case {
        int code;
        std::string text;
    };
    for (const Case& c : {Case{2, "The specified file was not found (2) - /p/Help/index.html"},
                          Case{31,
                               "There is no application associated with the given filename "
                               "extension. (31) - /p/Help/index.html"},
                          Case{7, " (7) - /p/Help/index.html"}}) {
        SCOPED_TRACE(c.code);
        RefusingShell shell;
        shell.result = c.code;
        fakes::AppHarness h;
        MeterApp app(MeterPorts{h.clock, h.timers, h.wave, h.output, h.formats, h.dialogs,
                                h.process, h.store, h.files, shell, h.images, nullptr});
        app.Help2Click("/p");
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_EQ(h.dialogs.messages[0].text, c.text);
        EXPECT_EQ(h.dialogs.messages[0].caption, " Tarnwick Error");
    }
}

TEST(HelpCommand, WebSiteOpensInTheBrowserOrNamesTheAddress) {
    for (const int code : {kShellOk, kShellNoAssociation, 0}) {
        SCOPED_TRACE(code);
        RefusingShell shell;
        shell.result = code;
        fakes::AppHarness h;
        MeterApp app(MeterPorts{h.clock, h.timers, h.wave, h.output, h.formats, h.dialogs,
                                h.process, h.store, h.files, shell, h.images, nullptr});
        app.Website1Click();
        ASSERT_EQ(shell.opened, std::vector<std::string>{kWebSiteAddress});
        if (code == kShellOk) {
            EXPECT_TRUE(h.dialogs.messages.empty());
            continue;
        }
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_EQ(h.dialogs.messages[0].text,
                  "Web site not found: https://www.hollowden.example/tarnwick/");
        EXPECT_EQ(h.dialogs.messages[0].caption, " Tarnwick Error");
    }
}

}  // namespace
}  // namespace tarnwick
