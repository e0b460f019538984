// The Win32 gadgets under real input: SendInput for mouse and keys inside the
// windows, xdotool for the window manager's frame (close box, edges). Each
// test checks the events that reach the event queue.
// The toolkit's headers come before <windows.h>, whose macros would
// otherwise rename some gadget operations.
#include "event/Event.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "runtime/Errors.h"
#include "runtime/Program.h"
#include "gui/win32/WindowsGadgets.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Seen {
    int32_t id;
    Ref<Object> source;
    int32_t data;
    Ref<Object> extra;
    int32_t x = 0, y = 0;
};

HWND Hwnd(const Ref<TGadget>& g) { return reinterpret_cast<HWND>(g->Query(1)); }

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        PumpSystem();
        Sleep(5);
    } while (static_cast<int32_t>(end - GetTickCount()) > 0);
}

// Every queued event, after the input has settled.
std::vector<Seen> Drain(DWORD settle = 400) {
    Pump(settle);
    std::vector<Seen> out;
    while (QueuedEventCount() > 0) {
        PollEventQueue();
        out.push_back({PolledEvent->id, PolledEvent->source, PolledEvent->data, PolledEvent->extra, PolledEvent->x,
                       PolledEvent->y});
    }
    return out;
}

// Only the events of one source, and only of the given ids.
std::vector<Seen> From(const std::vector<Seen>& all, const Ref<TGadget>& g, std::vector<int32_t> ids) {
    std::vector<Seen> out;
    for (const Seen& s : all) {
        if (s.source.Get() != static_cast<Object*>(g.Get())) continue;
        for (int32_t id : ids)
            if (s.id == id) out.push_back(s);
    }
    return out;
}

// Mouse input at an absolute screen point: each event carries its position,
// so none depends on where an earlier warp left the pointer.
void SendMouseAt(POINT p, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((p.x * 65535 + GetSystemMetrics(SM_CXSCREEN) / 2) / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = static_cast<LONG>((p.y * 65535 + GetSystemMetrics(SM_CYSCREEN) / 2) / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
}

POINT Cursor() {
    POINT p;
    ::GetCursorPos(&p);
    return p;
}

void SendMouse(DWORD flags) { SendMouseAt(Cursor(), flags); }

void MoveTo(POINT p) {
    SendMouseAt(p, 0);
    Pump(100);
}

void Click(POINT p, bool right = false) {
    MoveTo(p);
    SendMouseAt(p, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    SendMouseAt(p, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    Pump(100);
}

void DoubleClick(POINT p) {
    MoveTo(p);
    for (int i = 0; i < 2; ++i) {
        SendMouseAt(p, MOUSEEVENTF_LEFTDOWN);
        SendMouseAt(p, MOUSEEVENTF_LEFTUP);
    }
    Pump(100);
}

void Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, 0));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

void Press(WORD vk) {
    Key(vk, false);
    Key(vk, true);
}

POINT CentreOf(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Runs a program of the machine underneath Wine (xdotool) and waits for it.
bool RunUnix(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = commandLine;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    // Our windows keep being served while it runs. Wine does not pass a Unix
    // program's exit status on, and its handle may be signalled before the
    // program is done, so callers allow for its run time afterwards.
    bool finished = false;
    for (int i = 0; i < 1000 && !finished; ++i) {
        finished = WaitForSingleObject(pi.hProcess, 10) != WAIT_TIMEOUT;
        PumpSystem();
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return finished;
}

class Win32GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitGuiPlatform();
        InitEventQueue();
    }

    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        // No click of this test may pair with the last one of the previous.
        Pump(GetDoubleClickTime() + 100);
        window = NewWindowGadget("Gadget test", 100, 100, 500, 400, {}, WINSTYLE_TITLEBAR | WINSTYLE_RESIZABLE);
        ASSERT_TRUE(window);
        Focus();
    }

    void TearDown() override {
        if (window) window->CleanUp();
        Drain(100);
    }

    void Focus() {
        HWND h = Hwnd(window);
        SetForegroundWindow(h);
        SetActiveWindow(h);
        Pump(250);
        Drain(50);
    }

    Ref<TGadget> window;
};

TEST_F(Win32GuiTest, WindowGeometryAndClientArea) {
    RECT r;
    GetWindowRect(Hwnd(window), &r);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 400);
    EXPECT_LT(ClientWidth(window), 500);
    EXPECT_LT(ClientHeight(window), 400);
    Ref<TGadget> label = NewLabelGadget("corner", 4, 4, 50, 20, window, 0);
    POINT p{0, 0};
    ClientToScreen(Hwnd(window), &p);
    RECT lr;
    GetWindowRect(Hwnd(label), &lr);
    EXPECT_EQ(lr.left - p.x, 4);
    EXPECT_EQ(lr.top - p.y, 4);
    // programmatic moves emit nothing
    window->SetShape(120, 110, 480, 380);
    EXPECT_TRUE(From(Drain(), window, {EventWindowMove, EventWindowSize}).empty());
    EXPECT_EQ(GadgetX(window), 120);
}

