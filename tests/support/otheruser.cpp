#include "tests/support/otheruser.h"

#include <unistd.h>

const char kFetchScript[] = "exec 3<>\"/dev/tcp/$1/$2\" || exit 3\n"
                            "printf 'GET %s HTTP/1.0\\r\\n\\r\\n' \"$3\" >&3 2>/dev/null\n"
                            "cat <&3 2>/dev/null\n";

bool CanActAsAnotherUser() {
    return geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0;
}

std::vector<std::string> AsAnotherUser(const std::vector<std::string>& argv) {
    std::vector<std::string> out = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                    "--clear-groups", "--"};
    out.insert(out.end(), argv.begin(), argv.end());
    return out;
}

std::vector<std::string> FetchCommand(const std::string& host, int port, const std::string& path) {
    return {"timeout", "10", "bash", "-c", kFetchScript, "fetch", host, std::to_string(port), path};
}
