#include "app/MainWindow.h"

#include <tuple>
#include <vector>

#include "app/Autosave.h"
#include "app/FetchQueue.h"
#include "app/ListOwner.h"
#include "app/PageChecks.h"
#include "app/ThreadWatch.h"
#include "app/WatchStatus.h"
#include "event/Event.h"
#include "event/SystemDriver.h"
#include "event/Timer.h"
#include "gui/GuiDriver.h"
#include "net/HttpStream.h"
#include "net/Socket.h"
#include "net/SocketStream.h"
#include "runtime/Program.h"
#include "stream/Bank.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"
#include "stream/RamStream.h"

Ref<TGadget> MainWindow;
Ref<TGadget> URLField;
Ref<TGadget> NameField;
Ref<TGadget> AddButton;
Ref<TGadget> RemoveButton;
Ref<TGadget> CheckNowButton;
int32_t SelectedIndex = -1;

namespace {

constexpr int32_t kEnterKey = 13;
constexpr int32_t kDeleteKey = 0x2E;
constexpr int32_t kF5Key = 0x74;
// The window's starting and smallest size.
constexpr int32_t kWidth = 500, kHeight = 400;
constexpr int32_t kMargin = 4, kGap = 8, kRowHeight = 24, kButtonWidth = 94;
// Closing must be over within a second; this is its share for a save that
// waits for a held file.
constexpr int32_t kClosingSaveWaitMillis = 400;

bool IsSource(const Ref<Object>& source, const Ref<TGadget>& gadget) { return gadget && source == gadget; }

struct PendingAdd {
    String url;
    String name;
};
std::vector<PendingAdd> g_pendingAdds;

CheckLine& AddLine() {
    static CheckLine line;
    return line;
}

void FinishAdd(const String& url, const String& name, const net::PageLines& page) {
    for (auto it = g_pendingAdds.begin(); it != g_pendingAdds.end(); ++it) {
        if (it->url == url && it->name == name) {
            g_pendingAdds.erase(it);
            break;
        }
    }
    // The focus goes back to the address for the next Add only from where
    // this one was asked for or from a field it reset: never away from a
    // field where the next one is being typed.
    Ref<TGadget> focused = ActiveGadget();
    bool refocus = IsSource(focused, AddButton);
    if (page.ok) {
        PageState checked;
        checked.CheckSucceeded(NowSeconds());
        ThreadWatch::Listed(url, name, page.lines, checked);
        // Text typed while the page was fetched stays.
        for (auto [field, text, blank] : {std::tuple{URLField, url, "URL"}, std::tuple{NameField, name, "name"}}) {
            if (GetGadgetText(field) != text) continue;
            PutGadgetText(field, blank);
            refocus = refocus || IsSource(focused, field);
        }
    } else {
        // The fields keep what was typed, so it can be corrected.
        Notify(String("Could not add ") + name + ": " + FailureText(page) + ".");
    }
    if (refocus) CommandGadget(URLField);
    SaveList();
}

void AddFromFields() {
    String url = GetGadgetText(URLField);
    String name = GetGadgetText(NameField);
    // A second press while the same page is fetched is the same Add.
    for (const PendingAdd& pending : g_pendingAdds)
        if (pending.url == url && pending.name == name) return;
    g_pendingAdds.push_back({url, name});
    AddLine().Ask(FixURL(WithoutLineBreaks(url)),
                  [url, name](const net::PageLines& page) { FinishAdd(url, name, page); });
}

// Fields and buttons keep to the top edge, the list grows with the window,
// Remove stays under the list.
void PlaceGadgets() {
    int32_t w = ClientWidth(MainWindow), h = ClientHeight(MainWindow);
    int32_t fieldWidth = w - 2 * kMargin - kGap - kButtonWidth, buttonX = w - kMargin - kButtonWidth;
    int32_t listY = kMargin + 2 * kRowHeight + 2 * kGap, bottomY = h - kMargin - kRowHeight;
    URLField = NewTextFieldGadget(kMargin, kMargin, fieldWidth, kRowHeight, MainWindow, 0);
    NameField = NewTextFieldGadget(kMargin, kMargin + kRowHeight + kGap, fieldWidth, kRowHeight, MainWindow, 0);
    AddButton = NewButtonGadget("Add", buttonX, kMargin, kButtonWidth, kRowHeight, MainWindow, BTNSTYLE_OK);
    LinkBox = NewListBoxGadget(kMargin, listY, w - 2 * kMargin, bottomY - kGap - listY, MainWindow, 0);
    RemoveButton = NewButtonGadget("Remove", kMargin, bottomY, kButtonWidth, kRowHeight, MainWindow, BTNSTYLE_OK);
    CheckNowButton = NewButtonGadget("Check now", buttonX, kMargin + kRowHeight + kGap, kButtonWidth, kRowHeight,
                                     MainWindow, BTNSTYLE_PUSH);
    for (const Ref<TGadget>& field : {URLField, NameField})
        SetGadgetLayout(field, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_CENTERED);
    for (const Ref<TGadget>& button : {AddButton, CheckNowButton})
        SetGadgetLayout(button, LOCK_CENTERED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_CENTERED);
    SetGadgetLayout(LinkBox, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED, LOCK_ALIGNED);
    SetGadgetLayout(RemoveButton, LOCK_ALIGNED, LOCK_CENTERED, LOCK_CENTERED, LOCK_ALIGNED);
}

}  // namespace