TEST_F(Win32GuiTest, PushButtonClickGivesOneAction) {
    Ref<TGadget> button = NewButtonGadget("Push", 10, 10, 100, 30, window, BTNSTYLE_PUSH);
    Drain(100);
    Click(CentreOf(Hwnd(button)));
    std::vector<Seen> ev = From(Drain(), button, {EventGadgetAction});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 0);
    EXPECT_EQ(GetGadgetText(button), String("Push"));
}

TEST_F(Win32GuiTest, CheckBoxCyclesAndReportsState) {
    Ref<TGadget> box = NewButtonGadget("Check", 10, 50, 120, 24, window, BTNSTYLE_CHECKBOX);
    Drain(100);
    // The queue keeps one pending action per gadget, so look after each click.
    auto clickData = [&] {
        Click(CentreOf(Hwnd(box)));
        std::vector<Seen> ev = From(Drain(), box, {EventGadgetAction});
        return ev.size() == 1 ? ev[0].data : -99;
    };
    EXPECT_EQ(clickData(), 1);
    EXPECT_EQ(ButtonState(box), 1);
    Pump(GetDoubleClickTime() + 100);
    EXPECT_EQ(clickData(), 0);
    EXPECT_EQ(ButtonState(box), 0);
    SetButtonState(box, -1);
    EXPECT_EQ(ButtonState(box), -1);
    EXPECT_TRUE(From(Drain(100), box, {EventGadgetAction}).empty());
    Pump(GetDoubleClickTime() + 100);
    EXPECT_EQ(clickData(), 1);
    EXPECT_EQ(ButtonState(box), 1);
}

TEST_F(Win32GuiTest, FastSecondClickPressesButtonAgain) {
    Ref<TGadget> button = NewButtonGadget("Twice", 10, 10, 100, 30, window, 0);
    Drain(100);
    POINT p = CentreOf(Hwnd(button));
    MoveTo(p);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(30);
    EXPECT_EQ(From(Drain(0), button, {EventGadgetAction}).size(), 1u);
    SendMouse(MOUSEEVENTF_LEFTDOWN);  // within the double-click time
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(From(Drain(), button, {EventGadgetAction}).size(), 1u);
}

TEST_F(Win32GuiTest, TypingGivesOneActionAndProgramTextNone) {
    Ref<TGadget> field = NewTextFieldGadget(10, 10, 200, 24, window, 0);
    Ref<TGadget> other = NewTextFieldGadget(10, 50, 200, 24, window, 0);
    Click(CentreOf(Hwnd(field)));
    Drain(100);
    Press('A');
    std::vector<Seen> ev = From(Drain(), field, {EventGadgetAction});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 0);
    EXPECT_EQ(GetGadgetText(field), String("a"));

    // several quick characters stay one queued action
    Press('B');
    Press('C');
    Press('D');
    EXPECT_EQ(From(Drain(), field, {EventGadgetAction}).size(), 1u);
    EXPECT_EQ(GetGadgetText(field), String("abcd"));

    // the program's own text: no event, selection kept
    PutGadgetText(field, "hello world");
    SendMessageW(Hwnd(field), EM_SETSEL, 2, 5);
    PutGadgetText(field, "HELLO WORLD");
    DWORD s = 0, e = 0;
    SendMessageW(Hwnd(field), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(s, 2u);
    EXPECT_EQ(e, 5u);
    EXPECT_TRUE(From(Drain(), field, {EventGadgetAction}).empty());
    PutGadgetText(other, "");
    EXPECT_EQ(GetGadgetText(other), String(""));
}

