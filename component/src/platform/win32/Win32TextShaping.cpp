#include "Win32TextShaping.h"

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <unordered_map>

namespace corvane::win32 {

namespace {

uint16_t be16(const std::string &s, size_t at)
{
    return s.size() >= at + 2 ? static_cast<uint16_t>(static_cast<uint8_t>(s[at]) << 8 | static_cast<uint8_t>(s[at + 1]))
                              : 0;
}

uint32_t be32(const std::string &s, size_t at) { return static_cast<uint32_t>(be16(s, at)) << 16 | be16(s, at + 2); }

constexpr DWORD tag(char a, char b, char c, char d)
{
    return static_cast<DWORD>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b) << 8 | static_cast<uint8_t>(c) << 16
                              | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

// Characters that belong to the character before them: marks, joiners, variation selectors,
// skin tones and tags. A face is chosen for the letter and these together.
bool extendsCluster(char32_t c)
{
    if (c < 0x300)
        return false; // the first marks are U+0300's
    if (c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xE0100 && c <= 0xE01EF)
        || (c >= 0x1F3FB && c <= 0x1F3FF) || (c >= 0xE0020 && c <= 0xE007F))
        return true;
    if (c > 0xFFFF)
        return false;
    const wchar_t unit = static_cast<wchar_t>(c);
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE3, &unit, 1, &type) && (type & (C3_NONSPACING | C3_VOWELMARK)) != 0;
}

