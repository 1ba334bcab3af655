// A scripted stand-in for the player, used to check launches, relaunches and slave commands end
// to end over real pipes. It appends its command line and every stdin line to the log named by
// FAKEPLAYER_LOG (with its working folder) and follows the script named by FAKEPLAYER_SCRIPT, one
// directive a line:
//   print TEXT       TEXT and "\n" to stdout ("\r", "\n", "\t", "\\" escapes understood)
//   raw TEXT         TEXT without a line feed
//   sleep MS
//   wait PREFIX      read stdin until a line starting with PREFIX
//   on PREFIX|TEXT   from now on answer stdin lines starting with PREFIX by printing TEXT\n
//   exit CODE
//   crash            die by SIGSEGV
//   flood MB         MB mebibytes of 'x' without a line end
//   stubborn         ignore "quit", the end of stdin and SIGTERM from now on, with a child
//                    (logged as "child: PID") that does the same and holds stdout open
// After the script it answers stdin lines until "quit" or the end of stdin (exit 0). Without a
// script it prints a banner and answers get_time_length with "ANS_LENGTH=100.00". Asked for
// "-list-options", it gives the real mplayer's list.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
std::FILE* g_log = nullptr;
std::vector<std::pair<std::string, std::string>> g_answers;

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

void Out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Log(const std::string& text) {
    if (g_log != nullptr) {
        std::fprintf(g_log, "%s\n", text.c_str());
        std::fflush(g_log);
    }
}

// Reads one stdin line; false at the end of stdin.
bool ReadCommand(std::string& line) {
    line.clear();
    char c;
    while (true) {
        ssize_t n = read(0, &c, 1);
        if (n <= 0)
            return !line.empty();
        if (c == '\n')
            return true;
        line += c;
    }
}

// Logs and answers one command; returns false for "quit".
bool Handle(const std::string& command) {
    Log("stdin: " + command);
    for (const auto& [prefix, answer] : g_answers)
        if (command.rfind(prefix, 0) == 0)
            Out(Unescape(answer) + "\n");
    return command != "quit";
}
} // namespace

int main(int argc, char** argv) {
    // The wrapper asks its player which options take a value; the real one answers for us,
    // and the question is no launch worth logging.
    if (argc == 2 && std::string(argv[1]) == "-list-options") {
        execlp("mplayer", "mplayer", "-list-options", static_cast<char*>(nullptr));
        return 1;
    }
    if (const char* logPath = std::getenv("FAKEPLAYER_LOG"))
        g_log = std::fopen(logPath, "a");
    Log("pid: " + std::to_string(getpid()));
    Log("argc: " + std::to_string(argc));
    for (int i = 0; i < argc; ++i)
        Log("argv: " + std::string(argv[i]));
    char cwd[4096];
    Log("cwd: " + std::string(getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : "?"));

    const char* scriptPath = std::getenv("FAKEPLAYER_SCRIPT");
    if (scriptPath == nullptr || *scriptPath == 0) {
        Out("Quorvan fake player\n");
        g_answers.push_back({"get_time_length", "ANS_LENGTH=100.00"});
    } else {
        std::ifstream script(scriptPath);
        std::string line;
        while (std::getline(script, line)) {
            std::string verb = line.substr(0, line.find(' '));
            std::string rest = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
            if (verb == "print") {
                Out(Unescape(rest) + "\n");
            } else if (verb == "raw") {
                Out(Unescape(rest));
            } else if (verb == "sleep") {
                std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(rest.c_str())));
            } else if (verb == "wait") {
                std::string command;
                while (ReadCommand(command)) {
                    bool more = Handle(command);
                    if (command.rfind(rest, 0) == 0)
                        break;
                    if (!more)
                        return 0;
                }
            } else if (verb == "on") {
                size_t bar = rest.find('|');
                g_answers.push_back(
                    {rest.substr(0, bar), bar == std::string::npos ? "" : rest.substr(bar + 1)});
            } else if (verb == "exit") {
                return std::atoi(rest.c_str());
            } else if (verb == "flood") {
                std::string chunk(1 << 20, 'x');
                for (int i = 0; i < std::atoi(rest.c_str()); ++i)
                    Out(chunk);
            } else if (verb == "stubborn") {
                std::signal(SIGTERM, SIG_IGN);
                if (pid_t child = fork(); child == 0) {
                    while (true)
                        pause();
                } else {
                    Log("child: " + std::to_string(child));
                }
                std::string command;
                while (ReadCommand(command))
                    Log("stdin: " + command);
                while (true)
                    pause();
            } else if (verb == "crash") {
                std::signal(SIGSEGV, SIG_DFL);
                std::raise(SIGSEGV);
            }
        }
    }
    std::string command;
    while (ReadCommand(command))
        if (!Handle(command))
            break;
    Log("exit");
    return 0;
}
