#include "run/AnswerMarker.h"

#include <cstdint>

#include "mail/SjisSearch.h"

namespace {

// 答 (93 9A) followed by an ASCII colon.
const SjisText kMarker = "\x93\x9a" ":";

// The one-byte twin of a full-width character, or 0 when it has none.
char asciiTwin(std::uint8_t lead, std::uint8_t trail) {
    if (lead == 0x81 && trail == 0x40) return ' ';    // ideographic space
    if (lead == 0x81 && trail == 0x46) return ':';    // ：
    if (lead == 0x82 && trail >= 0x4F && trail <= 0x58) return char('0' + (trail - 0x4F));   // ０-９
    if (lead == 0x82 && trail >= 0x60 && trail <= 0x79) return char('A' + (trail - 0x60));   // Ａ-Ｚ
    if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A) return char('a' + (trail - 0x81));   // ａ-ｚ
    return 0;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

SjisText foldWidthAndCase(const SjisText& text) {
    SjisText out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = sjisStrictCharLength(text, i);
        if (len == 2) {
            const char twin = asciiTwin(std::uint8_t(text[i]), std::uint8_t(text[i + 1]));
            if (twin) out += lower(twin);
            else out.append(text, i, 2);
        } else {
            out += lower(text[i]);
        }
        i += len;
    }
    return out;
}

bool hasAnswerMarker(const SjisText& body) {
    return sjisContains(foldWidthAndCase(body), kMarker);
}

std::optional<SjisText> answerCharacter(const SjisText& body) {
    const std::size_t first = sjisFind(body, kMarker);
    if (first == std::string::npos) return std::nullopt;
    std::size_t marker = sjisFind(body, kMarker, first + kMarker.size());
    if (marker == std::string::npos) marker = first;
    const std::size_t at = marker + kMarker.size();
    if (at >= body.size()) return std::nullopt;
    return body.substr(at, sjisStrictCharLength(body, at));
}