std::pair<DWORD, DWORD> Selection(const Ref<TGadget>& field) {
    DWORD s = 0, e = 0;
    SendMessageW(Hwnd(field), EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    return {s, e};
}

TEST_F(Win32GuiTest, FocusingAFieldSelectsItsTextSoTypingReplacesIt) {
    Ref<TGadget> url = NewTextFieldGadget(10, 10, 200, 24, window, 0);
    Ref<TGadget> name = NewTextFieldGadget(10, 50, 200, 24, window, 0);
    PutGadgetText(url, "URL");
    PutGadgetText(name, "name");
    using Sel = std::pair<DWORD, DWORD>;
    // a click into a field that has no focus
    Click(CentreOf(Hwnd(url)));
    EXPECT_EQ(Selection(url), Sel(0, 3));
    Press('X');
    Drain(100);
    EXPECT_EQ(GetGadgetText(url), String("x"));
    // Tab into the next one
    Press(VK_TAB);
    Pump(100);
    ASSERT_EQ(ActiveGadget(), name);
    EXPECT_EQ(Selection(name), Sel(0, 4));
    // a click into the focused field places the caret
    Pump(GetDoubleClickTime() + 100);
    Click(CentreOf(Hwnd(name)));
    Sel caret = Selection(name);
    EXPECT_EQ(caret.first, caret.second);
    Press('Y');
    Drain(100);
    EXPECT_EQ(GetGadgetText(name).Length(), 5);
    // Ctrl+A
    Key(VK_CONTROL, false);
    Press('A');
    Key(VK_CONTROL, true);
    Drain(100);
    EXPECT_EQ(Selection(name), Sel(0, 5));
    EXPECT_EQ(GetGadgetText(name).Length(), 5);
    // the program's focus command, as after an Add
    PutGadgetText(url, "URL");
    CommandGadget(url);
    Pump(100);
    EXPECT_EQ(ActiveGadget(), url);
    EXPECT_EQ(Selection(url), Sel(0, 3));
}

TEST_F(Win32GuiTest, KeyFilterDropsKeysAndSeesShift) {
    Ref<TGadget> field = NewTextFieldGadget(10, 10, 200, 24, window, 0);
    static int32_t lastMods = -1;
    SetGadgetFilter(
        field,
        [](const Ref<TEvent>& e, const Ref<Object>&) -> int32_t {
            if (e->id == EventKeyChar) lastMods = e->mods;
            return (e->id == EventKeyChar && (e->data == 'x' || e->data == 'X')) ? 0 : 1;
        },
        {});
    Click(CentreOf(Hwnd(field)));
    Press('X');
    Press('Y');
    Key(VK_SHIFT, false);
    Press('Z');
    Key(VK_SHIFT, true);
    Drain();
    EXPECT_EQ(GetGadgetText(field), String("yZ"));
    EXPECT_EQ(lastMods & 1, 1);
}

TEST_F(Win32GuiTest, EnterInFieldLosesFocusThenClicksOkButton) {
    Ref<TGadget> field = NewTextFieldGadget(10, 10, 200, 24, window, 0);
    Ref<TGadget> ok = NewButtonGadget("Add", 220, 10, 80, 24, window, BTNSTYLE_OK);
    Ref<TGadget> second = NewButtonGadget("Other", 220, 40, 80, 24, window, BTNSTYLE_OK);
    Click(CentreOf(Hwnd(field)));
    Drain(100);
    Press(VK_RETURN);
    std::vector<Seen> all = Drain();
    std::vector<Seen> mine;
    for (const Seen& s : all) {
        bool ours = s.source.Get() == static_cast<Object*>(field.Get()) ||
                    s.source.Get() == static_cast<Object*>(ok.Get()) ||
                    s.source.Get() == static_cast<Object*>(second.Get());
        if (ours) mine.push_back(s);
    }
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].id, EventGadgetLostFocus);
    EXPECT_EQ(mine[0].source.Get(), static_cast<Object*>(field.Get()));
    EXPECT_EQ(mine[1].id, EventGadgetAction);
    EXPECT_EQ(mine[1].source.Get(), static_cast<Object*>(ok.Get()));
    EXPECT_EQ(mine[1].data, 0);
}

class Win32ListTest : public Win32GuiTest {
protected:
    void Build(int32_t style, int rows) {
        list = NewListBoxGadget(10, 10, 300, 200, window, style);
        for (int i = 0; i < rows; ++i) {
            String name = String("Row ") + String::FormatInt(i);
            AppendGadgetItem(list, name, 0, 0, "tip", name);
        }
    }
    POINT Row(int index) {
        RECT r{};
        r.left = LVIR_BOUNDS;
        SendMessageW(Hwnd(list), LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        POINT p{r.left + 30, (r.top + r.bottom) / 2};
        ClientToScreen(Hwnd(list), &p);
        return p;
    }
    std::vector<Seen> ListEvents() {
        std::vector<Seen> ev = From(Drain(), list, {EventGadgetSelect, EventGadgetAction, EventGadgetMenu});
        return ev;
    }
    Ref<TGadget> list;
};

TEST_F(Win32ListTest, SingleSelectionClicks) {
    Build(0, 3);
    EXPECT_TRUE(ListEvents().empty());  // adding rows reports nothing
    Click(Row(1));
    std::vector<Seen> ev = ListEvents();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].id, EventGadgetSelect);
    EXPECT_EQ(ev[0].data, 1);
    String extra;
    ASSERT_TRUE(String::FromObject(ev[0].extra, extra));
    EXPECT_EQ(extra, String("Row 1"));

    Click(Row(1));
    EXPECT_TRUE(ListEvents().empty());

    Pump(GetDoubleClickTime() + 100);  // no double click with the clicks before
    DoubleClick(Row(2));
    ev = ListEvents();
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].id, EventGadgetSelect);
    EXPECT_EQ(ev[0].data, 2);
    EXPECT_EQ(ev[1].id, EventGadgetAction);
    EXPECT_EQ(ev[1].data, 2);

    Pump(GetDoubleClickTime() + 100);
    POINT below = Row(2);
    below.y += 60;
    Click(below);
    ev = ListEvents();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].id, EventGadgetSelect);
    EXPECT_EQ(ev[0].data, -1);
    EXPECT_TRUE(ev[0].extra.IsNull());

    // the platform selects the row it opens a menu for, so a selection
    // report may come first; the menu report is the last
    Click(Row(0), true);
    ev = ListEvents();
    ASSERT_FALSE(ev.empty());
    EXPECT_EQ(ev.back().id, EventGadgetMenu);
    EXPECT_EQ(ev.back().data, 0);
    EXPECT_LE(ev.size(), 2u);
}

