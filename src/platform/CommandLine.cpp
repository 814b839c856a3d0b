// The Windows rules for splitting a command line, kept apart from the system so that they are
// tested on every build.
#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::platform {

std::vector<std::string> SplitWindowsCommandLine(std::u16string_view line) {
    std::vector<std::string> args;
    std::u16string arg;
    std::size_t i = 0;
    // The program's name ends at the first blank, or is quoted; backslashes are part of it.
    if (i < line.size() && line[i] == u'"') {
        for (++i; i < line.size() && line[i] != u'"'; ++i) arg += line[i];
        if (i < line.size()) ++i;
    } else {
        for (; i < line.size() && line[i] != u' ' && line[i] != u'\t'; ++i) arg += line[i];
    }
    args.push_back(Utf8FromUtf16(arg));
    for (;;) {
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
        if (i == line.size()) return args;
        arg.clear();
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != u' ' && line[i] != u'\t'))) {
            if (line[i] == u'\\') {
                // Backslashes are literal unless a quote follows: then each pair is one
                // backslash, and an odd one out makes the quote literal.
                std::size_t n = 0;
                for (; i < line.size() && line[i] == u'\\'; ++i) ++n;
                const bool quote = i < line.size() && line[i] == u'"';
                arg.append(quote ? n / 2 : n, u'\\');
                if (quote && n % 2 == 1) {
                    arg += u'"';
                    ++i;
                }
            } else if (line[i] == u'"') {
                // Inside quotes, two quotes are one literal quote.
                if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                    arg += u'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(Utf8FromUtf16(arg));
    }
}

}  // namespace brenzo::platform