std::wstring lower(std::wstring s)
{
    for (wchar_t &c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

int CALLBACK collectFamily(const LOGFONTW *font, const TEXTMETRICW *, DWORD type, LPARAM list)
{
    // Outline faces only, and not their vertical (@) forms.
    if ((type & TRUETYPE_FONTTYPE) && font->lfFaceName[0] != L'@')
        reinterpret_cast<std::vector<std::wstring> *>(list)->push_back(font->lfFaceName);
    return 1;
}

// The installed faces text falls back to, in the order they are tried, each with its map read
// when first needed; and, per character, the face found for it.
class Fallbacks {
public:
    static Fallbacks &shared()
    {
        static Fallbacks instance;
        return instance;
    }

    // The family of the first face that has every one of `characters` (a letter and the marks
    // on it); empty when none has them. Remembered per character.
    std::wstring find(std::u32string_view characters)
    {
        std::lock_guard lock(m_mutex);
        listFaces();
        const bool one = characters.size() == 1;
        if (one)
            if (const auto known = m_known.find(characters[0]); known != m_known.end())
                return known->second < 0 ? std::wstring() : m_families[static_cast<size_t>(known->second)];
        int found = -1;
        for (size_t i = 0; i < m_families.size() && found < 0; ++i) {
            const CharacterMap *map = this->map(i);
            if (map && std::all_of(characters.begin(), characters.end(), [map](char32_t c) {
                    return showsNothing(c) || map->glyph(c) != 0;
                }))
                found = static_cast<int>(i);
        }
        if (one) {
            // Bounded: a text of every character there is forgets the oldest half at a time.
            if (m_known.size() >= 16384)
                m_known.clear();
            m_known.emplace(characters[0], found);
        }
        return found < 0 ? std::wstring() : m_families[static_cast<size_t>(found)];
    }

private:
    Fallbacks()
        : m_dc(CreateCompatibleDC(nullptr))
    {
    }

    // Once per process: the common faces that are installed as themselves, then every other
    // family in name order (the regular face before its narrower and monospaced relatives).
    void listFaces()
    {
        if (m_listed)
            return;
        m_listed = true;
        static const wchar_t *const common[] = {L"Segoe UI", L"Segoe UI Symbol", L"Segoe UI Emoji",  L"Microsoft YaHei",
                                                L"SimSun",   L"MS Gothic",       L"Arial Unicode MS"};
        std::vector<std::wstring> all;
        LOGFONTW query{};
        query.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(m_dc, &query, collectFamily, reinterpret_cast<LPARAM>(&all), 0);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        for (const wchar_t *name : common)
            if (std::find(all.begin(), all.end(), name) != all.end())
                m_families.push_back(name);
        for (const std::wstring &name : all)
            if (std::find(m_families.begin(), m_families.end(), name) == m_families.end())
                m_families.push_back(name);
        m_maps.resize(m_families.size());
        m_read.assign(m_families.size(), false);
    }

    // A family's map, when GDI gives that family for its name and its map is not a symbol
    // font's (whose letters are symbols).
    const CharacterMap *map(size_t i)
    {
        if (!m_read[i]) {
            m_read[i] = true;
            LOGFONTW font{};
            font.lfHeight = -64;
            font.lfCharSet = DEFAULT_CHARSET;
            font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
            const std::wstring name = m_families[i].substr(0, LF_FACESIZE - 1);
            std::copy(name.begin(), name.end(), font.lfFaceName);
            if (HFONT made = CreateFontIndirectW(&font)) {
                HGDIOBJ old = SelectObject(m_dc, made);
                wchar_t face[LF_FACESIZE] = {};
                GetTextFaceW(m_dc, LF_FACESIZE, face);
                if (lower(face) == lower(name)) {
                    auto read = CharacterMap::read(m_dc);
                    if (read && !read->symbol())
                        m_maps[i] = std::move(read);
                }
                SelectObject(m_dc, old);
                DeleteObject(made);
            }
        }
        return m_maps[i].get();
    }

    std::mutex m_mutex;
    HDC m_dc;
    bool m_listed = false;
    std::vector<std::wstring> m_families;
    std::vector<std::shared_ptr<const CharacterMap>> m_maps;
    std::vector<bool> m_read;
    std::unordered_map<char32_t, int> m_known; // by character, the family's index (-1: none)
};

char32_t codePointAt(std::u16string_view text, size_t i, size_t &units)
{
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
    }
    units = 1;
    return c;
}

// The face a cluster is drawn in: the chosen one when it has every character that shows, else
// the first installed face that has them all, else one that has the first.
size_t faceFor(ShapingFaces &faces, std::u32string_view cluster)
{
    const CharacterMap *chosen = faces.map(0);
    if (!chosen || chosen->symbol())
        return 0;
    std::u32string shown;
    for (const char32_t c : cluster)
        if (!showsNothing(c) && chosen->glyph(c) == 0)
            shown.push_back(c);
    if (shown.empty())
        return 0;
    shown.clear();
    for (const char32_t c : cluster)
        if (!showsNothing(c))
            shown.push_back(c);
    std::wstring family = Fallbacks::shared().find(shown);
    if (family.empty() && shown.size() > 1)
        family = Fallbacks::shared().find(shown.substr(0, 1));
    if (family.empty())
        return 0;
    const size_t index = faces.face(family);
    return index == ShapingFaces::none ? 0 : index;
}

// Gives each glyph its cluster's characters, and puts the glyphs of a right-to-left part left to
// right (Uniscribe keeps them in the order of the characters, the first one rightmost).
void inVisualOrder(ShapedPart &part, const std::vector<WORD> &clusters)
{
    const size_t n = part.glyphs.size(), m = clusters.size();
    part.from.assign(n, static_cast<uint32_t>(part.begin));
    part.to.assign(n, static_cast<uint32_t>(part.end));
    if (n == 0 || m == 0)
        return;
    // The clusters' glyphs follow their characters' order, or run against it.
    const bool forward = clusters[0] < clusters[m - 1] || (clusters[0] == clusters[m - 1] && clusters[0] == 0);
    for (size_t a = 0; a < m;) {
        size_t b = a + 1;
        while (b < m && clusters[b] == clusters[a])
            ++b;
        size_t first = forward ? clusters[a] : (b < m ? clusters[b] + 1u : 0u);
        const size_t last = forward ? (b < m ? clusters[b] : n) : clusters[a] + 1u;
        for (; first < last && first < n; ++first) {
            part.from[first] = static_cast<uint32_t>(part.begin + a);
            part.to[first] = static_cast<uint32_t>(part.begin + b);
        }
        a = b;
    }
    if (part.rightToLeft) {
        if (forward) {
            std::reverse(part.glyphs.begin(), part.glyphs.end());
            std::reverse(part.advances.begin(), part.advances.end());
            std::reverse(part.offsets.begin(), part.offsets.end());
            std::reverse(part.from.begin(), part.from.end());
            std::reverse(part.to.begin(), part.to.end());
        }
        // (The offsets are across the page, to the right, whichever way the part runs: a mark's
        // offset turned round put it on the letter before its own.)
    }
}

// A character that shows nothing (a variation selector, a tag, a joiner) that the face has no
// glyph for is set as the face's box: that glyph is taken out, so that it draws nothing and takes
// no room. Its characters stay with its cluster's other glyphs, or with the cluster beside it
// when it had no other. (A box for a letter no face has stays, unless a character that shows
// nothing is in its cluster; so does a box with no cluster beside it to say its characters.)
void hideEmptyBoxes(HDC dc, SCRIPT_CACHE *cache, std::u16string_view text, ShapedPart &part)
{
    SCRIPT_FONTPROPERTIES properties{};
    properties.cBytes = sizeof properties;
    if (part.glyphs.empty() || FAILED(ScriptGetFontProperties(dc, cache, &properties)))
        return;
    // Whether a cluster's characters hold one that shows nothing, and whether they all do.
    const auto invisible = [&](size_t from, size_t to) {
        bool any = false, all = true;
        for (size_t i = from, units = 1; i < to; i += units) {
            const char32_t c = codePointAt(text.substr(0, to), i, units);
            if (showsNothing(c))
                any = true;
            else
                all = false;
        }
        return std::pair{any, all};
    };
    std::vector<bool> drop(part.glyphs.size(), false);
    bool dropped = false;
    for (size_t g = 0; g < part.glyphs.size();) {
        size_t end = g + 1;
        while (end < part.glyphs.size() && part.from[end] == part.from[g])
            ++end;
        const auto [any, all] = invisible(part.from[g], part.to[g]);
        size_t boxes = 0;
        for (size_t k = g; k < end; ++k)
            boxes += part.glyphs[k] == properties.wgDefault ? 1 : 0;
        if (any && boxes == end - g && all) {
            // Only boxes: the characters go to the cluster beside that they follow or precede.
            const size_t from = part.from[g], to = part.to[g];
            const auto adopt = [&](size_t first, size_t last) {
                if (first >= last || drop[first] || (part.to[first] != from && part.from[first] != to))
                    return false;
                for (size_t k = first; k < last; ++k) {
                    part.from[k] = std::min<uint32_t>(part.from[k], static_cast<uint32_t>(from));
                    part.to[k] = std::max<uint32_t>(part.to[k], static_cast<uint32_t>(to));
                }
                return true;
            };
            size_t before = g;
            while (before > 0 && part.from[before - 1] == part.from[g - 1])
                --before;
            size_t after = end;
            while (after < part.glyphs.size() && part.from[after] == part.from[end])
                ++after;
            if ((g > 0 && adopt(before, g)) || adopt(end, after)) {
                std::fill(drop.begin() + static_cast<std::ptrdiff_t>(g),
                          drop.begin() + static_cast<std::ptrdiff_t>(end), true);
                dropped = true;
            }
        } else if (any && boxes < end - g) {
            for (size_t k = g; k < end; ++k)
                if (part.glyphs[k] == properties.wgDefault)
                    drop[k] = dropped = true;
        }
        g = end;
    }
    if (!dropped)
        return;
    size_t kept = 0;
    for (size_t k = 0; k < part.glyphs.size(); ++k) {
        if (drop[k])
            continue;
        part.glyphs[kept] = part.glyphs[k];
        part.advances[kept] = part.advances[k];
        part.offsets[kept] = part.offsets[k];
        part.from[kept] = part.from[k];
        part.to[kept] = part.to[k];
        ++kept;
    }
    part.glyphs.resize(kept);
    part.advances.resize(kept);
    part.offsets.resize(kept);
    part.from.resize(kept);
    part.to.resize(kept);
}

} // namespace

