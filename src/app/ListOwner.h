// One running copy per watch list: a second start on the same list hands
// over to the first and ends, writing nothing. Copies on different lists
// run side by side.
#pragma once

#include "gui/Gadget.h"

// True when this copy owns the list now, false when another running copy
// does. The list is ListFile(kWatchListFile) as it stands at the call, so
// start-up settles the list's folder first.
bool ClaimList();
// Names `window` as the one a later start on this list brings to the front.
void NameListWindow(const Ref<TGadget>& window);
// For a start that does not own its list: brings the owner's window to the
// front, waiting a moment for an owner still starting to show one.
void ShowListOwner();
