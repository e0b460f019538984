// The Win32 system driver with real windows, real input (SendInput) and real
// message boxes, under a desktop (Wine on a virtual display here).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "EventTestSupport.h"
#include "event/win32/Win32SystemDriver.h"
#include "runtime/Program.h"

namespace {

class Source : public Object {};

constexpr UINT WM_EMIT_PROBE = WM_APP + 1;
constexpr UINT WM_LATE = WM_APP + 2;
bool g_lateSeen = false;
HWND g_lateTarget = nullptr;
int32_t g_probeId = 0;

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* source = reinterpret_cast<Object*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_EMIT_PROBE) {
        MakeEvent(g_probeId, Ref<Object>(source))->Emit();
        return 0;
    }
    if (message == WM_LATE) {
        g_lateSeen = true;
        return 0;
    }
    if (source) TranslateOSMessage(hwnd, message, wparam, lparam, Ref<Object>(source));
    if (message == WM_CLOSE) return 0;  // the test owns the windows' lifetime
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

bool PumpUntil(const std::function<bool()>& done, int millis = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        PumpSystem();
        Sleep(5);
    }
    return true;
}

void PumpFor(int millis) {
    PumpUntil([] { return false; }, millis);
}

void SendKey(WORD vk, WORD scan, bool up, bool extended = false) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof in);
}

void MovePointerTo(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = static_cast<LONG>((x * 65536LL + w / 2) / w);
    in.mi.dy = static_cast<LONG>((y * 65536LL + h / 2) / h);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

void MouseButton(DWORD flags, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    SendInput(1, &in, sizeof in);
}

class Win32Driver : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ApplicationTitle = "Corvane Application";
        InitEventQueue();
        g_probeId = NewUserEventId("Probe");
        WNDCLASSW wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"EventTestWindow";
        RegisterClassW(&wc);
    }

    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        _sourceA = New<Source>();
        _sourceB = New<Source>();
        _b = MakeWindow(L"B", 500, 100, _sourceB);
        _a = MakeWindow(L"A", 100, 100, _sourceA);
        PumpUntil([this] {
            if (GetForegroundWindow() != _a) SetForegroundWindow(_a);
            if (GetFocus() != _a) SetFocus(_a);
            return GetForegroundWindow() == _a && GetFocus() == _a;
        });
        PumpFor(100);
        DrainEventQueue();
    }

    void TearDown() override {
        if (_a) DestroyWindow(_a);
        if (_b) DestroyWindow(_b);
        // Release any key the test may have left down.
        PumpFor(50);
        DrainEventQueue();
    }

    HWND MakeWindow(const wchar_t* title, int x, int y, const Ref<Source>& source) {
        HWND h = CreateWindowExW(0, L"EventTestWindow", title, WS_OVERLAPPEDWINDOW, x, y, 300, 240, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(source.Get()));
        ShowWindow(h, SW_SHOW);
        UpdateWindow(h);
        return h;
    }

    POINT CentreOf(HWND h) {
        RECT r{};
        GetClientRect(h, &r);
        POINT p{r.right / 2, r.bottom / 2};
        ClientToScreen(h, &p);
        return p;
    }

    static std::vector<Ref<TEvent>> Only(const EventRecorder& rec, std::initializer_list<int32_t> ids) {
        std::vector<Ref<TEvent>> out;
        for (const auto& e : rec.events)
            for (int32_t id : ids)
                if (e->id == id) out.push_back(e);
        return out;
    }

    HWND _a = nullptr, _b = nullptr;
    Ref<Source> _sourceA, _sourceB;
};

