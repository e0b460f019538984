// The program's version, as it introduces itself to web servers.
#pragma once

constexpr const char kProgramVersion[] = "1.1";
