// The service-mode setup window: its controls, the option rules, "Lesen" and
// "Programmieren" against the virtual device, and the menu around it.
#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {
namespace {

constexpr int kOptionCount = 16;
constexpr UINT kEndMessage = WM_USER + 2;

uint16_t mask_of(std::initializer_list<int> options) {
    uint16_t mask = 0;
    for (int option : options) mask = static_cast<uint16_t>(mask | (1u << option));
    return mask;
}

std::string describe(uint16_t mask) {
    std::string text;
    for (int option = 0; option < kOptionCount; ++option) {
        if (mask & (1u << option)) text += std::to_string(option) + " ";
    }
    return text.empty() ? "(none)" : text;
}

class SetupWindowTest : public ProgramTest {
protected:
    // The setup window only exists in service mode.
    ::testing::AssertionResult start_service_mode() { return start(kAccessCode); }

    ::testing::AssertionResult open_setup() {
        post_menu_command(kMenuSetup);
        if (!wait_until([&] { return (setup = find_child_by_class(main(), "Setup")) != nullptr; }))
            return ::testing::AssertionFailure() << "no setup window";
        // The window is visible from inside its creation handler on; the
        // last control made tells that the handler has finished.
        if (!wait_until([&] { return control(kSetupProgram) != nullptr; }))
            return ::testing::AssertionFailure() << "setup window without its buttons";
        return ::testing::AssertionSuccess();
    }

    HWND control(int id) const { return find_child(setup, id); }

    uint16_t checked_options() const {
        uint16_t mask = 0;
        for (int option = 0; option < kOptionCount; ++option) {
            if (is_checked(control(option))) mask = static_cast<uint16_t>(mask | (1u << option));
        }
        return mask;
    }

