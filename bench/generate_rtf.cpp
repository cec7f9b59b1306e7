// Writes an RTF document of about N bytes to standard output: paragraphs of prose in mixed
// fonts, sizes and styles, with a small table every twentieth paragraph. The same every run.
// "generate_rtf table ROWS" writes one table of ROWS rows of three cells instead.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc > 2 && std::string(argv[1]) == "table") {
        const long rows = std::strtol(argv[2], nullptr, 10);
        std::fputs("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 A table\\par\n", stdout);
        for (long row = 1; row <= rows; ++row)
            std::printf("\\trowd\\cellx2500\\cellx6000\\cellx9000\\intbl Item %ld\\cell %ld.%02ld\\cell "
                        "Note on row %ld\\cell\\row\n",
                        row, row * 7 % 1000, row % 100, row);
        std::fputs("\\pard The end.\\par}\n", stdout);
        return 0;
    }
    const long target = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 50000;
    static const char *words[] = {"the",     "printer", "page",    "margin", "header", "footer", "document",
                                  "line",    "word",    "spooler", "job",    "paper",  "report", "invoice",
                                  "quarter", "total",   "column",  "border", "title",  "font",   "layout"};
    static const char *styles[] = {"", "\\b ", "\\i ", "\\ul ", "\\f1 ", "\\fs28 ", "\\cf1 ", "\\f2\\fs20 "};
    uint32_t state = 4242;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}"
                      "{\\f2\\fmodern Courier New;}}{\\colortbl;\\red160\\green0\\blue0;}\n";
    std::fputs(out.c_str(), stdout);
    long written = static_cast<long>(out.size());
    for (long paragraph = 1; written < target; ++paragraph) {
        std::string p;
        if (paragraph % 20 == 0) {
            for (int row = 0; row < 3; ++row) {
                p += "\\trowd\\cellx3000\\cellx6000\\cellx9000\n";
                for (int cell = 0; cell < 3; ++cell)
                    p += "\\pard\\intbl " + std::string(words[next() % 21]) + " " + std::to_string(next() % 1000)
                       + "\\cell ";
                p += "\\row\n";
            }
            p += "\\pard ";
        } else {
            p += paragraph % 7 == 0 ? "\\pard\\qc " : "\\pard\\sa120 ";
            for (int sentence = 0, n = 2 + static_cast<int>(next() % 4); sentence < n; ++sentence) {
                p += "{" + std::string(styles[next() % 8]);
                for (int w = 0, m = 6 + static_cast<int>(next() % 10); w < m; ++w)
                    p += (w ? " " : "") + std::string(words[next() % 21]);
                p += ".} ";
            }
            p += "\\par\n";
        }
        std::fputs(p.c_str(), stdout);
        written += static_cast<long>(p.size());
    }
    std::fputs("}\n", stdout);
    return 0;
}
