// Writes N lines of prose with tabs and blank lines to standard output, the same for every run
// (a fixed pseudo-random sequence), for the text-printing benchmark.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    static const char *words[] = {
        "the",    "printer", "page",   "margin", "header", "footer", "document", "line",    "word",  "tab",
        "stop",   "spooler", "job",    "paper",  "letter", "report", "invoice",  "quarter", "total", "column",
        "border", "title",   "number", "date",   "time",   "font",   "text",     "layout",  "width", "height",
        "left",   "right",   "top",    "bottom", "and",    "of",     "to",       "in",
    };
    const size_t count = sizeof words / sizeof *words;
    uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    for (long i = 0; i < lines; ++i) {
        if (next() % 10 == 0) { // a blank line now and then
            std::fputs("\n", stdout);
            continue;
        }
        std::string line;
        if (next() % 4 == 0) // a table row
            line = std::to_string(i) + "\t" + words[next() % count] + "\t" + std::to_string(next() % 1000) + ".00";
        else
            for (int w = 0, n = 6 + static_cast<int>(next() % 8); w < n; ++w)
                line += (w ? " " : "") + std::string(words[next() % count]);
        std::fputs((line + "\n").c_str(), stdout);
    }
    return 0;
}