    // Clicks are posted; the check marks change once the window has handled
    // them, so wait for the expected picture.
    ::testing::AssertionResult click_and_expect(int id, uint16_t expected) {
        click(control(id));
        if (wait_until([&] { return checked_options() == expected; })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "after clicking " << id << " checked: "
                                             << describe(checked_options()) << " expected: " << describe(expected);
    }

    void choose(std::initializer_list<int> options) {
        for (int option : options) click(control(option));
        const uint16_t wanted = mask_of(options);
        EXPECT_TRUE(wait_until([&] { return (checked_options() & wanted) == wanted; }))
            << "chose " << describe(wanted) << "checked: " << describe(checked_options());
    }

    bool buttons_enabled() const { return is_enabled(control(kSetupRead)) && is_enabled(control(kSetupProgram)); }

    // Presses a command button and waits for the outcome's message box.
    ::testing::AssertionResult command_outcome(int button, const char* caption, MessageBoxInfo& box,
                                               int timeout_ms = kTransactionWait) {
        click(control(button));
        if (!wait_message_box(caption, box, timeout_ms))
            return ::testing::AssertionFailure() << "no message box \"" << caption << "\"";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult connect_device() {
        post_menu_command(kMenuConnect);
        MessageBoxInfo box;
        if (!wait_message_box("ZAV-Verbinden", box, kTransactionWait))
            return ::testing::AssertionFailure() << "connect gave no answer";
        press_ok(box);
        if (box.text != "ZAV 160 erkannt") return ::testing::AssertionFailure() << "connect: " << box.text;
        return ::testing::AssertionSuccess();
    }

    void close_setup() {
        PostMessageA(setup, WM_CLOSE, 0, 0);
        EXPECT_TRUE(wait_until([&] { return !IsWindow(setup); })) << "the setup window did not close";
    }

    HWND setup = nullptr;
};

TEST_F(SetupWindowTest, ControlsStandInTheirGroupsAtTheirPlaces) {
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    int w = 0, h = 0;
    layout_units(w, h);

    RECT client = client_rect(main());
    RECT outer = window_rect(setup);
    POINT origin = {0, 0};
    ClientToScreen(main(), &origin);
    EXPECT_EQ(origin.x, outer.left);
    EXPECT_EQ(origin.y, outer.top);
    EXPECT_EQ(client.right - client.left, outer.right - outer.left);
    EXPECT_EQ(client.bottom - client.top, outer.bottom - outer.top);

    struct Expected {
        int id;
        const char* text;
        int x, y, width, height;
    };
    const Expected options[] = {
        {0, "675/1240", 2 * w, 6 * h / 4, 23 * w, 5 * h / 4},
        {1, "675/1860", 2 * w, 12 * h / 4, 23 * w, 5 * h / 4},
        {2, "675/2280 bzw. 1240/2280", 2 * w, 18 * h / 4, 23 * w, 5 * h / 4},
        {3, "675/825 bzw.1240/1860", 2 * w, 24 * h / 4, 23 * w, 5 * h / 4},
        {4, "675/1010 bzw.1240/1010", 2 * w, 30 * h / 4, 23 * w, 5 * h / 4},
        {5, "max. 5", 59 * w / 2, 6 * h / 4, 10 * w, 5 * h / 4},
        {6, "max. 10", 59 * w / 2, 12 * h / 4, 10 * w, 5 * h / 4},
        {7, "kein", 91 * w / 2, 6 * h / 4, 10 * w, 5 * h / 4},
        {8, "bis 2", 91 * w / 2, 12 * h / 4, 10 * w, 5 * h / 4},
        {9, "bis 4", 91 * w / 2, 18 * h / 4, 10 * w, 5 * h / 4},
        {10, "1240/675+x", 2 * w, 46 * h / 4, 12 * w, 5 * h / 4},
        {11, "675+x", 2 * w, 52 * h / 4, 12 * w, 5 * h / 4},
        {12, "2000ms", 2 * w, 68 * h / 4, 12 * w, 5 * h / 4},
        {13, "700ms", 2 * w, 74 * h / 4, 12 * w, 5 * h / 4},
        {14, "70ms", 29 * w, 46 * h / 4, 12 * w, 5 * h / 4},
        {15, "100ms", 29 * w, 52 * h / 4, 12 * w, 5 * h / 4},
        {16, "Lesen", 30 * w, 17 * h, 14 * w, 7 * h / 4},
        {17, "Programmieren", 48 * w, 17 * h, 14 * w, 7 * h / 4},
    };
    const Expected boxes[] = {
        {-1, "Doppelton", w / 2, 5, 26 * w, 9 * h},   {-1, "Adressen", 28 * w, 5, 14 * w, 9 * h},
        {-1, "Zusatzrelais", 44 * w, 5, 14 * w, 9 * h}, {-1, "DT-Satz", w / 2, 10 * h, 26 * w, 5 * h},
        {-1, "DT-Dauer", w / 2, 31 * h / 2, 26 * w, 5 * h}, {-1, "Ton-Dauer", 28 * w, 10 * h, 26 * w, 5 * h},
    };

    auto place_of = [&](HWND control) {
        RECT rect = window_rect(control);
        MapWindowPoints(HWND_DESKTOP, setup, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    auto expect_at = [&](HWND control, const Expected& e) {
        RECT rect = place_of(control);
        EXPECT_EQ(e.x, rect.left) << e.text;
        EXPECT_EQ(e.y, rect.top) << e.text;
        EXPECT_EQ(e.width, rect.right - rect.left) << e.text;
        EXPECT_EQ(e.height, rect.bottom - rect.top) << e.text;
        EXPECT_EQ(e.text, window_text(control));
        EXPECT_STRCASEEQ("Button", class_name(control).c_str()) << e.text;
    };

    for (const Expected& e : options) {
        HWND option = control(e.id);
        ASSERT_NE(nullptr, option) << "control " << e.id;
        expect_at(option, e);
        const LONG style = GetWindowLongA(option, GWL_STYLE);
        const LONG kind = style & BS_TYPEMASK;
        EXPECT_EQ(e.id < kOptionCount ? BS_CHECKBOX : BS_DEFPUSHBUTTON, kind) << e.text;
        EXPECT_FALSE(is_checked(option)) << e.text;
    }
    std::vector<HWND> buttons = find_children_by_class(setup, "Button");
    EXPECT_EQ(24u, buttons.size());
    for (const Expected& e : boxes) {
        HWND box = nullptr;
        for (HWND candidate : buttons) {
            if (window_text(candidate) == e.text && (GetWindowLongA(candidate, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
                box = candidate;
        }
        ASSERT_NE(nullptr, box) << e.text;
        expect_at(box, e);
        EXPECT_EQ(-1, static_cast<int>(static_cast<short>(GetDlgCtrlID(box)))) << e.text;
        EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & BS_CENTER) << e.text;
    }
}

TEST_F(SetupWindowTest, DoubleTonesToggleAndOtherGroupsHoldOneChoice) {
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    ASSERT_EQ(0, checked_options());

    EXPECT_TRUE(click_and_expect(0, mask_of({0})));
    EXPECT_TRUE(click_and_expect(3, mask_of({0, 3})));
    EXPECT_TRUE(click_and_expect(0, mask_of({3})));
    EXPECT_TRUE(click_and_expect(3, 0));

    EXPECT_TRUE(click_and_expect(7, mask_of({7})));
    EXPECT_TRUE(click_and_expect(9, mask_of({9})));
    EXPECT_TRUE(click_and_expect(9, mask_of({9})));  // clicking the chosen one keeps it
    EXPECT_TRUE(click_and_expect(5, mask_of({5, 9})));
    EXPECT_TRUE(click_and_expect(6, mask_of({6, 9})));
    EXPECT_TRUE(click_and_expect(11, mask_of({6, 9, 11})));
    EXPECT_TRUE(click_and_expect(10, mask_of({6, 9, 10})));
    EXPECT_TRUE(click_and_expect(13, mask_of({6, 9, 10, 13})));
    EXPECT_TRUE(click_and_expect(12, mask_of({6, 9, 10, 12})));
    EXPECT_TRUE(click_and_expect(15, mask_of({6, 9, 10, 12, 15})));
    EXPECT_TRUE(click_and_expect(14, mask_of({6, 9, 10, 12, 14})));
}

TEST_F(SetupWindowTest, OpeningAndClosingSetTheMenu) {
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuConnect));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
    EXPECT_EQ(ItemState::enabled, item(kMenuInfo));
    close_setup();
    // No device data yet: the configuration stays out of reach.
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
}

TEST_F(SetupWindowTest, ReadShowsTheDeviceOptions) {
    // Alarms 0, 2 and 4, five addresses, relays up to 4, set B, 700 ms, 100 ms.
    ASSERT_TRUE(sim("options 9506"));
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    choose({1, 6, 8});  // a stale choice that the read must replace

    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupRead, "ZAV-Setup", box));
    EXPECT_EQ("Setup gelesen !", box.text);
    EXPECT_EQ(IconKind::information, box.icon);
    ASSERT_TRUE(press_ok(box));

    EXPECT_EQ(describe(mask_of({0, 2, 4, 5, 9, 10, 13, 15})), describe(checked_options()));
    EXPECT_TRUE(buttons_enabled());
    std::vector<SimFrame> frames = sim_frames();
    EXPECT_EQ(1, count_program_frames(frames, '+'));
    EXPECT_EQ(0, count_program_frames(frames, '*'));

    close_setup();
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration)) << "a read block counts as device data";
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
}

TEST_F(SetupWindowTest, ReadOfUndefinedRelayCodeLeavesThatGroupOpen) {
    ASSERT_TRUE(sim("options C100"));  // relay code 11, alarm 0
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupRead, "ZAV-Setup", box));
    EXPECT_EQ("Setup gelesen !", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_EQ(describe(mask_of({0, 5, 10, 12, 14})), describe(checked_options()));

    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV Setup", box));
    EXPECT_EQ("Fehler: Zusatzrelais !", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_TRUE(sim_frames().empty());
}

TEST_F(SetupWindowTest, InvalidBlockIsReportedAndLeavesTheOptions) {
    ASSERT_TRUE(sim("fault bad-check"));
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    choose({2, 6});
    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupRead, "ZAV-Setup", box));
    EXPECT_EQ("Setup-Daten ungültig !", box.text);
    EXPECT_EQ(IconKind::error, box.icon);
    ASSERT_TRUE(press_ok(box));
    EXPECT_EQ(describe(mask_of({2, 6})), describe(checked_options()));
    EXPECT_TRUE(buttons_enabled());
    close_setup();
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
}

