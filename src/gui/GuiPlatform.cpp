#include "gui/GuiDriver.h"
#include "runtime/Program.h"

void InitGuiPlatform() {
    static bool done = false;
    if (done) return;
    done = true;
#ifdef _WIN32
    InitWin32Gui();
#else
    // No native GUI driver off Windows; the gadget model stays usable.
    InitGadgets();
#endif
    RecordModuleInit("GUI platform selection");
}
