// The system-library bindings: process-wide set-up of operating-system
// libraries that other modules call into. Today that is the socket library,
// started once and stopped by an exit handler.
#pragma once

void InitSystemBindings();
