#include "support/cli_runner.h"

#include <sys/wait.h>

#include <cstdio>

namespace vantor::test {

CliRun RunCli(const std::string& args) {
    CliRun r;
    const std::string cmd = std::string(VANTOR_CLI_PATH) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace vantor::test
