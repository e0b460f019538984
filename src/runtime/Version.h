// The program's version, as it introduces itself to web servers. This is
// the one place it is kept: CMake reads it from here for the file
// properties of the .exe and for the packages, so keep the form
// "<digits>.<digits>[.<digits>...]".
#pragma once

constexpr const char kProgramVersion[] = "1.1";
