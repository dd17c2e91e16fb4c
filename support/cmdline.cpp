#include "support/cmdline.h"

std::u16string ParamStr(std::u16string_view line, int n) {
    size_t p = 0;
    std::u16string_view arg;
    // Argument 0 is the program path; it is read the same way and passed over.
    for (int i = 0; i <= n; ++i) {
        for (;;) {
            while (p < line.size() && line[p] <= u' ')
                ++p;
            if (p + 1 < line.size() && line[p] == u'"' && line[p + 1] == u'"') {
                p += 2;
            } else {
                break;
            }
        }
        const size_t begin = p;
        bool quoted = false;
        while (p < line.size() && (quoted || line[p] > u' ')) {
            if (line[p] == u'"') quoted = !quoted;
            ++p;
        }
        arg = line.substr(begin, p - begin);
    }
    if (arg.size() >= 2 && arg.front() == u'"' && arg.back() == u'"') arg = arg.substr(1, arg.size() - 2);
    return std::u16string(arg);
}
