#include "app/ListOwner.h"

#include "app/ListFolder.h"
#include "gui/GuiDriver.h"
#include "platform/SoleOwner.h"
#include "stream/FileSystem.h"

namespace {

// Well inside the 2 s in which a second start must have ended.
constexpr int32_t kOwnerWindowWaitMillis = 1500;

std::u16string ListPath() { return AbsolutePath(ListFile(kWatchListFile)).ToWide(); }

}  // namespace

bool ClaimList() { return platform::ClaimFile(ListPath()); }

void NameListWindow(const Ref<TGadget>& window) {
    if (intptr_t native = QueryGadget(window, 1)) platform::NameClaimWindow(ListPath(), native);
}

void ShowListOwner() { platform::ShowClaimWindow(ListPath(), kOwnerWindowWaitMillis); }