TEST_F(Win32ListTest, ProgramChangesEmitNothing) {
    Build(0, 3);
    Click(Row(1));
    ASSERT_EQ(ListEvents().size(), 1u);
    DeleteGadgetItem(list, 1);
    EXPECT_TRUE(ListEvents().empty());
    EXPECT_EQ(SelectedGadgetItem(list), -1);
    SelectGadgetItem(list, 0);
    AppendGadgetItem(list, "late", 0, 0, "", {});
    EXPECT_TRUE(ListEvents().empty());
    EXPECT_EQ(SelectedGadgetItem(list), 0);
    // after a program selection, the user picking another row still reports
    Pump(GetDoubleClickTime() + 100);
    Click(Row(1));
    std::vector<Seen> ev = ListEvents();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 1);
    ClearGadgetItems(list);
    EXPECT_TRUE(ListEvents().empty());
    EXPECT_EQ(CountGadgetItems(list), 0);
}

TEST_F(Win32ListTest, MultiSelectionReportsLowestChange) {
    Build(LISTSTYLE_MULTISELECT, 5);
    Click(Row(3));
    std::vector<Seen> ev = ListEvents();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 3);
    Pump(GetDoubleClickTime() + 100);
    // Moving the pointer first: a pointer warp resynchronises the key state.
    MoveTo(Row(1));
    Key(VK_CONTROL, false);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Key(VK_CONTROL, true);
    ev = ListEvents();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].id, EventGadgetSelect);
    EXPECT_EQ(ev[0].data, 1);
    EXPECT_EQ(SelectedGadgetItems(list), (std::vector<int32_t>{1, 3}));
}

