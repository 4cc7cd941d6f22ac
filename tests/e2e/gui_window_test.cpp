// The window builder in-process: what the design tables become on screen, at the real DPI and
// at a larger one, and how the views turn user picks into model calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "about/frm_about.h"
#include "app/form1.h"
#include "platform/win32/gui_form_window.h"
#include "platform/win32/gui_layout.h"
#include "platform/win32/gui_views.h"
#include "tests/support/memory_file_system.h"

namespace ch::gui {
namespace {

struct RecordedEvents : FormEvents {
    std::vector<std::string> calls;
    void onControl(const ControlDesign& c, int code) override {
        calls.push_back(c.name + ":" + std::to_string(code));
    }
    void onMenu(const MenuDesign& m) override { calls.push_back(m.name); }
    void onDialogKey(int id) override { calls.push_back("key:" + std::to_string(id)); }
    void onClose() override { calls.push_back("close"); }
};

std::string text(HWND hwnd) {
    char buffer[512] = {};
    GetWindowTextA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

TEST(Layout, ChildrenOfAFrameCountFromTheFrameAndRoundOnce) {
    const FormDesign& form = form1Design();
    const ControlDesign& dir2 = *form.find("Dir2"); // Frame2 at 3480,240 + 120,720
    EXPECT_EQ(controlRect(form, dir2, 96), (PixelRect{240, 64, 193, 141}));
    EXPECT_EQ(controlRect(form, dir2, 144), (PixelRect{360, 96, 290, 212}));
    // Drive1 ends where its frame's inner edge sits: no drift from rounding twice.
    const ControlDesign& drive1 = *form.find("Drive1");
    const PixelRect r = controlRect(form, drive1, 120);
    EXPECT_EQ(r.left + r.width, twipsToPixels(120 + 120 + 2775, 120));
}

TEST(Layout, TabOrderFollowsTheTabIndexNotTheStoredOrder) {
    std::vector<std::string> names;
    for (const ControlDesign* c : tabOrder(form1Design()))
        if (takesFocus(c->kind) && c->visible)
            names.push_back(c->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Command1", "Command2", "Drive1", "Dir1", "Drive2",
                                               "Dir2"}));
}

TEST(Layout, FontsScaleWithTheDpi) {
    EXPECT_EQ(fontHeight(8.25, 96), -11);
    EXPECT_EQ(fontHeight(8.25, 144), -17);
    EXPECT_EQ(fontHeight(9.75, 96), -13);
    EXPECT_EQ(scalePixels(2, 144), 3);
    EXPECT_EQ(scalePixels(1, 72), 1);
}

class MainFormWindow : public ::testing::Test {
  protected:
    void SetUp() override { window.create(nullptr); }
    HWND control(const char* name) { return window.control(name); }
    RecordedEvents events;
    FormWindow window{form1Design(), events};
};

TEST_F(MainFormWindow, HasTheDesignedBorderClientAreaAndControlPlaces) {
    const int dpi = window.dpi();
    const LONG style = GetWindowLongA(window.hwnd(), GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_MINIMIZEBOX);
    RECT client;
    GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(client.right, twipsToPixels(6675, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(4005, dpi));
    EXPECT_FALSE(IsWindowVisible(window.hwnd())) << "shown only after the form has loaded";

    for (const char* name : {"Frame1", "Dir1", "Command2", "Label1"}) {
        RECT r;
        GetWindowRect(control(name), &r);
        MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        const PixelRect want = controlRect(form1Design(), *form1Design().find(name), dpi);
        EXPECT_EQ((PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}), want) << name;
    }
    EXPECT_EQ(text(control("Frame1")), "Your ICQ directory:");
    EXPECT_EQ(text(control("Label1")), "No ICQ Directory found");
    EXPECT_TRUE(GetWindowLongA(control("Label1"), GWL_STYLE) & SS_CENTER);
    EXPECT_FALSE(GetWindowLongA(control("Text1"), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongA(control("File1"), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(MainFormWindow, SiblingOrderIsTheTabOrderSoTabWalksIt) {
    std::vector<HWND> focusable;
    for (HWND h = GetWindow(window.hwnd(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (GetWindowLongA(h, GWL_STYLE) & WS_TABSTOP && GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE)
            focusable.push_back(h);
    std::vector<HWND> expected;
    for (const char* name : {"Command1", "Command2", "Drive1", "Dir1", "Drive2", "Dir2"})
        expected.push_back(control(name));
    EXPECT_EQ(focusable, expected);
}

TEST_F(MainFormWindow, UsesTahomaWhereDesignedAndTheMessageFontElsewhere) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control("Command1"), WM_GETFONT, 0, 0)),
               sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfHeight, fontHeight(8.25, window.dpi()));
    EXPECT_EQ(font.lfWeight, 400);

    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control("Label1"), WM_GETFONT, 0, 0)),
               sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
}

TEST_F(MainFormWindow, PaintsLabel1InNavy) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageA(window.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control("Label1")));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 128));
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(window.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control("Frame1")));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3)) << "only Label1 has a colour of its own";
    DeleteDC(dc);
}

