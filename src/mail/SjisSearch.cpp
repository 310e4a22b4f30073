#include "mail/SjisSearch.h"

namespace {

// Whether `needle` stands at `pos` of `hay`. Without case, only a one-byte
// character of the needle is folded; a two-byte one (lead and trail) is
// compared exactly, so a trail byte that looks like a letter never is.
bool matchesAt(std::string_view hay, std::size_t pos, std::string_view needle, bool noCase) {
    if (needle.size() > hay.size() - pos) return false;
    if (!noCase) return hay.compare(pos, needle.size(), needle) == 0;
    for (std::size_t k = 0; k < needle.size();) {
        const std::size_t len = sjisStrictCharLength(needle, k);
        if (len == 2) {
            if (hay[pos + k] != needle[k] || hay[pos + k + 1] != needle[k + 1]) return false;
        } else if (asciiLower(hay[pos + k]) != asciiLower(needle[k])) {
            return false;
        }
        k += len;
    }
    return true;
}

std::size_t findFrom(std::string_view hay, std::string_view needle, std::size_t from, bool noCase) {
    if (from > hay.size()) return std::string_view::npos;
    for (std::size_t pos = from;; pos += sjisStrictCharLength(hay, pos)) {
        if (needle.size() > hay.size() - pos) return std::string_view::npos;
        if (matchesAt(hay, pos, needle, noCase)) return pos;
        if (pos >= hay.size()) return std::string_view::npos;
    }
}

}  // namespace

std::size_t sjisFind(std::string_view hay, std::string_view needle, std::size_t from) {
    return findFrom(hay, needle, from, false);
}

std::size_t sjisFindNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    return findFrom(hay, needle, from, true);
}

SjisText sjisReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return SjisText(text);
    SjisText out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t hit = sjisFind(text, from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    if (pos < text.size()) out.append(text, pos, std::string_view::npos);
    return out;
}
