#include "app/command_line_args.h"

namespace ch {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> commandLineArguments(const std::string& commandLine) {
    size_t i = 0;
    // The program name: quoted, or up to the first blank; backslashes are plain there.
    if (i < commandLine.size() && commandLine[i] == '"') {
        const size_t end = commandLine.find('"', 1);
        i = end == std::string::npos ? commandLine.size() : end + 1;
    }
    while (i < commandLine.size() && !isBlank(commandLine[i]))
        ++i;

    std::vector<std::string> args;
    while (true) {
        while (i < commandLine.size() && isBlank(commandLine[i]))
            ++i;
        if (i >= commandLine.size())
            return args;
        std::string arg;
        bool quoted = false;
        for (; i < commandLine.size() && (quoted || !isBlank(commandLine[i])); ++i) {
            const char c = commandLine[i];
            if (c == '\\') {
                size_t run = 0;
                while (i < commandLine.size() && commandLine[i] == '\\')
                    ++run, ++i;
                // Before a quote the C runtime doubles backslashes ("D:\My Backups\\"); one
                // alone there ends a folder ("E:\"). Either way the quote still closes.
                const bool beforeQuote = i < commandLine.size() && commandLine[i] == '"';
                arg.append(beforeQuote ? (run + 1) / 2 : run, '\\');
                --i;
            } else if (c == '"') {
                quoted = !quoted;
            } else {
                arg += c;
            }
        }
        args.push_back(arg);
    }
}

} // namespace ch