TEST_F(SetupWindowTest, ProgrammingReportsTheFirstOpenGroupAndSendsNothing) {
    ASSERT_TRUE(start_service_mode());
    // Device data from a connect: a failed composition must still clear it.
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_setup());
    ASSERT_TRUE(sim("log clear"));

    choose({6, 7, 11, 12, 14});  // every group but "Doppelton"
    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV Setup", box));
    EXPECT_EQ("Fehler: Doppelton !", box.text);
    EXPECT_EQ(IconKind::error, box.icon);
    ASSERT_TRUE(press_ok(box));
    EXPECT_TRUE(buttons_enabled());

    close_setup();
    ASSERT_TRUE(open_setup());
    choose({0, 1, 2, 3, 4});  // "Adressen" and every later group open
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV Setup", box));
    EXPECT_EQ("Fehler: Adressen !", box.text);
    ASSERT_TRUE(press_ok(box));

    EXPECT_TRUE(sim_frames().empty()) << "nothing may reach the line";
    close_setup();
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
}

TEST_F(SetupWindowTest, ProgrammingWritesTheComposedBlock) {
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    // All alarms, 10 addresses, relays up to 4, set A, 700 ms, 100 ms: setup
    // bytes BF 07 with check byte 3C; no read yet, so version 0.0.
    choose({0, 1, 2, 3, 4, 6, 9, 11, 13, 15});
    ASSERT_TRUE(sim("log clear"));

    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV-Setup", box));
    EXPECT_EQ("Programmierung erfolgreich !", box.text);
    EXPECT_EQ(IconKind::information, box.icon);
    ASSERT_TRUE(press_ok(box));

    std::vector<SimFrame> frames = sim_frames();
    std::vector<std::vector<uint8_t>> sent;
    for (const SimFrame& frame : frames) {
        if (!frame.from_device) sent.push_back(frame.payload);
    }
    const std::vector<std::vector<uint8_t>> expected = {{0x2A}, {0xBF, 0x07, 0x3C, 0x00, 0x00}};
    EXPECT_EQ(expected, sent);
    std::vector<uint8_t> device_block;
    ASSERT_TRUE(sim_setup_block(device_block));
    EXPECT_EQ(expected[1], device_block);

    close_setup();
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration)) << "a written block counts as device data";
}

