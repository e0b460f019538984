#include "app/MainWindow.h"

#include "app/Autosave.h"
#include "app/ThreadWatch.h"
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
int32_t SelectedIndex = -1;

namespace {

constexpr int32_t kEnterKey = 13;

bool IsSource(const Ref<Object>& source, const Ref<TGadget>& gadget) { return gadget && source == gadget; }

void AddFromFields() {
    String url = GetGadgetText(URLField);
    String name = GetGadgetText(NameField);
    ThreadWatch::Create(url, name);
    PutGadgetText(URLField, "URL");
    PutGadgetText(NameField, "name");
    SaveList();
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

void MainBody() {
    InitApplication();
    ThreadList = New<TList>();
    MainWindow = NewWindowGadget("Vostle Watch", 100, 100, 500, 400, nullptr, WINSTYLE_TITLEBAR | WINSTYLE_RESIZABLE);
    LimitWindowMinimum(MainWindow, 500, 400);
    LimitWindowMaximum(MainWindow, 500, 400);
    URLField = NewTextFieldGadget(4, 4, 300, 24, MainWindow, 0);
    NameField = NewTextFieldGadget(4, 36, 300, 24, MainWindow, 0);
    AddButton = NewButtonGadget("Add", 330, 4, 140, 24, MainWindow, BTNSTYLE_OK);
    LinkBox = NewListBoxGadget(4, 64, 300, 260, MainWindow, 0);
    RemoveButton = NewButtonGadget("Remove", 330, 64, 140, 24, MainWindow, BTNSTYLE_OK);
    CommandGadget(URLField);
    CommandGadget(NameField);
    PutGadgetText(URLField, "URL");
    PutGadgetText(NameField, "name");
    LoadList();
    for (;;) RunCycle();
}

void RunCycle() {
    Say("Update");
    ThreadWatch::update();
    Say("GUI stuff");
    for (int32_t i = 0; i <= 1500; ++i) {
        PollOnce();
        SleepMillis(200);
        Say(String("Countdown: ") + FormatInt(1500 - i));
    }
}

void PollOnce() {
    int32_t id = PollEventQueue();
    if (id != 0) HandleEvent(id);
}

void HandleEvent(int32_t id) {
    Ref<Object> source = PolledEventSource();
    int32_t data = PolledEventData();
    if (id == EventGadgetAction) {
        if (IsSource(source, AddButton) || (IsSource(source, URLField) && data == kEnterKey)) AddFromFields();
        if (IsSource(source, RemoveButton) && SelectedIndex >= 0) RemoveSelected();
        if (IsSource(source, LinkBox) && SelectedIndex >= 0) {
            if (Ref<ThreadWatch> record = ThreadWatch::getbyindex(data)) OpenURL(record->URL);
        }
    } else if (id == EventGadgetSelect) {
        if (IsSource(source, LinkBox)) SelectedIndex = data;
    } else if (id == EventWindowClose) {
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
