#include <windows.h>

namespace {

// Stand-in until the runtime start-up is wired in.
int RunPlaceholder()
{
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunPlaceholder();
}