TEST_F(SetupWindowTest, ProgrammingAfterReadKeepsTheDeviceVersion) {
    ASSERT_TRUE(sim("options 7F07"));
    ASSERT_TRUE(sim("version 4.10"));
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupRead, "ZAV-Setup", box));
    ASSERT_TRUE(press_ok(box));
    ASSERT_EQ(describe(mask_of({0, 1, 2, 3, 4, 6, 8, 11, 13, 15})), describe(checked_options()));

    ASSERT_TRUE(click_and_expect(9, mask_of({0, 1, 2, 3, 4, 6, 9, 11, 13, 15})));
    ASSERT_TRUE(sim("log clear"));
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV-Setup", box));
    EXPECT_EQ("Programmierung erfolgreich !", box.text);
    ASSERT_TRUE(press_ok(box));
    std::vector<uint8_t> device_block;
    ASSERT_TRUE(sim_setup_block(device_block));
    EXPECT_EQ((std::vector<uint8_t>{0xBF, 0x07, 0x3C, 0x04, 0x0A}), device_block);
}

TEST_F(SetupWindowTest, RefusedOrUnansweredWritesAreReported) {
    ASSERT_TRUE(sim("fault refuse-setup"));
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_setup());
    choose({0, 5, 7, 10, 12, 14});

    MessageBoxInfo box;
    ASSERT_TRUE(command_outcome(kSetupProgram, "ZAV-Setup", box));
    EXPECT_EQ("CRC-Fehler !", box.text);
    EXPECT_EQ(IconKind::error, box.icon);
    ASSERT_TRUE(press_ok(box));
    EXPECT_TRUE(buttons_enabled());

    ASSERT_TRUE(sim("clear"));
    ASSERT_TRUE(sim("fault silent"));
    ASSERT_TRUE(command_outcome(kSetupRead, "ZAV-Setup", box));
    EXPECT_EQ("Verbindung unterbrochen !", box.text);
    EXPECT_EQ(IconKind::error, box.icon);
    ASSERT_TRUE(press_ok(box));

    close_setup();
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
}

TEST_F(SetupWindowTest, ClosingDuringATransactionEndsItSilently) {
    ASSERT_TRUE(sim("fault silent"));
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    click(control(kSetupRead));
    ASSERT_TRUE(wait_until([&] { return !buttons_enabled(); }));
    close_setup();
    EXPECT_FALSE(wait_until([&] { return open_dialog(program) != nullptr; }, 9000))
        << "a closed window reports nothing";
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));

    // The port was given back: a connect works again.
    ASSERT_TRUE(sim("clear"));
    EXPECT_TRUE(connect_device());
}

TEST_F(SetupWindowTest, EndMessageWithoutItsTransactionIsIgnored) {
    ASSERT_TRUE(start_service_mode());
    ASSERT_TRUE(open_setup());
    PostMessageA(setup, kEndMessage, 3, 0);  // "written", but nothing was started
    PostMessageA(setup, kEndMessage, 0, 0);  // "failed"
    EXPECT_FALSE(wait_until([&] { return open_dialog(program) != nullptr; }, 1000));
    close_setup();
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration)) << "no device data came from a stray message";
}

}  // namespace
}  // namespace zavtest
