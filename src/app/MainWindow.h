// The application's window and its event handling.
#pragma once

#include <cstdint>

#include "gui/Gadget.h"

extern Ref<TGadget> MainWindow;
extern Ref<TGadget> URLField;
extern Ref<TGadget> NameField;
extern Ref<TGadget> AddButton;
extern Ref<TGadget> RemoveButton;
// Starts a check of every page at once; F5 presses it.
extern Ref<TGadget> CheckNowButton;
// Item most recently reported selected in LinkBox; -1 for none.
extern int32_t SelectedIndex;

// The application module's initialiser: runs every framework initialiser in
// import order.
void InitApplication();
// Runs the initialisers, starts the fetch workers and builds the window with
// its gadgets and status bar.
void BuildMainWindow();
// Handles one polled event.
void HandleEvent(int32_t id);
// Asks, then removes the selected record and saves at once.
void RemoveSelected();
// True while an Add waits for its page.
bool AddsPending();
// What closing the window keeps: every Add still out, stored with no count,
// and any change the list has had since the last save.
void StoreForClosing();