// The text a list view or header message puts into `item`'s buffer.
template <class Item>
std::wstring TextBy(HWND control, UINT msg, int index, Item item) {
    wchar_t buf[256] = {};
    item.pszText = buf;
    item.cchTextMax = 256;
    SendMessageW(control, msg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buf;
}

std::wstring CellText(HWND list, int row, int column) {
    LVITEMW item{};
    item.iSubItem = column;
    return TextBy(list, LVM_GETITEMTEXTW, row, item);
}

int ColumnWidth(HWND list, int column) {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

TEST_F(Win32ListTest, NamedColumnsShowAHeaderAndShareTheRoomLeft) {
    Build(0, 3);
    HWND h = Hwnd(list);
    HWND header = reinterpret_cast<HWND>(SendMessageW(h, LVM_GETHEADER, 0, 0));
    EXPECT_FALSE(header && IsWindowVisible(header));  // no columns named: no header
    AddGadgetColumn(list, "Name", 100, 3);
    AddGadgetColumn(list, "Last check", 80, 0);
    AddGadgetColumn(list, "State", 100, 2);
    Pump(100);
    header = reinterpret_cast<HWND>(SendMessageW(h, LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(header && IsWindowVisible(header));
    std::vector<std::wstring> titles;
    for (int c = 0; c < static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)); ++c) {
        HDITEMW hd{};
        hd.mask = HDI_TEXT;
        titles.push_back(TextBy(header, HDM_GETITEMW, c, hd));
    }
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Name", L"Last check", L"State"}));
    int dpi = DpiOf(h);
    // Fixed widths, then the room left over 3 : 2, every pixel of it given.
    for (int width : {300, 420}) {
        SetGadgetShape(list, 10, 10, width, 200);
        Pump(100);
        RECT client;
        GetClientRect(h, &client);
        int room = client.right - 2 * ToDevice(100, dpi) - ToDevice(80, dpi);
        EXPECT_EQ(ColumnWidth(h, 1), ToDevice(80, dpi)) << width;
        EXPECT_EQ(ColumnWidth(h, 0), ToDevice(100, dpi) + room * 3 / 5) << width;
        EXPECT_EQ(ColumnWidth(h, 0) + ColumnWidth(h, 1) + ColumnWidth(h, 2), client.right) << width;
    }
    EXPECT_TRUE(ListEvents().empty());
}

// 500 rows: a cell changes in place, without the row or the list being
// rebuilt: the selection, the scroll position and the other cells stay.
TEST_F(Win32ListTest, ACellChangesInPlaceAndRowsPutBackKeepTheirCells) {
    Build(0, 500);
    AddGadgetColumn(list, "Name", 100, 1);
    AddGadgetColumn(list, "State", 100, 1);
    HWND h = Hwnd(list);
    SetGadgetItemCell(list, 250, 1, "before");
    SelectGadgetItem(list, 250);
    int top = static_cast<int>(SendMessageW(h, LVM_GETTOPINDEX, 0, 0));
    ASSERT_GT(top, 0);
    SetGadgetItemCell(list, 251, 1, "failing since 11:40");
    SetGadgetItemCell(list, 250, 0, "Renamed");
    EXPECT_EQ(CellText(h, 251, 1), L"failing since 11:40");
    EXPECT_EQ(CellText(h, 250, 0), L"Renamed");
    EXPECT_EQ(CellText(h, 250, 1), L"before");
    EXPECT_EQ(CellText(h, 252, 1), L"");
    EXPECT_EQ(SendMessageW(h, LVM_GETTOPINDEX, 0, 0), top);
    EXPECT_EQ(SelectedGadgetItem(list), 250);
    EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 500);
    ModifyGadgetItem(list, 250, "Row 250 again", 0, 0, "tip", {});
    EXPECT_EQ(CellText(h, 250, 1), L"before");
    EXPECT_EQ(SelectedGadgetItem(list), 250);
    EXPECT_TRUE(ListEvents().empty());
}

TEST_F(Win32ListTest, EnterActsOnTheSelectedRowAndOtherwiseOnTheDefaultButton) {
    Ref<TGadget> ok = NewButtonGadget("Add", 320, 10, 80, 24, window, BTNSTYLE_OK);
    Build(0, 3);
    Click(Row(1));
    Drain(100);
    Press(VK_RETURN);
    std::vector<Seen> all = Drain();
    std::vector<Seen> acted = From(all, list, {EventGadgetAction});
    ASSERT_EQ(acted.size(), 1u);
    EXPECT_EQ(acted[0].data, 1);
    EXPECT_TRUE(From(all, ok, {EventGadgetAction}).empty());
    DeselectGadgetItem(list, 1);
    Press(VK_RETURN);
    all = Drain();
    EXPECT_TRUE(From(all, list, {EventGadgetAction}).empty());
    EXPECT_EQ(From(all, ok, {EventGadgetAction}).size(), 1u);
}

class Win32FrameTest : public Win32GuiTest {
protected:
    void SetUp() override {
        Win32GuiTest::SetUp();
        if (IsSkipped()) return;
        if (!RunUnix(L"/usr/bin/xdotool version")) GTEST_SKIP() << "xdotool not reachable";
    }
    // The X window the window manager framed for our window, by its title.
    void XDo(const std::wstring& args) { EXPECT_TRUE(RunUnix(L"/usr/bin/xdotool " + args)) << "xdotool did not finish"; }
};

TEST_F(Win32FrameTest, CloseBoxGivesOneCloseAndWindowStays) {
    PutGadgetText(window, "Close me");
    Pump(200);
    // The close box sits at the right end of the title bar that the window
    // manager draws over the window's top frame.
    RECT r;
    GetWindowRect(Hwnd(window), &r);
    POINT client{0, 0};
    ClientToScreen(Hwnd(window), &client);
    wchar_t cmd[160];
    swprintf(cmd, 160, L"mousemove %ld %ld click 1", r.right - 10, (r.top + client.y) / 2);
    XDo(cmd);
    std::vector<Seen> ev = From(Drain(600), window, {EventWindowClose});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 0);
    EXPECT_TRUE(IsWindow(Hwnd(window)));
    EXPECT_TRUE(IsWindowVisible(Hwnd(window)));
}

TEST_F(Win32FrameTest, DraggingTheEdgeResizesUntilTheSizeIsFixed) {
    PutGadgetText(window, "Fixed size");
    Pump(300);
    Drain();
    // drag the bottom-right corner of the frame with the real pointer
    auto dragCorner = [&] {
        // The window manager draws its own, thinner frame: its corner grip
        // lies just below the client area's bottom-right corner.
        RECT c;
        GetClientRect(Hwnd(window), &c);
        POINT r{c.right - 3, c.bottom + 2};
        ClientToScreen(Hwnd(window), &r);
        wchar_t cmd[200];
        swprintf(cmd, 200,
                 L"mousemove %ld %ld sleep 0.2 mousedown 1 sleep 0.2 mousemove %ld %ld sleep 0.2 "
                 L"mousemove %ld %ld sleep 0.2 mouseup 1",
                 r.x, r.y, r.x + 20, r.y + 20, r.x + 60, r.y + 40);
        XDo(cmd);
        return From(Drain(1500), window, {EventWindowSize});
    };
    // a resizable window follows the drag and says so
    std::vector<Seen> ev = dragCorner();
    ASSERT_FALSE(ev.empty());
    EXPECT_GT(ev.back().x, 500);
    RECT r;
    GetWindowRect(Hwnd(window), &r);
    EXPECT_GT(r.right - r.left, 500);
    EXPECT_EQ(GadgetWidth(window), r.right - r.left);

    window->SetShape(100, 100, 500, 400);
    LimitWindowMinimum(window, 500, 400);
    LimitWindowMaximum(window, 500, 400);
    LONG_PTR s = GetWindowLongPtrW(Hwnd(window), GWL_STYLE);
    EXPECT_FALSE(s & WS_THICKFRAME);
    EXPECT_FALSE(s & WS_MAXIMIZEBOX);
    EXPECT_TRUE(s & WS_MINIMIZEBOX);
    Pump(300);
    Drain();
    EXPECT_TRUE(dragCorner().empty());
    GetWindowRect(Hwnd(window), &r);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 400);
}

