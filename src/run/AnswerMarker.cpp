#include "run/AnswerMarker.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "mail/SjisSearch.h"

namespace {

// 答 (93 9A) followed by an ASCII colon.
const SjisText kMarker = "\x93\x9a" ":";
// The same with the full-width colon ： (81 46), as a Japanese keyboard writes it.
const SjisText kWideMarker = "\x93\x9a" "\x81\x46";

constexpr std::string_view kWideGreaterThan = "\x81\x84";   // ＞
constexpr std::string_view kWideColon = "\x81\x46";         // ：
constexpr std::string_view kIdeographicSpace = "\x81\x40";
// The lines above which a mailer puts the message it answers, unquoted.
constexpr std::string_view kOriginalMessageLines[] = {
    "-----original message-----",
    "-----\x8c\xb3\x82\xcc\x83\x81\x83\x62\x83\x5a\x81\x5b\x83\x57-----",   // -----元のメッセージ-----
};

// The one-byte twin of a full-width character, or 0 when it has none.
char asciiTwin(std::uint8_t lead, std::uint8_t trail) {
    if (lead == 0x81 && trail == 0x40) return ' ';    // ideographic space
    if (lead == 0x81 && trail == 0x46) return ':';    // ：
    if (lead == 0x82 && trail >= 0x4F && trail <= 0x58) return char('0' + (trail - 0x4F));   // ０-９
    if (lead == 0x82 && trail >= 0x60 && trail <= 0x79) return char('A' + (trail - 0x60));   // Ａ-Ｚ
    if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A) return char('a' + (trail - 0x81));   // ａ-ｚ
    return 0;
}

// White space at either end of a line left out: spaces, tabs, CR and the
// ideographic space.
std::string_view trimmed(std::string_view line) {
    for (;;) {
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r')) line.remove_prefix(1);
        else if (line.substr(0, 2) == kIdeographicSpace) line.remove_prefix(2);
        else break;
    }
    for (;;) {
        if (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
        else if (line.size() >= 2 && line.substr(line.size() - 2) == kIdeographicSpace &&
                 sjisStrictCharLength(line, line.size() - 2) == 2) line.remove_suffix(2);
        else break;
    }
    return line;
}

bool isQuoteLine(std::string_view line) {
    const std::string_view t = trimmed(line);
    return (!t.empty() && t.front() == '>') || t.substr(0, 2) == kWideGreaterThan;
}

bool endsWithColon(std::string_view line) {
    const std::string_view t = trimmed(line);
    if (!t.empty() && t.back() == ':') return true;
    return t.size() >= 2 && t.substr(t.size() - 2) == kWideColon && sjisStrictCharLength(t, t.size() - 2) == 2;
}

bool isOriginalMessageLine(std::string_view line) {
    const SjisText folded = foldWidthAndCase(SjisText(trimmed(line)));
    for (std::string_view separator : kOriginalMessageLines)
        if (folded == separator) return true;
    return false;
}

// The value of an answer character: an ASCII digit, or with the option a
// full-width one.
std::optional<int> digitValue(std::string_view c, bool fullWidthDigits) {
    if (c.size() == 1 && c[0] >= '0' && c[0] <= '9') return c[0] - '0';
    if (fullWidthDigits && c.size() == 2 && std::uint8_t(c[0]) == 0x82 && std::uint8_t(c[1]) >= 0x4F &&
        std::uint8_t(c[1]) <= 0x58)
        return std::uint8_t(c[1]) - 0x4F;
    return std::nullopt;
}

}  // namespace

SjisText OwnText(const SjisText& body) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= body.size();) {
        const std::size_t lf = body.find('\n', start);
        const std::size_t end = lf == std::string::npos ? body.size() : lf;
        lines.emplace_back(body.data() + start, end - start);
        if (lf == std::string::npos) break;
        start = lf + 1;
    }
    std::vector<bool> quoted(lines.size(), false);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (isOriginalMessageLine(lines[i])) {
            std::fill(quoted.begin() + std::ptrdiff_t(i), quoted.end(), true);
            break;
        }
        quoted[i] = isQuoteLine(lines[i]);
    }
    // The attribution: the last line with text before a quoted block.
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!quoted[i] || quoted[i - 1]) continue;
        std::size_t j = i;
        while (j > 0 && trimmed(lines[j - 1]).empty()) --j;
        if (j > 0 && !quoted[j - 1] && endsWithColon(lines[j - 1])) quoted[j - 1] = true;
    }
    SjisText own;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (quoted[i]) continue;
        own += lines[i];
        own += '\n';
    }
    return own;
}

Answer ReadAnswer(const SjisText& body, bool fullWidthDigits) {
    Answer answer;
    answer.marked = hasAnswerMarker(body);
    if (!answer.marked) return answer;
    const SjisText text = sjisReplaceAll(body, kWideMarker, kMarker);

    const SjisText own = OwnText(text);
    for (std::size_t at = sjisFind(own, kMarker); at != std::string::npos; at = sjisFind(own, kMarker, at + kMarker.size())) {
        const std::size_t next = at + kMarker.size();
        if (next >= own.size()) break;
        if (const auto d = digitValue(std::string_view(own).substr(next, sjisStrictCharLength(own, next)), fullWidthDigits)) {
            answer.digit = d;
            return answer;
        }
    }
    if (const std::optional<SjisText> c = answerCharacter(text)) answer.digit = digitValue(*c, fullWidthDigits);
    return answer;
}

SjisText foldWidthAndCase(const SjisText& text) {
    SjisText out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = sjisStrictCharLength(text, i);
        if (len == 2) {
            const char twin = asciiTwin(std::uint8_t(text[i]), std::uint8_t(text[i + 1]));
            if (twin) out += asciiLower(twin);
            else out.append(text, i, 2);
        } else {
            out += asciiLower(text[i]);
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
