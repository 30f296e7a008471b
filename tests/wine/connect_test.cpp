// Connect (identification) from the main window, the port dialog, and the
// menu states around a transaction, against the virtual device on COM1.
#include "harness.h"

namespace zavtest {
namespace {

constexpr const char kConnectCaption[] = "ZAV-Verbinden";

// Connects and returns the end message's box (still open).
::testing::AssertionResult connect(Program& program, MessageBoxInfo& box, const char* caption = kConnectCaption) {
    post_menu_command(program.main_window, kMenuConnect);
    if (!wait_message_box(program, caption, box, kTransactionWait))
        return ::testing::AssertionFailure() << "no box \"" << caption << "\" after connect";
    return ::testing::AssertionSuccess();
}

struct MenuRow {
    const char* configuration;
    const char* connect;
    const char* setup;
};

void expect_menu(const Program& program, const MenuRow& row) {
    EXPECT_STREQ(row.configuration, to_string(menu_item_state(program, kMenuConfiguration)));
    EXPECT_STREQ(row.connect, to_string(menu_item_state(program, kMenuConnect)));
    EXPECT_STREQ(row.setup, to_string(menu_item_state(program, kMenuSetup)));
    EXPECT_STREQ("enabled", to_string(menu_item_state(program, kMenuPort)));
    EXPECT_STREQ("enabled", to_string(menu_item_state(program, kMenuVersion)));
}

class ConnectTest : public ProgramTest, public ::testing::WithParamInterface<bool> {
protected:
    bool service_mode() const { return GetParam(); }
    const char* setup_after() const { return service_mode() ? "enabled" : "grayed"; }
    ::testing::AssertionResult start_in_mode() { return start(service_mode() ? kAccessCode : ""); }
};

TEST_P(ConnectTest, RecognisedDeviceEnablesTheConfigurationOnceTheBoxIsClosed) {
    ASSERT_TRUE(start_in_mode());
    MessageBoxInfo box;
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    EXPECT_STREQ("information", to_string(box.icon));
    EXPECT_EQ(main(), box.owner);
    // The flag and item 21 follow only after the user has seen the message.
    expect_menu(program, {"grayed", "enabled", setup_after()});
    ASSERT_TRUE(press_ok(box));
    ASSERT_TRUE(sync_with_program(program));
    expect_menu(program, {"enabled", "enabled", setup_after()});

    std::vector<SimFrame> frames = sim_frames();
    EXPECT_EQ(1, count_program_frames(frames, '+'));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(std::vector<uint8_t>{0xF0}, frames.back().payload) << "the setup block is acknowledged";
    EXPECT_FALSE(frames.back().from_device);
}

TEST_P(ConnectTest, SilentDeviceGraysTheItemsWhileConnectingAndIsReportedNotFound) {
    ASSERT_TRUE(sim("fault silent"));
    ASSERT_TRUE(start_in_mode());
    post_menu_command(kMenuConnect);
    ASSERT_TRUE(wait_until([&] { return item(kMenuConnect) == ItemState::grayed; }));
    expect_menu(program, {"grayed", "grayed", "grayed"});
    EXPECT_STREQ("enabled", to_string(item(kMenuInfo)));

    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box(kConnectCaption, box, kTransactionWait));
    EXPECT_EQ("Kein ZAV 160 gefunden !", box.text);
    EXPECT_STREQ("error", to_string(box.icon));
    expect_menu(program, {"grayed", "enabled", setup_after()});
    ASSERT_TRUE(press_ok(box));
    expect_menu(program, {"grayed", "enabled", setup_after()});
    // Five sends of the command, 1.5 s apart.
    std::vector<SimFrame> frames = sim_frames();
    EXPECT_EQ(5, count_program_frames(frames, '+'));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutAccessCode, ConnectTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("ServiceMode") : std::string("NormalMode");
                         });

TEST_F(ProgramTest, DeviceSendingAtTheLinePaceIsRecognised) {
    // At 2400 baud the frames arrive byte by byte, split over many reads.
    ASSERT_TRUE(sim("pace on"));
    ASSERT_TRUE(start());
    MessageBoxInfo box;
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));
}