std::shared_ptr<const CharacterMap> CharacterMap::read(HDC dc)
{
    const DWORD cmap = tag('c', 'm', 'a', 'p');
    const DWORD size = GetFontData(dc, cmap, 0, nullptr, 0);
    if (size == GDI_ERROR || size < 4)
        return nullptr;
    std::string table(size, '\0');
    if (GetFontData(dc, cmap, 0, table.data(), size) != size)
        return nullptr;
    // The best subtable: the full Unicode one, else the BMP's, else a symbol font's.
    size_t best = 0;
    int rank = 0, format = 0;
    bool symbol = false;
    const size_t count = be16(table, 2);
    for (size_t i = 0; i < count; ++i) {
        const size_t record = 4 + i * 8;
        const uint16_t platform = be16(table, record), encoding = be16(table, record + 2);
        const size_t offset = be32(table, record + 4);
        const uint16_t kind = be16(table, offset);
        int r = 0;
        if (kind == 12 && ((platform == 3 && encoding == 10) || platform == 0))
            r = 4;
        else if (kind == 4 && ((platform == 3 && encoding == 1) || platform == 0))
            r = 3;
        else if (kind == 4 && platform == 3 && encoding == 0)
            r = 2;
        if (r > rank) {
            rank = r;
            best = offset;
            format = kind;
            symbol = r == 2;
        }
    }
    if (rank == 0)
        return nullptr;
    const size_t length = format == 12 ? be32(table, best + 4) : be16(table, best + 2);
    if (best + length > table.size() || length < 16)
        return nullptr;
    auto map = std::make_shared<CharacterMap>();
    map->m_table = table.substr(best, length);
    map->m_format = format;
    map->m_symbol = symbol;
    return map;
}

