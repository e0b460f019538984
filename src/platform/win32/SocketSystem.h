// The system's socket declarations, for the socket code that every system
// shares (platform/Socket.cpp).
#pragma once

#include "platform/win32/Win32.h"

#include <ws2tcpip.h>
