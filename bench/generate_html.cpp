// Writes an HTML page of about N bytes to standard output: headings, paragraphs of prose and
// tables, the same every run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    const long target = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10000;
    static const char *words[] = {"the",  "printer", "page", "margin", "header", "footer",  "document", "line",
                                  "word", "spooler", "job",  "paper",  "report", "invoice", "total",    "column"};
    uint32_t state = 777;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    std::string out = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Benchmark</title>"
                      "<style>table{border-collapse:collapse}td,th{border:1px solid #888;padding:2px 6px}</style>"
                      "</head><body>\n";
    for (long section = 1; static_cast<long>(out.size()) < target; ++section) {
        out += "<h2>Section " + std::to_string(section) + "</h2>\n";
        for (int p = 0; p < 3; ++p) {
            out += "<p>";
            for (int w = 0, n = 30 + static_cast<int>(next() % 30); w < n; ++w)
                out += std::string(w ? " " : "") + words[next() % 16];
            out += ".</p>\n";
        }
        out += "<table><tr><th>Item</th><th>Quantity</th><th>Price</th></tr>\n";
        for (int r = 0; r < 8; ++r)
            out += "<tr><td>" + std::string(words[next() % 16]) + "</td><td>" + std::to_string(next() % 100)
                 + "</td><td>" + std::to_string(next() % 1000) + ".00</td></tr>\n";
        out += "</table>\n";
    }
    out += "</body></html>\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}