TEST_F(Win32Driver, KeysGiveDownRepeatCharAndUpWithSidedModifiers) {
    EventRecorder rec;
    SendKey('A', 0x1E, false);
    SendKey('A', 0x1E, false);  // auto-repeat: the key is already down
    SendKey('A', 0x1E, true);
    ASSERT_TRUE(PumpUntil([&] { return !Only(rec, {EventKeyUp}).empty(); }));
    auto keys = Only(rec, {EventKeyDown, EventKeyRepeat, EventKeyUp});
    ASSERT_EQ(3u, keys.size());
    EXPECT_EQ(EventKeyDown, keys[0]->id);
    EXPECT_EQ(EventKeyRepeat, keys[1]->id);
    EXPECT_EQ(EventKeyUp, keys[2]->id);
    for (const auto& e : keys) {
        EXPECT_EQ(0x41, e->data);
        EXPECT_TRUE(e->source == _sourceA);
    }
    auto chars = Only(rec, {EventKeyChar});
    ASSERT_EQ(2u, chars.size());
    EXPECT_EQ('a', chars[0]->data);

    rec.events.clear();
    SendKey(VK_CONTROL, 0x1D, false, true);  // right control
    SendKey('B', 0x30, false);
    SendKey('B', 0x30, true);
    SendKey(VK_CONTROL, 0x1D, true, true);
    SendKey(VK_CONTROL, 0x1D, false);  // left control
    SendKey(VK_CONTROL, 0x1D, true);
    ASSERT_TRUE(PumpUntil([&] { return Only(rec, {EventKeyUp}).size() >= 3; }));
    auto downs = Only(rec, {EventKeyDown});
    ASSERT_EQ(3u, downs.size());
    EXPECT_EQ(0xA3, downs[0]->data);
    EXPECT_EQ(0x42, downs[1]->data);
    EXPECT_EQ(2, downs[1]->mods);  // control held while B went down
    EXPECT_EQ(0xA2, downs[2]->data);
    auto ups = Only(rec, {EventKeyUp});
    EXPECT_EQ(0xA3, ups[1]->data);
    EXPECT_EQ(0, ModifierState);
}

