// The system's socket declarations, for the socket code that every system
// shares (platform/Socket.cpp).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
