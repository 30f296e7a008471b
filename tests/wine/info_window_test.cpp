// The info window: its list after a connect, the refresh after a second
// connect, its place, and the menu items it greys and gives back.
#include <string>
#include <vector>

#include "harness.h"

namespace zavtest {
namespace {

using Lines = std::vector<std::string>;

class InfoWindowTest : public ProgramTest {
protected:
    ::testing::AssertionResult connect_device() {
        post_menu_command(kMenuConnect);
        MessageBoxInfo box;
        if (!wait_message_box("ZAV-Verbinden", box, kTransactionWait))
            return ::testing::AssertionFailure() << "connect gave no answer";
        press_ok(box);
        if (box.text != "ZAV 160 erkannt") return ::testing::AssertionFailure() << "connect: " << box.text;
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult open_info() {
        post_menu_command(kMenuInfo);
        if (!wait_until([&] { return (info = find_child_by_class(main(), "Display")) != nullptr; }))
            return ::testing::AssertionFailure() << "no info window";
        if (!wait_until([&] { return (list = find_child_by_class(info, "ListBox")) != nullptr; }))
            return ::testing::AssertionFailure() << "no list box";
        return ::testing::AssertionSuccess();
    }

    Lines items() const { return list_box_items(list); }

    // The list is filled by a message the window posts to itself.
    Lines lines_once_filled(const Lines& expected) {
        wait_until([&] { return items() == expected; });
        return items();
    }

    void close_info() {
        PostMessageA(info, WM_CLOSE, 0, 0);
        EXPECT_TRUE(wait_until([&] { return !IsWindow(info); })) << "the info window did not close";
    }

    HWND info = nullptr;
    HWND list = nullptr;
};

const Lines kAllFittedVersion410 = {
    "Doppelton:", "675/1240", "675/1860", "675/2280", "675/825", "675/1010",
    "5-Ton Adressen:", "max.10", "Zusatzrelais:", "bis zu 2", "Doppelton-Dauer:", "700ms",
    "Rufton-Dauer", "100ms", "SW-Version:", "4.10",
};

const Lines kNothingFittedVersion23 = {
    "Doppelton:", "5-Ton Adressen:", "max.5", "Zusatzrelais:", "0", "Doppelton-Dauer:", "2000ms",
    "Rufton-Dauer", "70ms", "SW-Version:", "2.3",
};

TEST_F(InfoWindowTest, ListsTheSetupAndRebuildsItAfterTheNextConnect) {
    ASSERT_TRUE(sim("options 7F07"));
    ASSERT_TRUE(sim("version 4.10"));
    ASSERT_TRUE(start());
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    EXPECT_EQ("ZAV-Info", window_text(info));
    EXPECT_EQ(kAllFittedVersion410, lines_once_filled(kAllFittedVersion410));

    ASSERT_TRUE(sim("options 0000"));
    ASSERT_TRUE(sim("version 2.3"));
    ASSERT_TRUE(connect_device());
    EXPECT_EQ(kNothingFittedVersion23, lines_once_filled(kNothingFittedVersion23));
}

TEST_F(InfoWindowTest, SetBTonePairsFollowTheAlarmBits) {
    ASSERT_TRUE(sim("options 9500"));
    ASSERT_TRUE(start());
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    const Lines expected = {"Doppelton:", "675/1240", "1240/2280", "1240/1010", "5-Ton Adressen:", "max.5",
                            "Zusatzrelais:", "bis zu 4", "Doppelton-Dauer:", "2000ms", "Rufton-Dauer", "70ms",
                            "SW-Version:", "2.30"};
    EXPECT_EQ(expected, lines_once_filled(expected));
}

TEST_F(InfoWindowTest, SitsInTheMainWindowWithAPlainListFillingIt) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    int w = 0, h = 0;
    layout_units(w, h);
    RECT main_client = client_rect(main());
    RECT outer = window_rect(info);
    MapWindowPoints(HWND_DESKTOP, main(), reinterpret_cast<POINT*>(&outer), 2);
    EXPECT_EQ((main_client.right - main_client.left) / 2, outer.left);
    EXPECT_EQ((main_client.bottom - main_client.top) / 3, outer.top);
    EXPECT_EQ(18 * w, outer.right - outer.left);
    EXPECT_EQ(14 * h, outer.bottom - outer.top);

    RECT client = client_rect(info);
    RECT list_outer = window_rect(list);
    EXPECT_EQ(client.right - client.left, list_outer.right - list_outer.left);
    // Without LBS_NOINTEGRALHEIGHT the list box trims itself to whole lines.
    const int item_height = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    EXPECT_LE(list_outer.bottom - list_outer.top, client.bottom - client.top);
    EXPECT_GT(list_outer.bottom - list_outer.top, client.bottom - client.top - item_height);
    const LONG style = GetWindowLongA(list, GWL_STYLE);
    EXPECT_EQ(0, style & 0xFFFF) << "no list box style bits: entries stay in their order";
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(style & WS_BORDER);
}

TEST_F(InfoWindowTest, OpeningAndClosingSetTheMenu) {
    ASSERT_TRUE(start(kAccessCode));
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    EXPECT_EQ(ItemState::grayed, item(kMenuInfo));
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
    close_info();
    EXPECT_EQ(ItemState::enabled, item(kMenuInfo));
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
}

TEST_F(InfoWindowTest, ClosingOutsideServiceModeLeavesSetupGrey) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    close_info();
    EXPECT_EQ(ItemState::enabled, item(kMenuInfo));
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
}

TEST_F(InfoWindowTest, ClosingDuringAConnectLeavesItsItemsGrey) {
    ASSERT_TRUE(start(kAccessCode));
    ASSERT_TRUE(connect_device());
    ASSERT_TRUE(open_info());
    ASSERT_TRUE(sim("fault silent"));
    post_menu_command(kMenuConnect);
    ASSERT_TRUE(wait_until([&] { return item(kMenuConnect) == ItemState::grayed; }));
    close_info();
    EXPECT_EQ(ItemState::enabled, item(kMenuInfo));
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));

    MessageBoxInfo box;
    ASSERT_TRUE(wait_message_box("ZAV-Verbinden", box, kTransactionWait));
    EXPECT_EQ("Kein ZAV 160 gefunden !", box.text);
    ASSERT_TRUE(press_ok(box));
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
}

TEST_F(InfoWindowTest, ClosingBesideTheSetupWindowLeavesItsItemsGrey) {
    ASSERT_TRUE(start(kAccessCode));
    ASSERT_TRUE(connect_device());
    post_menu_command(kMenuSetup);
    HWND setup = nullptr;
    ASSERT_TRUE(wait_until([&] { return (setup = find_child_by_class(main(), "Setup")) != nullptr; }));
    ASSERT_TRUE(wait_until([&] { return find_child(setup, 17) != nullptr; }));
    ASSERT_TRUE(open_info());
    close_info();
    EXPECT_EQ(ItemState::enabled, item(kMenuInfo));
    EXPECT_EQ(ItemState::grayed, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::grayed, item(kMenuSetup));
    EXPECT_EQ(ItemState::grayed, item(kMenuConnect));

    PostMessageA(setup, WM_CLOSE, 0, 0);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(setup); }));
    EXPECT_EQ(ItemState::enabled, item(kMenuConfiguration));
    EXPECT_EQ(ItemState::enabled, item(kMenuSetup));
    EXPECT_EQ(ItemState::enabled, item(kMenuConnect));
}

}  // namespace
}  // namespace zavtest
