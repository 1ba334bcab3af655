#include "platform/cmdline.h"

std::vector<std::string> SplitCommandLineWindows(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool inQuotes = false;
        while (i < n) {
            char c = line[i];
            if (!inQuotes && (c == ' ' || c == '\t'))
                break;
            if (c == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (inQuotes && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::string QuoteCommandLineArg(const std::string& argument) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    // Backslashes right before the closing quote must not escape it.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

void SlashesOutsideQuotes(std::string& line) {
    // The walk of SplitCommandLineWindows, changing only what it would read as a plain
    // backslash outside quotes.
    bool inQuotes = false;
    const size_t n = line.size();
    size_t i = 0;
    while (i < n) {
        char c = line[i];
        if (c == '\\') {
            size_t run = i;
            while (run < n && line[run] == '\\')
                ++run;
            if (run < n && line[run] == '"') {
                // 2k+1 backslashes make a literal quote, 2k leave the quote to do its work.
                if ((run - i) % 2 == 0)
                    inQuotes = !inQuotes;
                i = run + 1;
                continue;
            }
            if (!inQuotes)
                for (size_t k = i; k < run; ++k)
                    line[k] = '/';
            i = run;
            continue;
        }
        if (c == '"') {
            if (inQuotes && i + 1 < n && line[i + 1] == '"') {
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
        }
        ++i;
    }
}

std::string JoinCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (size_t i = 0; i < argv.size(); ++i) {
        if (i > 0)
            line += ' ';
        line += QuoteCommandLineArg(argv[i]);
    }
    return line;
}

std::string ShellQuote(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}