TEST_F(Win32Driver, PointerEntersLeavesClicksAndWheels) {
    // Start from a place outside both windows, so neither counts as hovered.
    // The system reports the leaving of a hovered window on its next check.
    {
        EventRecorder before;
        MovePointerTo(20, 700);
        PumpUntil([&] { return !Only(before, {EventMouseLeave}).empty(); }, 1500);
    }
    EventRecorder rec;
    POINT a = CentreOf(_a), b = CentreOf(_b);
    MovePointerTo(a.x, a.y);
    ASSERT_TRUE(PumpUntil([&] { return !Only(rec, {EventMouseMove}).empty(); }));
    MovePointerTo(b.x, b.y);
    ASSERT_TRUE(PumpUntil([&] {
        auto moves = Only(rec, {EventMouseMove});
        return !moves.empty() && moves.back()->source == _sourceB;
    }));
    auto seq = Only(rec, {EventMouseEnter, EventMouseLeave, EventMouseMove});
    // Crossing from A into B: A is left, B entered, then B's move.
    size_t firstB = 0;
    while (firstB < seq.size() && !(seq[firstB]->source == _sourceB)) ++firstB;
    ASSERT_GE(firstB, 2u);
    EXPECT_EQ(EventMouseMove, seq[firstB - 2]->id);
    EXPECT_TRUE(seq[firstB - 2]->source == _sourceA);
    EXPECT_EQ(EventMouseLeave, seq[firstB - 1]->id);
    EXPECT_TRUE(seq[firstB - 1]->source == _sourceA);
    EXPECT_EQ(EventMouseEnter, seq[firstB]->id);
    ASSERT_LT(firstB + 1, seq.size());
    EXPECT_EQ(EventMouseMove, seq[firstB + 1]->id);
    EXPECT_TRUE(seq[firstB + 1]->source == _sourceB);
    // Entering comes before the first move in a window.
    auto firstA = std::find_if(seq.begin(), seq.end(), [&](const Ref<TEvent>& e) { return e->source == _sourceA; });
    ASSERT_NE(seq.end(), firstA);
    EXPECT_NE(EventMouseLeave, (*firstA)->id);
    auto moves = Only(rec, {EventMouseMove});
    RECT rb{};
    GetClientRect(_b, &rb);
    EXPECT_EQ(rb.right / 2, moves.back()->x);
    EXPECT_EQ(rb.bottom / 2, moves.back()->y);

    rec.events.clear();
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(PumpUntil([&] { return !Only(rec, {EventMouseDown}).empty(); }));
    EXPECT_EQ(_b, GetCapture());
    MouseButton(MOUSEEVENTF_LEFTUP);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    MouseButton(MOUSEEVENTF_MIDDLEDOWN);
    MouseButton(MOUSEEVENTF_MIDDLEUP);
    ASSERT_TRUE(PumpUntil([&] { return Only(rec, {EventMouseUp}).size() >= 3; }));
    EXPECT_EQ(nullptr, GetCapture());
    auto buttons = Only(rec, {EventMouseDown, EventMouseUp});
    ASSERT_EQ(6u, buttons.size());
    int32_t expected[6][2] = {{EventMouseDown, 1}, {EventMouseUp, 1}, {EventMouseDown, 2},
                              {EventMouseUp, 2},   {EventMouseDown, 3}, {EventMouseUp, 3}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(expected[i][0], buttons[i]->id) << i;
        EXPECT_EQ(expected[i][1], buttons[i]->data) << i;
        EXPECT_TRUE(buttons[i]->source == _sourceB) << i;
    }

    rec.events.clear();
    MouseButton(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    MouseButton(MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    MouseButton(MOUSEEVENTF_WHEEL, 3 * WHEEL_DELTA);
    ASSERT_TRUE(PumpUntil([&] { return Only(rec, {EventMouseWheel}).size() >= 3; }));
    auto wheel = Only(rec, {EventMouseWheel});
    EXPECT_EQ(1, wheel[0]->data);
    EXPECT_EQ(-1, wheel[1]->data);
    EXPECT_EQ(3, wheel[2]->data);
}

TEST_F(Win32Driver, TranslationOfHandMadeMessages) {
    EventRecorder rec;
    // Extended scan codes tell the sides apart; the virtual key otherwise.
    EXPECT_EQ(0xA1, KeyCodeFromMessage(VK_SHIFT, 0x36 << 16));
    EXPECT_EQ(0xA0, KeyCodeFromMessage(VK_SHIFT, 0x2A << 16));
    EXPECT_EQ(0xA5, KeyCodeFromMessage(VK_MENU, (0x38 << 16) | (1 << 24)));
    EXPECT_EQ(0xA4, KeyCodeFromMessage(VK_MENU, 0x38 << 16));
    EXPECT_EQ(0x0D, KeyCodeFromMessage(VK_RETURN, 0x1C << 16));

    TranslateOSMessage(_a, WM_KEYDOWN, 0, 0, _sourceA);    // no virtual key
    TranslateOSMessage(_a, WM_KEYDOWN, 300, 0, _sourceA);  // outside the key table
    TranslateOSMessage(_a, WM_LBUTTONDBLCLK, 0, 0, _sourceA);
    TranslateOSMessage(_a, WM_DEADCHAR, 'x', 0, _sourceA);
    EXPECT_TRUE(rec.events.empty());

    TranslateOSMessage(_a, WM_MOUSEMOVE, MK_RBUTTON | MK_LBUTTON, MAKELPARAM(-5, -7), _sourceA);
    TranslateOSMessage(_a, WM_MOUSEMOVE, MK_MBUTTON | MK_LBUTTON, MAKELPARAM(1, 2), _sourceA);
    TranslateOSMessage(_a, WM_CLOSE, 0, 0, _sourceA);
    TranslateOSMessage(_a, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(_b), _sourceA);  // own window
    TranslateOSMessage(_a, WM_ACTIVATE, WA_INACTIVE, 0, _sourceA);
    TranslateOSMessage(_a, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(_b), _sourceA);
    TranslateOSMessage(_a, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0, _sourceA);  // minimised
    TranslateOSMessage(_a, WM_ACTIVATE, WA_ACTIVE, 0, _sourceA);
    std::vector<int32_t> ids;
    for (const auto& e : rec.events)
        if (e->id != EventMouseEnter && e->id != EventMouseLeave) ids.push_back(e->id);
    EXPECT_EQ((std::vector<int32_t>{EventMouseMove, EventMouseMove, EventAppTerminate, EventAppSuspend, EventAppResume}),
              ids);
    auto moves = Only(rec, {EventMouseMove});
    EXPECT_EQ(2, moves[0]->data);
    EXPECT_EQ(-5, moves[0]->x);
    EXPECT_EQ(-7, moves[0]->y);
    EXPECT_EQ(4, moves[1]->data);
}

Ref<Object> PumpInsideHook(int32_t, const Ref<Object>& data, const Ref<Object>&) {
    Ref<TEvent> e = Cast<TEvent>(data);
    if (e && e->id == g_probeId) {
        PostMessageW(g_lateTarget, WM_LATE, 0, 0);
        PumpSystem();
        AwaitSystem();
        e->x = g_lateSeen ? 1 : 2;  // 2: the inner calls pumped nothing
    }
    return data;
}

TEST_F(Win32Driver, PumpingFromAHookDuringDispatchReturnsAtOnce) {
    g_lateSeen = false;
    g_lateTarget = _a;
    InsertHook(EventHookId, PumpInsideHook, Ref<Object>(), 10);
    PostMessageW(_a, WM_EMIT_PROBE, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return g_lateSeen; }));
    DropHook(EventHookId, PumpInsideHook, Ref<Object>());
    ASSERT_EQ(g_probeId, PollEventQueue());
    EXPECT_EQ(2, PolledEventX());
}