TEST_F(ProgramTest, ConnectFailureKeepsTheDeviceDataInvalid) {
    ASSERT_TRUE(start());
    MessageBoxInfo box;
    ASSERT_TRUE(connect(program, box));
    ASSERT_TRUE(press_ok(box));
    ASSERT_TRUE(sync_with_program(program));
    ASSERT_STREQ("enabled", to_string(item(kMenuConfiguration)));

    // A failed connect after a good one takes the device data away again.
    ASSERT_TRUE(sim("fault bad-check"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("Setup-Daten ungültig !", box.text);
    EXPECT_STREQ("error", to_string(box.icon));
    ASSERT_TRUE(press_ok(box));
    EXPECT_STREQ("grayed", to_string(item(kMenuConfiguration)));
    post_menu_command(kMenuInfo);
    ASSERT_TRUE(wait_message_box("ZAV-Info", box));
    EXPECT_EQ("Keine Infos vorhanden !", box.text);
    ASSERT_TRUE(press_ok(box));
}

TEST_F(ProgramTest, OnlyVersions2And4AreAccepted) {
    ASSERT_TRUE(start());
    MessageBoxInfo box;
    ASSERT_TRUE(sim("version 3.1"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("Ungültige ZAV160-Version (V3.1)->V2.x bzw. V4.x erforderlich !", box.text);
    EXPECT_STREQ("error", to_string(box.icon));
    ASSERT_TRUE(press_ok(box));
    EXPECT_STREQ("grayed", to_string(item(kMenuConfiguration)));

    ASSERT_TRUE(sim("version 255.255"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("Ungültige ZAV160-Version (V255.255)->V2.x bzw. V4.x erforderlich !", box.text);
    ASSERT_TRUE(press_ok(box));

    // The program goes on normally: version 4 is a ZAV 160 again.
    ASSERT_TRUE(sim("version 4.0"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_TRUE(wait_until([&] { return item(kMenuConfiguration) == ItemState::enabled; }));
}

TEST_F(ProgramTest, WrongLengthIdentificationsAreRejectedUntilTheSeventh) {
    ASSERT_TRUE(start());
    MessageBoxInfo box;
    ASSERT_TRUE(sim("fault wrong-length 6"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_EQ(6, count_program_frames(sim_frames(), 0xF1));

    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(sim("fault wrong-length 7"));
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("Kein ZAV 160 gefunden !", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_EQ(7, count_program_frames(sim_frames(), 0xF1));
}

// ---- Port dialog ----

constexpr const char kPortDialogCaption[] = "Com-Port ?";

HWND open_port_dialog(const Program& program) {
    post_menu_command(program.main_window, kMenuPort);
    return wait_dialog(program, kPortDialogCaption);
}

// The index of the one checked port button; -1 for none, -2 for several.
int checked_port(HWND dialog) {
    int checked = -1;
    for (int i = 0; i < 12; ++i) {
        if (!is_checked(GetDlgItem(dialog, kFirstPortButton + i))) continue;
        checked = checked == -1 ? i : -2;
    }
    return checked;
}

TEST_F(ProgramTest, PortDialogShowsTwelvePortsWithTheSelectionChecked) {
    ASSERT_TRUE(start());
    HWND dialog = open_port_dialog(program);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(main(), GetWindow(dialog, GW_OWNER));
    for (int i = 0; i < 12; ++i) {
        HWND button = GetDlgItem(dialog, kFirstPortButton + i);
        ASSERT_NE(nullptr, button) << i;
        EXPECT_EQ("COM " + std::to_string(i + 1), window_text(button));
    }
    EXPECT_EQ("OK", window_text(GetDlgItem(dialog, kPortOk)));
    EXPECT_EQ("CANCEL", window_text(GetDlgItem(dialog, kPortCancel)));
    EXPECT_EQ(0, checked_port(dialog));
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU);

    click(GetDlgItem(dialog, kFirstPortButton + 6));
    click(GetDlgItem(dialog, kFirstPortButton + 9));
    ASSERT_TRUE(sync_with_program(program, dialog));
    EXPECT_EQ(9, checked_port(dialog));
    ASSERT_TRUE(press_button_and_wait_closed(dialog, kPortCancel));
}

TEST_F(ProgramTest, EnterAndEscapeLeaveThePortDialogOpen) {
    ASSERT_TRUE(start());
    HWND dialog = open_port_dialog(program);
    ASSERT_NE(nullptr, dialog);
    // What the dialog manager makes of Enter and Escape...
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    // ...and the keys themselves, at the control that has the focus.
    GUITHREADINFO gui;
    gui.cbSize = sizeof gui;
    HWND target = GetGUIThreadInfo(program.ui_thread, &gui) && gui.hwndFocus ? gui.hwndFocus : dialog;
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
    }
    ASSERT_TRUE(sync_with_program(program, dialog));
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));
    ASSERT_TRUE(press_button_and_wait_closed(dialog, kPortOk));
}

// A port from COM7 up that Wine does not know (normally COM7 itself: the
// runner's prefix maps only COM1, and Wine adds ports only for the machine's
// /dev/ttyS* devices); -1 when all of them exist.
int absent_port_index() {
    for (int i = 6; i < 12; ++i) {
        char target[512];
        std::string name = "COM" + std::to_string(i + 1);
        if (!QueryDosDeviceA(name.c_str(), target, sizeof target)) return i;
    }
    return -1;
}

TEST_F(ProgramTest, CancelledPortChoiceKeepsCom1AndOkTakesEffectAtTheNextConnect) {
    const int absent = absent_port_index();
    if (absent < 0) GTEST_SKIP() << "every port from COM7 to COM12 exists in this prefix";
    const std::string absent_name = "COM" + std::to_string(absent + 1);
    ASSERT_TRUE(start());
    HWND dialog = open_port_dialog(program);
    ASSERT_NE(nullptr, dialog);
    click(GetDlgItem(dialog, kFirstPortButton + 6));  // "COM 7"
    ASSERT_TRUE(sync_with_program(program, dialog));
    EXPECT_EQ(6, checked_port(dialog));
    ASSERT_TRUE(press_button_and_wait_closed(dialog, kPortCancel));

    MessageBoxInfo box;
    ASSERT_TRUE(connect(program, box));
    EXPECT_EQ("ZAV 160 erkannt", box.text);
    ASSERT_TRUE(press_ok(box));

    dialog = open_port_dialog(program);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(0, checked_port(dialog));
    click(GetDlgItem(dialog, kFirstPortButton + absent));
    ASSERT_TRUE(press_button_and_wait_closed(dialog, kPortOk));

    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(connect(program, box, "ZAV-Setup"));
    EXPECT_EQ("Port " + absent_name + " konnte nicht geöffnet werden !", box.text);
    EXPECT_STREQ("error", to_string(box.icon));
    EXPECT_EQ(main(), box.owner);
    // Nothing was started: connect stays available and COM1 heard nothing.
    EXPECT_STREQ("enabled", to_string(item(kMenuConnect)));
    EXPECT_STREQ("grayed", to_string(item(kMenuSetup)));
    ASSERT_TRUE(press_ok(box));
    EXPECT_TRUE(sim_frames().empty());

    dialog = open_port_dialog(program);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(absent, checked_port(dialog));
    ASSERT_TRUE(press_button_and_wait_closed(dialog, kPortCancel));
}

}  // namespace
}  // namespace zavtest