TEST_F(MainFormWindow, BuildsTheMenuTreeWithAccessKeysAndTheSeparator) {
    HMENU bar = GetMenu(window.hwnd());
    ASSERT_TRUE(bar);
    char caption[64];
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    GetMenuStringA(bar, 0, caption, sizeof(caption), MF_BYPOSITION);
    EXPECT_STREQ(caption, "&File");
    GetMenuStringA(bar, 1, caption, sizeof(caption), MF_BYPOSITION);
    EXPECT_STREQ(caption, "&Help");
    HMENU help = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(help), 5);
    const char* items[] = {"&Contents", "H&omepage", "&E-mail", nullptr, "&About"};
    for (int i = 0; i < 5; ++i) {
        if (!items[i]) {
            EXPECT_EQ(GetMenuState(help, i, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
            continue;
        }
        GetMenuStringA(help, i, caption, sizeof(caption), MF_BYPOSITION);
        EXPECT_STREQ(caption, items[i]);
    }
    HMENU file = GetSubMenu(bar, 0);
    const char* fileItems[] = {"&Check a backup...", "&Restore a backup...", "&Schedule backups...",
                               "ZIP Backup &password...", "E&xit"};
    ASSERT_EQ(GetMenuItemCount(file), 5);
    for (int i = 0; i < 5; ++i) {
        GetMenuStringA(file, i, caption, sizeof(caption), MF_BYPOSITION);
        EXPECT_STREQ(caption, fileItems[i]);
    }
    // Choosing an item reaches the handler wired to that name.
    SendMessageA(window.hwnd(), WM_COMMAND, GetMenuItemID(help, 0), 0);
    SendMessageA(window.hwnd(), WM_COMMAND, GetMenuItemID(file, 4), 0);
    EXPECT_EQ(events.calls, (std::vector<std::string>{"mnuContets", "mnuExit"}));
}

TEST_F(MainFormWindow, GivesBothBackupButtonsTheirTooltips) {
    HWND tip = window.tooltip();
    ASSERT_TRUE(tip);
    EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    for (auto [name, want] :
         {std::pair{"Command1", "This will zip (using pkzip.exe) to the selected directory"},
          std::pair{"Command2", "This will copy your ICQ files to the selected directory"}}) {
        char buffer[128] = {};
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        info.hwnd = window.hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(control(name));
        info.lpszText = buffer;
        SendMessageA(tip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(buffer, want) << name;
    }
}

TEST_F(MainFormWindow, RoutesEnterAndEscAndButtonClicks) {
    SendMessageA(window.hwnd(), WM_COMMAND, IDOK, 0);
    SendMessageA(window.hwnd(), WM_COMMAND, IDCANCEL, 0);
    SendMessageA(control("Command2"), BM_CLICK, 0, 0);
    SendMessageA(window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(events.calls, (std::vector<std::string>{"key:1", "key:2", "Command2:0", "close"}));
}

class ListViews : public ::testing::Test {
  protected:
    ListViews() {
        fs.addDrive('d', "DATA");
        fs.addFolder("C:\\ICQ\\db");
        fs.addFolder("C:\\Apps");
        fs.addFolder("D:\\Save");
    }
    void SetUp() override {
        window.create(nullptr);
        drive.init("C:\\");
        dir.init("C:\\");
    }
    test::MemoryFileSystem fs;
    RecordedEvents events;
    FormWindow window{form1Design(), events};
    DriveList drive{fs};
    FolderList dir{fs, fs.codePage()};
    std::vector<std::string> dispatched;
    Dispatch dispatch = [this](const std::function<void()>& action) {
        dispatched.push_back("action");
        action();
    };
};

std::vector<std::string> listTexts(HWND list, bool combo) {
    std::vector<std::string> texts;
    const int n = static_cast<int>(SendMessageA(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char buffer[256] = {};
        SendMessageA(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
        texts.push_back(buffer);
    }
    return texts;
}

TEST_F(ListViews, DriveListPickSetsTheModelThroughTheDispatcherAndFollowsIt) {
    HWND combo = window.control("Drive1");
    DriveListView view(combo, drive, dispatch);
    std::vector<std::string> changes;
    drive.Change = [&] { changes.push_back(drive.Drive()); };
    EXPECT_EQ(listTexts(combo, true), (std::vector<std::string>{"c:", "d: [DATA]"}));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 0);

    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    view.onNotify(CBN_SELCHANGE);
    EXPECT_EQ(changes, (std::vector<std::string>{"d: [DATA]"}));
    EXPECT_EQ(dispatched.size(), 1u);
    view.onNotify(CBN_CLOSEUP); // the same pick again changes nothing
    EXPECT_EQ(changes.size(), 1u);

    // A handler that moves the drive elsewhere is shown as it leaves the model.
    drive.Change = [&] { drive.Change = nullptr, drive.setDrive("d:"); };
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    view.onNotify(CBN_SELCHANGE);
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
}

TEST_F(ListViews, FolderListShowsReadableItemsAndOpensOnDoubleClick) {
    HWND list = window.control("Dir1");
    FolderListView view(list, dir, dispatch);
    EXPECT_EQ(listTexts(list, false), (std::vector<std::string>{"c:\\", "Apps", "ICQ"}));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0);
    int changes = 0;
    dir.Change = [&] { ++changes; };

    SendMessageA(list, LB_SETCURSEL, 2, 0);
    view.onNotify(LBN_DBLCLK);
    EXPECT_EQ(dir.Path(), "C:\\ICQ");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(listTexts(list, false), (std::vector<std::string>{"c:\\", "ICQ", "db"}));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1) << "the new Path is highlighted";

    SendMessageA(list, LB_SETCURSEL, 0, 0);
    view.openSelected(); // Enter
    EXPECT_EQ(dir.Path(), "C:\\");
    EXPECT_EQ(changes, 2);
}

TEST_F(ListViews, FolderListItemsAreTallEnoughForTheirIconAtAnyDpi) {
    HFONT font = window.fontOf(*form1Design().find("Dir1"));
    EXPECT_GE(FolderListView::itemHeight(font, 96), 18);
    EXPECT_GE(FolderListView::itemHeight(font, 192), 34);
}

} // namespace
} // namespace ch::gui

