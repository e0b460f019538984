#include "runtime/SystemBindings.h"

#include "platform/Socket.h"
#include "runtime/Program.h"

void InitSystemBindings() {
    static bool done = false;
    if (done) return;
    done = true;
    InitCore();
    // A failed start shows later as sockets that cannot be created, which
    // every socket operation already reports as a result.
    if (platform::StartSocketLibrary()) AtProgramEnd(platform::StopSocketLibrary);
    RecordModuleInit("system-library bindings");
}