TEST_F(Win32GuiTest, HotKeysFireOnlyWhileEnabledAndSwallowTheKey) {
    Ref<TGadget> button = NewButtonGadget("F7", 10, 10, 80, 24, window, 0);
    Ref<TGadget> field = NewTextFieldGadget(10, 40, 200, 24, window, 0);
    SetGadgetHotKey(button, VK_F7, 0);
    SetGadgetHotKey(field, 'Q', 0);
    Click(CentreOf(Hwnd(field)));
    Drain(100);
    Press(VK_F7);
    std::vector<Seen> ev = From(Drain(), button, {EventGadgetAction});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 0);
    // a hot key never reaches the focused control
    Press('Q');
    Drain();
    EXPECT_EQ(GetGadgetText(field), String(""));
    // disabled: the key neither fires nor is swallowed
    DisableGadget(field);
    DisableGadget(button);
    Press(VK_F7);
    EXPECT_TRUE(From(Drain(), button, {EventGadgetAction}).empty());
    EnableGadget(field);
    SetGadgetHotKey(field, 0, 0);
    Click(CentreOf(Hwnd(field)));
    Press('Q');
    Drain();
    EXPECT_EQ(GetGadgetText(field), String("q"));
}

TEST_F(Win32GuiTest, MouseSensitiveGadgetReportsMovesOnlyWhenThePointChanges) {
    Ref<TGadget> label = NewLabelGadget("sensitive", 20, 20, 200, 100, window, 0);
    SetGadgetSensitivity(label, SENSE_MOUSE);
    POINT p = CentreOf(Hwnd(label));
    MoveTo(p);
    Drain(100);
    p.x += 5;
    MoveTo(p);
    std::vector<Seen> ev = From(Drain(), label, {EventMouseMove});
    ASSERT_FALSE(ev.empty());
    POINT c = p;
    ScreenToClient(Hwnd(label), &c);
    EXPECT_EQ(ev.back().x, c.x);
    EXPECT_EQ(ev.back().y, c.y);
    MoveTo(p);  // same place again
    EXPECT_TRUE(From(Drain(), label, {EventMouseMove}).empty());
    Click(p);
    ev = From(Drain(), label, {EventMouseDown, EventMouseUp});
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0].id, EventMouseDown);
    EXPECT_EQ(ev[0].data, 1);
    // windows never take mouse sensitivity
    SetGadgetSensitivity(window, SENSE_MOUSE | SENSE_KEYS);
    EXPECT_EQ(GadgetSensitivity(window), SENSE_KEYS);
}

TEST_F(Win32GuiTest, ClientCoordinateWindowsPlaceTheirClientArea) {
    Ref<TGadget> w = NewWindowGadget("Client", 150, 160, 300, 200, {},
                                     WINSTYLE_TITLEBAR | WINSTYLE_CLIENTCOORDS | WINSTYLE_STATUS);
    Pump(200);
    POINT p{0, 0};
    ClientToScreen(Hwnd(w), &p);
    EXPECT_EQ(p.x, 150);
    EXPECT_EQ(p.y, 160);
    EXPECT_EQ(ClientWidth(w), 300);
    EXPECT_EQ(ClientHeight(w), 200);  // the status bar is extra
    // kids go into the client window above the status bar
    Ref<TGadget> b = NewButtonGadget("in", 0, 0, 50, 20, w, 0);
    EXPECT_EQ(GetParent(Hwnd(b)), reinterpret_cast<HWND>(w->Query(2)));
    EXPECT_NE(w->Query(2), w->Query(1));
    w->CleanUp();
}

TEST_F(Win32GuiTest, MenuCommandsBecomeMenuActions) {
    Ref<TGadget> root = WindowMenu(window);
    Ref<TGadget> file = NewMenuGadget("&File", 0, root, 0, 0);
    Ref<TGadget> open = NewMenuGadget("&Open", 42, file, 0, 0);
    UpdateWindowMenu(window);
    EXPECT_TRUE(GetMenu(Hwnd(window)) != nullptr);
    UINT id = Cast<TWindowsMenu>(open)->id;
    SendMessageW(Hwnd(window), WM_COMMAND, id, 0);
    std::vector<Seen> ev = From(Drain(), open, {EventMenuAction});
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].data, 42);
}