uint16_t CharacterMap::glyph(char32_t c) const
{
    const std::string &t = m_table;
    if (m_format == 12) {
        size_t low = 0, high = std::min<size_t>(be32(t, 12), (t.size() - 16) / 12);
        while (low < high) {
            const size_t mid = (low + high) / 2, at = 16 + mid * 12;
            if (c < be32(t, at))
                high = mid;
            else if (c > be32(t, at + 4))
                low = mid + 1;
            else
                return static_cast<uint16_t>(be32(t, at + 8) + (c - be32(t, at)));
        }
        return 0;
    }
    if (m_symbol && c < 0x100)
        c |= 0xF000; // a symbol font's letters stand at U+F020 to U+F0FF
    if (c > 0xFFFF)
        return 0;
    const size_t segments = be16(t, 6) / 2;
    if (16 + segments * 8 > t.size())
        return 0;
    size_t low = 0, high = segments;
    while (low < high) {
        const size_t mid = (low + high) / 2;
        if (be16(t, 14 + mid * 2) < c)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == segments)
        return 0;
    const size_t start = 16 + segments * 2, delta = start + segments * 2, range = delta + segments * 2;
    const uint16_t first = be16(t, start + low * 2);
    if (c < first)
        return 0;
    const uint16_t add = be16(t, delta + low * 2), offset = be16(t, range + low * 2);
    if (offset == 0)
        return static_cast<uint16_t>(c + add);
    const uint16_t g = be16(t, range + low * 2 + offset + (c - first) * 2);
    return g == 0 ? 0 : static_cast<uint16_t>(g + add);
}

