// Writes an RTF document of about N bytes to standard output: paragraphs of prose in mixed
// fonts, sizes and styles, with a small table every twentieth paragraph. The same every run.
// "generate_rtf table ROWS" writes one table of ROWS rows of three cells instead. Documents
// that are hard on a printer:
//   generate_rtf pictures N     one PNG of 3300 x 3300 pixels shown 11 inches square, N times
//   generate_rtf word N         one word of N letters between two short paragraphs
//   generate_rtf row N          one table row of N cells
//   generate_rtf fonts N USED   a font table of N faces, USED of them used, one word each
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void putBig32(std::string &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>(v >> shift & 255));
}

void chunk(std::string &png, const char *type, const std::string &data)
{
    putBig32(png, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    putBig32(png, static_cast<uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()))));
}

// A grey PNG of size x size pixels: white, with a black band every 100 rows.
std::string bandedPng(uint32_t size)
{
    std::string raw;
    for (uint32_t y = 0; y < size; ++y) {
        raw.push_back(0); // no filter
        raw.append(size, y % 100 < 10 ? '\0' : '\xff');
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize, reinterpret_cast<const Bytef *>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    std::string header;
    putBig32(header, size);
    putBig32(header, size);
    header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

int hostile(const std::string &kind, long n, long used)
{
    const char *head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 Before\\par\n";
    if (kind == "pictures") {
        std::fputs(head, stdout);
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (const char c : bandedPng(3300)) {
            hex.push_back(digits[static_cast<unsigned char>(c) >> 4]);
            hex.push_back(digits[static_cast<unsigned char>(c) & 15]);
        }
        for (long i = 1; i <= n; ++i)
            std::printf("{\\pict\\pngblip\\picw3300\\pich3300\\picwgoal15840\\pichgoal15840 %s}\\par Picture%ld\\par\n",
                        hex.c_str(), i);
    } else if (kind == "word") {
        std::fputs(head, stdout);
        std::string word;
        for (long i = 0; i < n; ++i)
            word.push_back(static_cast<char>('a' + i % 26));
        std::printf("%s\\par\n", word.c_str());
    } else if (kind == "row") {
        std::fputs(head, stdout);
        std::fputs("\\trowd", stdout);
        for (long i = 1; i <= n; ++i)
            std::printf("\\cellx%ld", i * 100);
        std::fputs("\\intbl ", stdout);
        for (long i = 1; i <= n; ++i)
            std::printf("C%ld\\cell ", i);
        std::fputs("\\row\\pard\n", stdout);
    } else if (kind == "fonts") {
        std::fputs("{\\rtf1\\ansi\\deff0{\\fonttbl", stdout);
        for (long i = 0; i < n; ++i)
            std::printf("{\\f%ld\\fswiss Face%ld;}", i, i);
        std::fputs("}\n", stdout);
        for (long i = 0; i < used; ++i)
            std::printf("{\\f%ld Word%ld} ", i * (n / (used > 0 ? used : 1)), i);
        std::fputs("\\par\n", stdout);
    } else {
        return 2;
    }
    std::fputs("After\\par}\n", stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && std::string(argv[1]) != "table")
        return hostile(argv[1], std::strtol(argv[2], nullptr, 10), argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0);
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
