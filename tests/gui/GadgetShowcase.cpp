// A window with one gadget of every kind the Win32 driver builds, kept open
// for a while so that it can be looked at (and photographed). Prints the
// events it receives.
#include "event/Event.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "runtime/Program.h"

#include <cstdio>
#include <cstdlib>

namespace {
int Seconds = 10;

void Body() {
    InitGuiPlatform();
    InitEventQueue();
    Ref<TGadget> w = NewWindowGadget("Vostle Watch gadgets", 0, 0, 520, 420, {},
                                     WINSTYLE_TITLEBAR | WINSTYLE_RESIZABLE | WINSTYLE_STATUS | WINSTYLE_CENTER);
    NewLabelGadget("Page address:", 10, 12, 100, 20, w, 0);
    Ref<TGadget> url = NewTextFieldGadget(110, 10, 280, 22, w, 0);
    PutGadgetText(url, "http::127.0.0.1/thread/42");
    NewLabelGadget("Name:", 10, 42, 100, 20, w, LBLSTYLE_RIGHT);
    Ref<TGadget> name = NewTextFieldGadget(110, 40, 280, 22, w, FIELDSTYLE_PASSWORD);
    PutGadgetText(name, "secret");
    Ref<TGadget> add = NewButtonGadget("Add", 400, 10, 100, 24, w, BTNSTYLE_OK);
    NewButtonGadget("Cancel", 400, 40, 100, 24, w, BTNSTYLE_CANCEL);
    Ref<TGadget> check = NewButtonGadget("Check box", 10, 72, 120, 22, w, BTNSTYLE_CHECKBOX);
    SetButtonState(check, 1);
    NewButtonGadget("Radio", 140, 72, 100, 22, w, BTNSTYLE_RADIO);
    NewButtonGadget("Push-like", 250, 72, 100, 22, w, BTNSTYLE_CHECKBOX | BTNSTYLE_PUSHLIKE);
    NewLabelGadget("", 10, 102, 490, 24, w, LBLSTYLE_SEPARATOR);
    Ref<TGadget> list = NewListBoxGadget(10, 112, 300, 200, w, 0);
    for (const char* t : {"First thread", "Second thread", "Third thread", "A fourth one"})
        AppendGadgetItem(list, t, 0, 0, String("http::127.0.0.1/") + t, {});
    SelectGadgetItem(list, 1);
    Ref<TGadget> multi = NewListBoxGadget(320, 112, 180, 200, w, LISTSTYLE_MULTISELECT);
    for (const char* t : {"one", "two", "three"}) AppendGadgetItem(multi, t, 0, 0, "", {});
    SelectGadgetItem(multi, 0);
    SelectGadgetItem(multi, 2);
    NewLabelGadget("Framed label", 10, 320, 140, 24, w, LBLSTYLE_FRAME | LBLSTYLE_CENTER);
    NewLabelGadget("Sunken label", 160, 320, 140, 24, w, LBLSTYLE_SUNKENFRAME);
    SetStatusText(w, "Ready");
    LimitWindowMinimum(w, 400, 300);
    int32_t end = TickMillis() + Seconds * 1000;
    while (TickMillis() - end < 0) {
        while (int32_t id = PollEventQueue()) {
            std::printf("%s\n", PolledEvent->ToString().ToUTF8().c_str());
            std::fflush(stdout);
            (void)id;
        }
        SleepMillis(20);
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) Seconds = std::atoi(argv[1]);
    return RunProgram(argc, argv, Body);
}
