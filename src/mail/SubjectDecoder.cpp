#include "mail/SubjectDecoder.h"

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"
#include "mail/SjisSearch.h"

namespace {

// The start of an encoded word of ISO-2022-JP text in Base64. Charset and
// encoding letters are matched without case, as mailers write them either way.
constexpr std::string_view kEncodedWord = "=?iso-2022-jp?b?";
constexpr std::string_view kKanjiIn = "\x1b$B";

bool startsAt(std::string_view s, std::size_t pos, std::string_view what) {
    return s.size() - pos >= what.size() && s.compare(pos, what.size(), what) == 0;
}

bool encodedWordAt(std::string_view s, std::size_t pos) {
    if (s.size() - pos < kEncodedWord.size()) return false;
    return sjisFindNoCase(s.substr(pos, kEncodedWord.size()), kEncodedWord) == 0;
}

bool isKeptPlain(char c) {
    return c == ':' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The Base64 text of one encoded word, starting after its prefix. Spaces are
// left out; it ends at its "?=" (with any "=" padding in front of it), at a
// line break or where a MIME-Version header begins, so a word whose end a
// phone forgot does not swallow the next line.
std::string collectEncodedText(std::string_view s, std::size_t& pos) {
    std::string collected;
    while (pos < s.size()) {
        if (startsAt(s, pos, "==?=")) { pos += 4; break; }
        if (startsAt(s, pos, "=?=")) { pos += 3; break; }
        if (startsAt(s, pos, "?=")) { pos += 2; break; }
        if (startsAt(s, pos, "\r\n")) { pos += 2; break; }
        if (s[pos] == '\r' || s[pos] == '\n') { pos += 1; break; }
        if (startsAt(s, pos, "MIME-Version:")) break;
        if (s[pos] != ' ') collected += s[pos];
        ++pos;
    }
    return collected;
}

}  // namespace

std::optional<SjisText> DecodeSubject(std::string_view field) {
    SjisText out;
    std::size_t pos = 0;
    while (pos < field.size()) {
        if (encodedWordAt(field, pos)) {
            pos += kEncodedWord.size();
            const std::optional<SjisText> bytes = Base64Decode(collectEncodedText(field, pos));
            if (!bytes) return std::nullopt;
            out += JisToSjis(*bytes);
        } else if (startsAt(field, pos, kKanjiIn)) {
            // Raw ISO-2022-JP runs to the end of its line.
            const std::size_t eol = field.find("\r\n", pos);
            const std::size_t end = eol == std::string_view::npos ? field.size() : eol;
            out += JisToSjis(std::string(field.substr(pos, end - pos)));
            pos = eol == std::string_view::npos ? field.size() : eol + 2;
        } else {
            // Plain text up to the line end, or up to where an encoded word or
            // a raw ISO-2022-JP run begins on the same line ("Re: " in front of
            // either). Whole characters are stepped over, so the trail byte of
            // a kanji is never taken for a letter.
            while (pos < field.size()) {
                if (startsAt(field, pos, "\r\n")) { pos += 2; break; }
                if (encodedWordAt(field, pos) || startsAt(field, pos, kKanjiIn)) break;
                const std::size_t len = sjisCharLen(field, pos);
                if (len == 1 && isKeptPlain(field[pos])) out += field[pos];
                pos += len;
            }
        }
    }
    return out;
}

SjisText NormaliseSubject(const SjisText& decoded) {
    SjisText stripped;
    stripped.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size();) {
        const std::size_t len = sjisCharLen(decoded, i);
        if (len == 1 && decoded[i] == ' ') { i += 1; continue; }
        if (len == 1 && decoded[i] == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n') { i += 2; continue; }
        stripped.append(decoded, i, len);
        i += len;
    }
    return sjisReplaceAll(stripped, "RE:(BCC)", "Re:");
}