TEST_F(Win32Driver, TabMovesBetweenTabStopControlsOfAWindow) {
    HWND first = CreateWindowExW(0, L"BUTTON", L"one", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 80, 24, _a, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HWND second = CreateWindowExW(0, L"BUTTON", L"two", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 40, 80, 24, _a,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SetFocus(first);
    ASSERT_EQ(first, GetFocus());
    // Posted to the control, the key goes through the pump's dialog handling.
    PostMessageW(first, WM_KEYDOWN, VK_TAB, (0x0F << 16) | 1);
    PostMessageW(first, WM_KEYUP, VK_TAB, (0x0F << 16) | 1 | (3u << 30));
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == second; }, 2000));
}

std::vector<std::pair<int, DWORD>> g_calls;
void RecordCall(void* index, void*) {
    g_calls.emplace_back(static_cast<int>(reinterpret_cast<intptr_t>(index)), GetCurrentThreadId());
}

TEST_F(Win32Driver, CallsFromAnotherThreadRunOnTheMainThreadInOrder) {
    g_calls.clear();
    std::thread poster([] {
        for (intptr_t i = 0; i < 40; ++i) PostMainThreadCall(RecordCall, reinterpret_cast<void*>(i), nullptr);
    });
    poster.join();
    EXPECT_TRUE(g_calls.empty());
    AwaitSystem();
    ASSERT_TRUE(PumpUntil([] { return g_calls.size() >= 40; }));
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(i, g_calls[i].first);
        EXPECT_EQ(GetCurrentThreadId(), g_calls[i].second);
    }
}

// Answers the next message box of this process from another thread: checks
// its caption and style, then presses `button` (or closes the box).
class BoxAnswerer {
public:
    explicit BoxAnswerer(int button) {
        _thread = std::thread([this, button] {
            HWND box = nullptr;
            for (int i = 0; i < 1000 && !box; ++i) {
                box = FindWindowW(L"#32770", L"Corvane Application");
                if (!box) Sleep(10);
            }
            if (!box) return;
            found = true;
            topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            // A call posted now must run inside the box's own message loop.
            PostMainThreadCall([](void* flag, void*) { static_cast<std::atomic<bool>*>(flag)->store(true); },
                               &callRan, nullptr);
            for (int i = 0; i < 300 && !callRan; ++i) Sleep(10);
            if (button == 0) {
                PostMessageW(box, WM_CLOSE, 0, 0);
            } else if (button == -1) {
                // A real key press: Enter takes the default button.
                SetForegroundWindow(box);
                for (int i = 0; i < 100 && GetForegroundWindow() != box; ++i) Sleep(10);
                SendKey(VK_RETURN, 0x1C, false);
                SendKey(VK_RETURN, 0x1C, true);
                hadButton = GetForegroundWindow() == box;
            } else {
                HWND b = GetDlgItem(box, button);
                hadButton = b != nullptr;
                SendMessageW(b, BM_CLICK, 0, 0);
            }
        });
    }
    ~BoxAnswerer() {
        if (_thread.joinable()) _thread.join();
    }
    void Join() { _thread.join(); }
    std::atomic<bool> found{false}, topmost{false}, hadButton{false}, callRan{false};

private:
    std::thread _thread;
};

TEST_F(Win32Driver, ConfirmAndProceedReportTheButtonPressed) {
    struct Case {
        int button;
        bool proceed;
        int32_t expected;
    } cases[] = {
        {IDOK, false, 1}, {IDCANCEL, false, 0}, {0, false, 0}, {-1, false, 1},
        {IDYES, true, 1}, {IDNO, true, 0},      {IDCANCEL, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "button " << c.button << (c.proceed ? " proceed" : " confirm"));
        BoxAnswerer answerer(c.button);
        int32_t result = c.proceed ? Proceed("Go on?") : Confirm("Someone commented on x. Visit?");
        answerer.Join();
        EXPECT_TRUE(answerer.found);
        EXPECT_TRUE(answerer.callRan);
        if (c.button) {
            EXPECT_TRUE(answerer.hadButton);
        }
        EXPECT_EQ(c.expected, result);
    }
}

TEST_F(Win32Driver, NotifyShowsOneOkBox) {
    BoxAnswerer answerer(IDOK);
    Notify("Done", 1);
    answerer.Join();
    EXPECT_TRUE(answerer.found);
    EXPECT_TRUE(answerer.hadButton);
}

// Presses a button of the next dialog titled `title` from another thread.
class DialogAnswerer {
public:
    DialogAnswerer(const wchar_t* title, int button) {
        _thread = std::thread([this, title, button] {
            HWND dlg = nullptr;
            for (int i = 0; i < 1000 && !dlg; ++i) {
                dlg = FindWindowW(L"#32770", title);
                if (!dlg) Sleep(10);
            }
            if (!dlg) return;
            found = true;
            Sleep(200);  // let the dialog finish filling itself in
            PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        });
    }
    ~DialogAnswerer() {
        if (_thread.joinable()) _thread.join();
    }
    void Join() { _thread.join(); }
    std::atomic<bool> found{false};

private:
    std::thread _thread;
};

