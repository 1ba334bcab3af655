#include "tools/wrapper/fontmatch.h"

#include "platform/process.h"

#include <unistd.h>

std::string MatchFontFile(const std::string& pattern) {
    SpawnOptions options;
    options.argv = {"fc-match", "-f", "%{file}", pattern};
    options.pipeOutput = true;
    SpawnResult child = SpawnProcess(options);
    if (!child.ok())
        return "";
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(child.outputFd, buf, sizeof(buf))) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(child.outputFd);
    int status = 0;
    WaitProcess(child.pid, -1, &status);
    if (out.empty() || out.find('\n') != std::string::npos || access(out.c_str(), R_OK) != 0)
        return "";
    return out;
}