// The text the shared tooltip window would show for a gadget's tool: it
// asks the tool's owner window for it.
std::wstring ShownTip(const Ref<TGadget>& g) {
    wchar_t buffer[80] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.hwnd = GetParent(Hwnd(g));
    ti.uId = reinterpret_cast<UINT_PTR>(Hwnd(g));
    ti.lpszText = buffer;
    SendMessageW(SharedTooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    return buffer;
}

TEST_F(Win32GuiTest, TooltipsRegisterWithTheSharedTooltipWindow) {
    Ref<TGadget> b = NewButtonGadget("Tip", 10, 40, 80, 24, window, 0);
    LRESULT before = SendMessageW(SharedTooltip, TTM_GETTOOLCOUNT, 0, 0);
    SetGadgetToolTip(b, "a tip");
    EXPECT_EQ(SendMessageW(SharedTooltip, TTM_GETTOOLCOUNT, 0, 0), before + 1);
    EXPECT_EQ(ShownTip(b), L"a tip");
    SetGadgetToolTip(b, "another");
    EXPECT_EQ(SendMessageW(SharedTooltip, TTM_GETTOOLCOUNT, 0, 0), before + 1);
    EXPECT_EQ(ShownTip(b), L"another");
    SetGadgetToolTip(b, "");
    EXPECT_EQ(SendMessageW(SharedTooltip, TTM_GETTOOLCOUNT, 0, 0), before);
}

TEST_F(Win32GuiTest, SeparatorAndTooltipText) {
    Ref<TGadget> sep = NewLabelGadget("ignored", 10, 10, 300, 24, window, LBLSTYLE_SEPARATOR);
    EXPECT_EQ(GadgetWidth(sep), 300);
    EXPECT_EQ(GadgetHeight(sep), 2);
    Ref<TGadget> b = NewButtonGadget("Tip", 10, 40, 80, 24, window, 0);
    SetGadgetToolTip(b, "one\r\ntwo\rthree\nfour");
    EXPECT_EQ(GetGadgetToolTip(b), String("one\r\ntwothree\r\nfour"));
    SetGadgetToolTip(b, "");
    EXPECT_EQ(GetGadgetToolTip(b), String(""));
}

TEST_F(Win32GuiTest, HidingFocusedGadgetMovesFocusAndStateBits) {
    Ref<TGadget> first = NewTextFieldGadget(10, 10, 200, 24, window, 0);
    Ref<TGadget> field = NewTextFieldGadget(10, 40, 200, 24, window, 0);
    Click(CentreOf(Hwnd(field)));
    ASSERT_EQ(ActiveGadget(), field);
    SetFocus(Hwnd(window));
    CommandGadget(window);  // the first tab stop of the window takes it
    EXPECT_EQ(ActiveGadget(), first);
    Pump(GetDoubleClickTime() + 100);  // a second click in time would be a double click
    Click(CentreOf(Hwnd(field)));
    ASSERT_EQ(ActiveGadget(), field);
    // the focus goes where focusing the parent puts it; the system alone
    // would leave it on the window
    HideGadget(field);
    EXPECT_TRUE(GadgetHidden(field));
    EXPECT_EQ(ActiveGadget(), first);
    DisableGadget(field);
    EXPECT_TRUE(GadgetDisabled(field));
    EXPECT_EQ(GadgetClass(field), KIND_TEXTFIELD);
    // kinds this driver does not build are the null object
    EXPECT_TRUE(GuiDriver->CreateGadget(KIND_SLIDER, "", 0, 0, 10, 10, window, 0).IsNull());
}

// Tab, Enter and Escape reach the controls of a window, also inside the
// client window of a window with a status bar; a disabled or hidden OK or
// Cancel button does not answer them.
TEST_F(Win32GuiTest, DialogKeysReachUsableButtonsOnly) {
    for (int32_t extra : {0, WINSTYLE_STATUS}) {
        SCOPED_TRACE(extra);
        window->CleanUp();
        window = NewWindowGadget("Keys", 100, 100, 500, 400, {}, WINSTYLE_TITLEBAR | extra);
        Focus();
        Ref<TGadget> one = NewTextFieldGadget(10, 10, 200, 24, window, 0);
        Ref<TGadget> two = NewTextFieldGadget(10, 40, 200, 24, window, 0);
        Ref<TGadget> okOff = NewButtonGadget("Off", 220, 10, 80, 24, window, BTNSTYLE_OK);
        Ref<TGadget> ok = NewButtonGadget("OK", 220, 40, 80, 24, window, BTNSTYLE_OK);
        Ref<TGadget> cancel = NewButtonGadget("Cancel", 220, 70, 80, 24, window, BTNSTYLE_CANCEL);
        DisableGadget(okOff);
        Click(CentreOf(Hwnd(one)));
        Press(VK_TAB);
        Pump(150);
        EXPECT_EQ(ActiveGadget(), two);
        Press(VK_RETURN);
        std::vector<Seen> all = Drain();
        EXPECT_EQ(From(all, ok, {EventGadgetAction}).size(), 1u);
        EXPECT_TRUE(From(all, okOff, {EventGadgetAction}).empty());
        Click(CentreOf(Hwnd(one)));
        Press(VK_ESCAPE);
        EXPECT_EQ(From(Drain(), cancel, {EventGadgetAction}).size(), 1u);
        HideGadget(cancel);
        Click(CentreOf(Hwnd(one)));
        Press(VK_ESCAPE);
        EXPECT_TRUE(From(Drain(), cancel, {EventGadgetAction}).empty());
    }
}

// An error raised by a hook function inside the window procedure or the
// input hooks comes out of the pump, not through the system's frames.
Ref<TGadget> g_raiseFor;
Ref<Object> RaiseForGadget(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    Ref<TEvent> e = Cast<TEvent>(data);
    if (e && e->source == g_raiseFor && e->id != EventMouseEnter) RaiseRuntimeError("raised in a hook");
    return data;
}

TEST_F(Win32GuiTest, ErrorsOfHookFunctionsComeOutOfThePump) {
    Ref<TGadget> button = NewButtonGadget("Raise", 10, 10, 100, 30, window, 0);
    Ref<TGadget> hot = NewButtonGadget("Hot", 10, 50, 100, 30, window, 0);
    Ref<TGadget> label = NewLabelGadget("moves", 10, 100, 200, 60, window, 0);
    SetGadgetHotKey(hot, VK_F8, 0);
    SetGadgetSensitivity(label, SENSE_MOUSE);
    POINT b = CentreOf(Hwnd(button)), l = CentreOf(Hwnd(label));
    // Input that nothing dispatches until the pump runs, and one message
    // that the system hands to the window procedure at once.
    struct Case {
        const char* name;
        Ref<TGadget> gadget;
        int32_t id;
        std::function<void()> input;
    } cases[] = {
        {"click", button, EventGadgetAction,
         [&] { SendMouseAt(b, MOUSEEVENTF_LEFTDOWN); SendMouseAt(b, MOUSEEVENTF_LEFTUP); }},
        {"hot key", hot, EventGadgetAction, [&] { Press(VK_F8); }},
        {"move", label, EventMouseMove, [&] { SendMouseAt(l, 0); l.x += 3; SendMouseAt(l, 0); }},
        {"sent close", window, EventWindowClose, [&] { SendMessageW(Hwnd(window), WM_CLOSE, 0, 0); }},
    };
    InsertHook(EventHookId, RaiseForGadget, {}, 50);
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pump(GetDoubleClickTime() + 100);
        Drain(0);
        g_raiseFor = c.gadget;
        bool escaped = false, raised = false;
        try {
            c.input();
        } catch (const TRuntimeException&) {
            escaped = true;  // it unwound through the system's call
        }
        try {
            Pump(300);
        } catch (const TRuntimeException&) {
            raised = true;
        }
        EXPECT_FALSE(escaped);
        EXPECT_TRUE(raised);
        // the same input works afterwards
        g_raiseFor = nullptr;
        Pump(GetDoubleClickTime() + 100);
        Drain(0);
        c.input();
        EXPECT_FALSE(From(Drain(), c.gadget, {c.id}).empty());
    }
    DropHook(EventHookId, RaiseForGadget, {});
}