TEST_F(Win32Driver, FileRequestStartsInTheGivenFolderWithTheGivenName) {
    std::ofstream("pick.txt") << "x";
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    String folder = String::FromWide(reinterpret_cast<const char16_t*>(cwd)).ReplaceAll("\\", "/");
    {
        DialogAnswerer answer(L"Pick one", IDOK);
        String chosen = RequestFile("Pick one", "Text:txt;Any:*", 0, folder + "/pick.txt");
        answer.Join();
        EXPECT_TRUE(answer.found);
        EXPECT_EQ(folder.ReplaceAll("/", "\\").Lowercase() + "\\pick.txt", chosen.Lowercase()) << chosen.ToUTF8();
    }
    {
        DialogAnswerer answer(L"Pick none", IDCANCEL);
        EXPECT_EQ(String(), RequestFile("Pick none", "txt", 1, folder + "/other.txt"));
        answer.Join();
        EXPECT_TRUE(answer.found);
    }
    std::remove("pick.txt");
}

// The fake desktop URL handler (tests/event/fakebin/xdg-open, first on PATH)
// appends each URL it gets to the file named by VW_URL_LOG. Addresses reach
// it through the shell's "http" protocol handler; for files the shell needs
// an association of the file's type, so the test registers one for a type of
// its own that hands files to the same URL handler.
class OpenURLTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* log = std::getenv("VW_URL_LOG");
        if (!log || !std::getenv("DISPLAY")) GTEST_SKIP() << "needs VW_URL_LOG and a display";
        _log = std::string("Z:") + log;
        std::remove(_log.c_str());
        ApplicationTitle = "Corvane Application";
        InitSystemDriver();
        const wchar_t* command = L"C:\\windows\\system32\\winebrowser.exe \"%1\"";
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.vwpage", nullptr, REG_SZ, L"vwpagefile", 22);
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\vwpagefile\\shell\\open\\command", nullptr, REG_SZ,
                        command, static_cast<DWORD>((wcslen(command) + 1) * sizeof(wchar_t)));
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.vwpage");
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\vwpagefile");
    }
    std::vector<std::string> Received(size_t count) {
        std::vector<std::string> lines;
        for (int i = 0; i < 500; ++i) {
            lines.clear();
            std::ifstream in(_log);
            std::string line;
            while (std::getline(in, line)) lines.push_back(line);
            if (lines.size() >= count) break;
            Sleep(20);
        }
        return lines;
    }
    std::string _log;
};

TEST_F(OpenURLTest, AddressesFilesAndBareNamesReachTheHandler) {
    EXPECT_EQ(1, OpenURL("http://127.0.0.1/thread?id=1"));
    ASSERT_EQ(1u, Received(1).size());
    EXPECT_EQ(1, OpenURL("HTTP://127.0.0.1/CAPS"));
    ASSERT_EQ(2u, Received(2).size());
    EXPECT_EQ(1, OpenURL("www.example.test/page#latest"));
    auto got = Received(3);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("http://127.0.0.1/thread?id=1", got[0]);
    // The desktop side writes the scheme in small letters; the rest arrives
    // as given.
    EXPECT_EQ("http://127.0.0.1/CAPS", got[1]);
    EXPECT_EQ("http:www.example.test/page#latest", got[2]);

    std::ofstream("page.vwpage") << "<p>hi</p>";
    String expected = ResolveURLForOpening("page.vwpage");
    EXPECT_TRUE(expected.HasPrefix("file:")) << expected.ToUTF8();
    EXPECT_TRUE(expected.HasSuffix("/page.vwpage")) << expected.ToUTF8();
    EXPECT_EQ(1, OpenURL("page.vwpage"));
    got = Received(4);
    ASSERT_EQ(4u, got.size());
    // The handler gets the same file, as a URL of the Unix side.
    std::string log = std::getenv("VW_URL_LOG");
    std::string folder = log.substr(0, log.rfind('/'));
    EXPECT_EQ("file://" + folder + "/page.vwpage", got[3]);
    std::remove("page.vwpage");

    // Bare names always become addresses; the driver itself reports what the
    // shell cannot open.
    EXPECT_EQ(0, SystemDriver->OpenURL("nosuchscheme:x"));
}

}  // namespace
