#pragma once
// Runs the built `vantor` tool the way a user would and captures what it
// printed (stdout and stderr together) and its exit status.
#include <string>

namespace vantor::test {

struct CliRun {
    std::string out;
    int status = -1;  // exit status, -1 when it did not exit normally
};

// args is appended to the tool's path as a shell command line.
CliRun RunCli(const std::string& args);

}  // namespace vantor::test