void InitApplication() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    InitGuiPlatform();
    // The stream family: sockets, memory, endian, socket and HTTP streams,
    // standard input and output, linked list, file system.
    InitSockets();
    InitBank();
    InitRamStream();
    InitSocketStream();
    InitHttpStream();
    InitStandardIO();
    InitList();
    InitFileSystem();
    InitEventQueue();
    InitClassicText();
    InitTimers();
    RecordModuleInit("application");
}

void BuildMainWindow() {
    InitApplication();
    PageFetches().StartWorkers();
    ThreadList = New<TList>();
    MainWindow = NewWindowGadget("Vostle Watch", 100, 100, kWidth, kHeight, nullptr,
                                 WINSTYLE_TITLEBAR | WINSTYLE_RESIZABLE | WINSTYLE_STATUS);
    // Larger when the columns need the room, never smaller.
    LimitWindowMinimum(MainWindow, kWidth, kHeight);
    PlaceGadgets();
    AddPageColumns(LinkBox);
    // Delete in the list removes the selected page.
    SetGadgetSensitivity(LinkBox, SENSE_KEYS);
    SetGadgetHotKey(CheckNowButton, kF5Key, 0);
    CommandGadget(URLField);
    CommandGadget(NameField);
    PutGadgetText(URLField, "URL");
    PutGadgetText(NameField, "name");
    NameListWindow(MainWindow);
}

bool AddsPending() { return !g_pendingAdds.empty(); }

void StoreForClosing() {
    // An Add still out cannot finish within the moment closing may take: it
    // is stored with no count, and the next start counts it (kNotCounted).
    for (const PendingAdd& pending : g_pendingAdds) ThreadWatch::Listed(pending.url, pending.name, kNotCounted);
    g_pendingAdds.clear();
    SaveListIfChanged();
    // A file another program holds for a moment is waited for here, as
    // long as closing may still take: the window is gone already. Held for
    // longer, the changes are lost, and the user must hear of it.
    for (int32_t waited = 0, due; (due = SaveRetryDueIn()) >= 0 && waited < kClosingSaveWaitMillis; waited += due) {
        SleepMillis(due);
        RetryDueSave();
    }
    EndSaveRetries();
}

void HandleEvent(int32_t id) {
    Ref<Object> source = PolledEventSource();
    int32_t data = PolledEventData();
    if (id == EventGadgetAction) {
        if (IsSource(source, AddButton) || (IsSource(source, URLField) && data == kEnterKey)) AddFromFields();
        if (IsSource(source, RemoveButton) && SelectedIndex >= 0) RemoveSelected();
        if (IsSource(source, CheckNowButton)) RequestCheck();
        // A double click, or Enter on the selected row.
        if (IsSource(source, LinkBox) && SelectedIndex >= 0) {
            if (Ref<ThreadWatch> record = ThreadWatch::getbyindex(data)) record->Seen();
        }
    } else if (id == EventGadgetSelect) {
        if (IsSource(source, LinkBox)) SelectedIndex = data;
    } else if (id == EventKeyDown) {
        if (IsSource(source, LinkBox) && data == kDeleteKey && SelectedIndex >= 0) RemoveSelected();
    } else if (id == EventWindowClose) {
        // Gone from the screen at once; what is left to store takes a moment.
        HideGadget(MainWindow);
        StoreForClosing();
        EndProgram();
    }
}

void RemoveSelected() {
    Ref<ThreadWatch> record = ThreadWatch::getbyindex(SelectedIndex);
    if (!record) return;
    if (!Confirm(String("Are you sure you want to remove the link to ") + record->name + "?", 0)) return;
    record->remove();
    // Saved at once, so a removal cannot come back after the window closes.
    SaveList();
}