TEST_F(Win32GuiTest, FreedGadgetLetsGoOfItsWindowAndTheHover) {
    Ref<TGadget> gone = NewLabelGadget("gone", 10, 10, 150, 60, window, 0);
    Ref<TGadget> stays = NewLabelGadget("stays", 200, 10, 150, 60, window, 0);
    SetGadgetSensitivity(gone, SENSE_MOUSE);
    SetGadgetSensitivity(stays, SENSE_MOUSE);
    MoveTo(CentreOf(Hwnd(gone)));
    POINT p = CentreOf(Hwnd(gone));
    p.x += 3;
    MoveTo(p);
    ASSERT_FALSE(From(Drain(), gone, {EventMouseEnter}).empty());
    POINT there = CentreOf(Hwnd(stays));
    FreeGadget(gone);
    EXPECT_EQ(gone->Query(1), 0);
    EXPECT_EQ(Cast<TWindowsGadget>(gone)->_proc, nullptr);
    MoveTo(there);
    there.x += 3;
    MoveTo(there);
    std::vector<Seen> all = Drain();
    EXPECT_TRUE(From(all, gone, {EventMouseLeave, EventMouseMove}).empty());
    EXPECT_FALSE(From(all, stays, {EventMouseEnter}).empty());
}

TEST_F(Win32GuiTest, FreeingWindowReleasesNativeWindowsAndGadgets) {
    Ref<TGadget> panelKid = NewButtonGadget("x", 1, 1, 10, 10, window, 0);
    HWND w = Hwnd(window), b = Hwnd(panelKid);
    FreeGadget(window);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_TRUE(window->kids->IsEmpty());
    window = nullptr;
}

}  // namespace
