// The control wrappers on real list and combo boxes: indexes come back as sent, and -1 means
// "nothing selected" both ways, on 32 and 64 bits alike.
#include <gtest/gtest.h>

#include "platform/win32/gui_control_messages.h"

namespace ch::gui {
namespace {

TEST(GuiControlMessages, IndexesRoundTripAndMinusOneClearsTheSelection) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(parent);
    HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                 parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD, 0, 0, 100, 100, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(combo && list);

    EXPECT_EQ(comboSelected(combo), -1);
    EXPECT_EQ(comboAdd(combo, "C:"), 0);
    EXPECT_EQ(comboAdd(combo, "D:"), 1);
    comboSelect(combo, 1);
    EXPECT_EQ(comboSelected(combo), 1);
    comboSelect(combo, -1);
    EXPECT_EQ(comboSelected(combo), -1);
    EXPECT_FALSE(comboDroppedDown(combo));
    comboReset(combo);
    EXPECT_EQ(comboAdd(combo, "E:"), 0);

    EXPECT_EQ(listSelected(list), -1);
    EXPECT_EQ(listAdd(list, "db"), 0);
    EXPECT_EQ(listAdd(list, "backup"), 1);
    listSelect(list, 1);
    EXPECT_EQ(listSelected(list), 1);
    listSelect(list, -1);
    EXPECT_EQ(listSelected(list), -1);
    EXPECT_TRUE(listSetItemHeight(list, 20));
    EXPECT_FALSE(listSetItemHeight(list, 256));

    DestroyWindow(parent);
}

} // namespace
} // namespace ch::gui
