// Start-up of the program: its main window, menu, service mode and end.
#include "harness.h"

namespace zavtest {
namespace {

TEST_F(ProgramTest, MainWindowCarriesTheMenuOfTheResource) {
    ASSERT_TRUE(start());
    EXPECT_EQ("ZAV_DSP", class_name(main()));
    EXPECT_EQ("ZAV-Konfiguration", window_text(main()));
    EXPECT_EQ(nullptr, GetParent(main()));

    std::vector<MenuEntry> entries;
    ASSERT_TRUE(read_menu(program, main(), entries));
    struct Expected {
        int depth;
        int id;
        bool popup;
        const char* text;
    };
    const Expected expected[] = {
        {0, -1, true, "&ZAV 160"},    {1, 21, false, "&Konfiguration"}, {1, 22, false, "&Verbinden.."},
        {1, 23, false, "&Setup"},     {0, 30, false, "&Kommunikations-Port!"}, {0, -1, true, "&Info"},
        {1, 40, false, "V&ersion"},   {1, 41, false, "ZAV 160-In&fo"},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(expected[i].depth, entries[i].depth);
        EXPECT_EQ(expected[i].popup, entries[i].popup);
        if (!expected[i].popup) EXPECT_EQ(expected[i].id, entries[i].id);
        EXPECT_EQ(expected[i].text, entries[i].text);
    }
}

TEST_F(ProgramTest, ServiceModeNeedsTheAccessCodeAsTheWholeCommandLine) {
    struct Case {
        const char* argument_text;
        ItemState setup_item;
    };
    const Case cases[] = {
        {"618wqe402h9", ItemState::enabled},  {"618wqe402h9 ", ItemState::grayed},
        {"618WQE402H9", ItemState::grayed},   {"618wqe402h9 more", ItemState::grayed},
        {"", ItemState::grayed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("command line \"") + c.argument_text + "\"");
        ASSERT_TRUE(start(c.argument_text));
        EXPECT_STREQ(to_string(c.setup_item), to_string(item(kMenuSetup)));
        // Whatever the mode, the other items start alike.
        EXPECT_STREQ("grayed", to_string(item(kMenuConfiguration)));
        EXPECT_STREQ("enabled", to_string(item(kMenuConnect)));
        EXPECT_STREQ("enabled", to_string(item(kMenuPort)));
        EXPECT_STREQ("enabled", to_string(item(kMenuVersion)));
        EXPECT_STREQ("enabled", to_string(item(kMenuInfo)));
        end_program(program);
    }
}

TEST_F(ProgramTest, MainWindowIs73By25LayoutUnitsAtTheTopLeftCorner) {
    ASSERT_TRUE(start());
    int char_width = 0, line_height = 0;
    layout_units(char_width, line_height);
    ASSERT_GT(char_width, 0);
    RECT rect = window_rect(main());
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(73 * char_width, rect.right - rect.left);
    EXPECT_EQ(25 * line_height, rect.bottom - rect.top);
    LONG style = GetWindowLongA(main(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
}

TEST_F(ProgramTest, ClosingTheMainWindowEndsTheProgramWithCode0) {
    ASSERT_TRUE(start(kAccessCode));
    PostMessageA(main(), WM_CLOSE, 0, 0);
    DWORD exit_code = 12345;
    ASSERT_TRUE(wait_program_exit(program, exit_code));
    EXPECT_EQ(0u, exit_code);
}

TEST_F(ProgramTest, VersionBoxNamesVersion230) {
    ASSERT_TRUE(start());
    post_menu_command(kMenuVersion);
    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box("ZAV-Konfiguration", box));
    EXPECT_EQ(0u, box.text.rfind("V2.30 ", 0)) << box.text;
    // The box's text is fixed, the version source (VERSION) is what CMake,
    // the exes' version resources and the packages read: a new version
    // there without a new box text, or the reverse, fails here.
    EXPECT_EQ(0u, box.text.rfind("V" ZAV_SOURCE_VERSION " ", 0)) << box.text << " vs VERSION " ZAV_SOURCE_VERSION;
    EXPECT_STREQ("information", to_string(box.icon));
    EXPECT_EQ(main(), box.owner);
    EXPECT_TRUE(press_ok(box));
    EXPECT_TRUE(program_running(program));
}

}  // namespace
}  // namespace zavtest
