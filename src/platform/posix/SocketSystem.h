// The system's socket declarations, for the socket code that every system
// shares (platform/Socket.cpp).
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
