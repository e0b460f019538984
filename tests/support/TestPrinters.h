// Lets GoogleTest print framework strings as text in failure messages.
#pragma once

#include <ostream>

#include "runtime/String.h"

inline void PrintTo(const String& s, std::ostream* os) { *os << '"' << s.ToUTF8() << '"'; }
