#include "mail/SubjectDecoder.h"

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"
#include "mail/SjisSearch.h"

namespace {

// The start of an encoded word of ISO-2022-JP text in Base64. Charset and
// encoding letters are matched without case, as mailers write them either way.
constexpr std::string_view kEncodedWord = "=?iso-2022-jp?b?";
// A raw ISO-2022-JP stretch begins at its first switch out of one-byte text:
// into kanji, or into half-width katakana when the subject starts with it.
constexpr std::string_view kJisRunStarts[] = {"\x1b$B", "\x1b(I"};

bool startsAt(std::string_view s, std::size_t pos, std::string_view what) {
    return s.size() - pos >= what.size() && s.compare(pos, what.size(), what) == 0;
}

bool encodedWordAt(std::string_view s, std::size_t pos) {
    if (s.size() - pos < kEncodedWord.size()) return false;
    return sjisFindNoCase(s.substr(pos, kEncodedWord.size()), kEncodedWord) == 0;
}

bool jisRunAt(std::string_view s, std::size_t pos) {
    for (std::string_view start : kJisRunStarts)
        if (startsAt(s, pos, start)) return true;
    return false;
}

// Printable ASCII but the space, which the squeeze would drop anyway. Control
// bytes, such as the ESC of an escape this reader does not follow, are no
// part of what anyone typed.
bool isKeptPlain(char c) { return c > ' ' && c <= '~'; }

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
        } else if (jisRunAt(field, pos)) {
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
                if (encodedWordAt(field, pos) || jisRunAt(field, pos)) break;
                const std::size_t len = sjisStrictCharLength(field, pos);
                if (len == 1 && isKeptPlain(field[pos])) out += field[pos];
                pos += len;
            }
        }
    }
    return out;
}

SjisText SqueezeSubject(std::string_view subject) {
    SjisText squeezed;
    squeezed.reserve(subject.size());
    for (std::size_t i = 0; i < subject.size();) {
        const std::size_t len = sjisStrictCharLength(subject, i);
        if (len == 1 && subject[i] == ' ') { i += 1; continue; }
        if (startsAt(subject, i, "\r\n")) { i += 2; continue; }
        squeezed.append(subject, i, len);
        i += len;
    }
    return squeezed;
}

SjisText NormaliseSubject(const SjisText& decoded) {
    return sjisReplaceAll(SqueezeSubject(decoded), "RE:(BCC)", "Re:");
}
