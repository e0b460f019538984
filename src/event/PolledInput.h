// Polled input: a snapshot of keyboard and mouse that code can query at any
// moment, fed by a hook on the event chain that watches one source object.
#pragma once

#include <cstdint>

#include "runtime/Object.h"

// While set (the default), every query first pumps the system.
extern int32_t AutoPump;

// Starts recording the input events of `source` (the null object: of every
// source). Nothing happens when already attached.
void AttachInputState(const Ref<Object>& source);
void DetachInputState();

int32_t InputSuspended();
// The terminate flag; reading clears it.
int32_t TerminateRequested();
// Presses since the last read (reading clears it). Key codes outside 0..255
// give 0.
int32_t KeyHitCount(int32_t key);
int32_t KeyIsDown(int32_t key);
// The oldest typed character, or 0 when none waits.
int32_t NextChar();
void ClearKeys();

int32_t PointerX();
int32_t PointerY();
int32_t PointerZ();
int32_t PointerXDelta();
int32_t PointerYDelta();
int32_t PointerZDelta();
void ClearPointer();
// Buttons 1 left, 2 right, 3 middle; others give 0.
int32_t ButtonHitCount(int32_t button);
int32_t ButtonIsDown(int32_t button);

// Wait for native input until a key is hit / a character typed / a button
// hit, and return it. Called from inside the pump (a hook function), where
// no input can arrive, they return 0 at once.
int32_t AwaitKey();
int32_t AwaitChar();
int32_t AwaitButton();

// Module initialiser of the polled input.
void InitPolledInput();