bool showsNothing(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F || c == 0x1160
        || c == 0x17B4 || c == 0x17B5 || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F)
        || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF
        || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0xD800 && c <= 0xDFFF) || (c >= 0x1BCA0 && c <= 0x1BCA3)
        || (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

int64_t shapeText(HDC dc, std::u16string_view text, ShapingFaces &faces,
                  const std::function<void(const ShapedPart &)> &part)
{
    if (text.empty())
        return 0;
    const auto *chars = reinterpret_cast<const WCHAR *>(text.data());
    // Items of one script and direction, in a paragraph set left to right. A long text is
    // itemized some thousands of characters at a time (at a space where there is one): what
    // Uniscribe holds for it stays small, and the levels of the pieces still set their runs in
    // order.
    struct Item {
        size_t begin, end;
        SCRIPT_ANALYSIS analysis;
    };
    std::vector<Item> itemList;
    std::vector<SCRIPT_ITEM> items;
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{};
    for (size_t from = 0; from < text.size();) {
        size_t to = std::min(text.size(), from + 32768);
        if (to < text.size()) {
            size_t cut = to;
            while (cut > to - 1024 && text[cut - 1] != u' ')
                --cut;
            if (text[cut - 1] == u' ')
                to = cut;
            else if (text[to] >= 0xDC00 && text[to] <= 0xDFFF)
                --to;
        }
        const int length = static_cast<int>(to - from);
        items.resize(static_cast<size_t>(length) + 2);
        int count = 0;
        if (SUCCEEDED(ScriptItemize(chars + from, length, length + 1, &control, &state, items.data(), &count))) {
            for (int i = 0; i < count; ++i)
                itemList.push_back({from + static_cast<size_t>(items[static_cast<size_t>(i)].iCharPos),
                                    from + static_cast<size_t>(items[static_cast<size_t>(i) + 1].iCharPos),
                                    items[static_cast<size_t>(i)].a});
        } else {
            itemList.push_back({from, to, SCRIPT_ANALYSIS{}}); // shaped as it comes
        }
        from = to;
    }

    // A variation selector, a tag or a joiner that begins an item goes with the character before
    // it, in that one's item: on its own it would be set apart, as the face's box.
    for (size_t k = 1; k < itemList.size(); ++k) {
        Item &before = itemList[k - 1], &item = itemList[k];
        size_t units = 0;
        while (before.end == item.begin && item.begin < item.end) {
            const char32_t c = codePointAt(text, item.begin, units);
            if (!showsNothing(c) || !extendsCluster(c))
                break;
            item.begin += units;
            before.end = item.begin;
        }
    }
    std::erase_if(itemList, [](const Item &item) { return item.begin >= item.end; });

    // Parts: an item's clusters in one face, at most some thousands of characters each.
    struct Part {
        size_t face, begin, end;
        SCRIPT_ANALYSIS analysis;
    };
    std::vector<Part> parts;
    std::unordered_map<char32_t, size_t> known; // faces of single characters in this text
    for (const Item &item : itemList) {
        const size_t begin = item.begin, end = item.end;
        const SCRIPT_ANALYSIS analysis = item.analysis;
        size_t i = begin;
        while (i < end) {
            // One cluster: a character and those that go with it.
            size_t units = 0;
            std::u32string cluster(1, codePointAt(text, i, units));
            size_t next = i + units;
            while (next < end) {
                const char32_t c = codePointAt(text, next, units);
                if (!extendsCluster(c))
                    break;
                cluster.push_back(c);
                next += units;
            }
            size_t face;
            if (cluster.size() == 1) {
                const auto found = known.find(cluster[0]);
                face = found != known.end() ? found->second : known[cluster[0]] = faceFor(faces, cluster);
            } else {
                face = faceFor(faces, cluster);
            }
            // Marks with no letter before them in their run are set as they are, without the
            // script's shaping: placing a mark on a mark that is not there has crashed the
            // system's shaper.
            SCRIPT_ANALYSIS own = analysis;
            if (extendsCluster(cluster[0]))
                own.eScript = SCRIPT_UNDEFINED;
            if (!parts.empty() && parts.back().end == i && parts.back().face == face
                && parts.back().analysis.eScript == own.eScript && parts.back().begin >= begin
                && parts.back().end - parts.back().begin < 4096)
                parts.back().end = next;
            else
                parts.push_back({face, i, next, own});
            i = next;
        }
    }

    // Their visual order, by their levels.
    std::vector<BYTE> levels(parts.size());
    for (size_t p = 0; p < parts.size(); ++p)
        levels[p] = static_cast<BYTE>(parts[p].analysis.s.uBidiLevel);
    std::vector<int> visual(parts.size());
    if (parts.empty() || FAILED(ScriptLayout(static_cast<int>(parts.size()), levels.data(), visual.data(), nullptr)))
        for (size_t p = 0; p < parts.size(); ++p)
            visual[p] = static_cast<int>(p);

    int64_t width = 0;
    ShapedPart shaped;
    SCRIPT_ANALYSIS analysis{};
    std::vector<WORD> clusters;
    std::vector<SCRIPT_VISATTR> attributes;
    for (const int index : visual) {
        const Part &p = parts[static_cast<size_t>(index)];
        shaped.face = p.face;
        shaped.begin = p.begin;
        shaped.end = p.end;
        analysis = p.analysis;
        shaped.rightToLeft = analysis.fRTL;
        const int count = static_cast<int>(p.end - p.begin);
        SCRIPT_CACHE *cache = faces.select(p.face);
        clusters.assign(static_cast<size_t>(count), 0);
        int glyphCount = 0;
        size_t room = static_cast<size_t>(count) * 3 / 2 + 16;
        for (int attempt = 0; attempt < 8; ++attempt) {
            shaped.glyphs.resize(room);
            attributes.resize(room);
            const HRESULT result = ScriptShape(dc, cache, chars + p.begin, count, static_cast<int>(room), &analysis,
                                               shaped.glyphs.data(), clusters.data(), attributes.data(), &glyphCount);
            if (result == E_OUTOFMEMORY) {
                room *= 2;
                continue;
            }
            if (result == USP_E_SCRIPT_NOT_IN_FONT && analysis.eScript != SCRIPT_UNDEFINED) {
                // The face has none of the script's shaping: its characters as its map gives them.
                analysis.eScript = SCRIPT_UNDEFINED;
                continue;
            }
            if (FAILED(result))
                glyphCount = 0;
            break;
        }
        shaped.glyphs.resize(static_cast<size_t>(glyphCount));
        attributes.resize(static_cast<size_t>(glyphCount));
        shaped.advances.assign(static_cast<size_t>(glyphCount), 0);
        shaped.offsets.assign(static_cast<size_t>(glyphCount), GOFFSET{});
        ABC abc{};
        if (glyphCount > 0
            && FAILED(ScriptPlace(dc, cache, shaped.glyphs.data(), glyphCount, attributes.data(), &analysis,
                                  shaped.advances.data(), shaped.offsets.data(), &abc)))
            std::fill(shaped.advances.begin(), shaped.advances.end(), 0);
        inVisualOrder(shaped, clusters);
        hideEmptyBoxes(dc, cache, text, shaped);
        shaped.width = 0;
        for (const int advance : shaped.advances)
            shaped.width += advance;
        width += shaped.width;
        part(shaped);
    }
    return width;
}

} // namespace corvane::win32
