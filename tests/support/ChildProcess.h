// Runs a program to completion and captures what it wrote, for tests that
// check a whole process (exit status, standard streams, working directory).
#pragma once

#include <string>
#include <vector>

struct ChildResult {
    int status = -1000;  // exit status as the operating system reports it
    std::string out;
    std::string err;
};

// `program` is a path; `directory` (may be empty) is the working directory
// the child starts in.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args = {},
                     const std::string& directory = "");

// The folder holding the running test executable (helper programs sit there).
std::string TestBinaryDirectory();