namespace ch::gui {
namespace {

TEST(AboutFormWindow, IsAFixedDialogWithTheBoldTitleFont) {
    RecordedEvents events;
    FormWindow window(frmAboutDesign(), events);
    window.create(nullptr);
    const LONG style = GetWindowLongA(window.hwnd(), GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_TRUE(GetWindowLongA(window.hwnd(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window.control("lblTitle"), WM_GETFONT, 0, 0)),
               sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfHeight, fontHeight(9.75, window.dpi()));
    EXPECT_TRUE(GetWindowLongA(window.control("cmdOK"), GWL_STYLE) & BS_DEFPUSHBUTTON);
}

} // namespace
} // namespace ch::gui

namespace ch::gui {
namespace {

TEST(MovedToAnotherMonitor, LaysTheWindowOutAgainAtTheNewDpi) {
    RecordedEvents events;
    FormWindow window(form1Design(), events);
    window.create(nullptr);
    const int dpi = window.dpi() == 144 ? 192 : 144;
    RECT suggested{10, 20, 10 + 800, 20 + 600};
    SendMessageA(window.hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window.dpi(), dpi);

    RECT client, outer;
    GetClientRect(window.hwnd(), &client);
    GetWindowRect(window.hwnd(), &outer);
    EXPECT_EQ(client.right, twipsToPixels(6675, dpi));
    EXPECT_EQ(client.bottom, twipsToPixels(4005, dpi));
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);

    HWND button = window.control("Command2");
    RECT r;
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}),
              controlRect(form1Design(), *form1Design().find("Command2"), dpi));
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    EXPECT_EQ(font.lfHeight, fontHeight(8.25, dpi));
}

} // namespace
} // namespace ch::gui
