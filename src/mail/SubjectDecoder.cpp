#include "mail/SubjectDecoder.h"

#include <string>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"
#include "mail/ReplyCharset.h"
#include "mail/SjisSearch.h"

namespace {

// A raw ISO-2022-JP stretch begins at its first switch out of one-byte text:
// into kanji, or into half-width katakana when the subject starts with it.
constexpr std::string_view kJisRunStarts[] = {"\x1b$B", "\x1b(I"};

bool startsAt(std::string_view s, std::size_t pos, std::string_view what) {
    return s.size() - pos >= what.size() && s.compare(pos, what.size(), what) == 0;
}

bool jisRunAt(std::string_view s, std::size_t pos) {
    for (std::string_view start : kJisRunStarts)
        if (startsAt(s, pos, start)) return true;
    return false;
}

// The start of an encoded word: "=?" charset "?" B or Q "?", the charset
// possibly with a language after "*" (RFC 2231), the letters in either case.
struct WordStart {
    std::string_view charset;
    bool quoted = false;        // Q encoding rather than B
    std::size_t textAt = 0;     // where the encoded text begins
};

std::optional<WordStart> encodedWordAt(std::string_view s, std::size_t pos) {
    if (!startsAt(s, pos, "=?")) return std::nullopt;
    const std::size_t nameAt = pos + 2;
    const std::size_t mark = s.find('?', nameAt);
    if (mark == std::string_view::npos || mark == nameAt || mark + 2 >= s.size() || s[mark + 2] != '?')
        return std::nullopt;
    std::string_view charset = s.substr(nameAt, mark - nameAt);
    if (charset.find_first_of(" \t\r\n=") != std::string_view::npos) return std::nullopt;
    charset = charset.substr(0, charset.find('*'));
    const char encoding = s[mark + 1];
    if (encoding != 'B' && encoding != 'b' && encoding != 'Q' && encoding != 'q') return std::nullopt;
    return WordStart{charset, encoding == 'Q' || encoding == 'q', mark + 3};
}

// Printable ASCII but the space, which the squeeze would drop anyway. Control
// bytes, such as the ESC of an escape this reader does not follow, are no
// part of what anyone typed.
bool isKeptPlain(char c) { return c > ' ' && c <= '~'; }

// The encoded text of one word, starting after its prefix. Spaces are left
// out; it ends at its "?=" (with any "=" padding in front of it), at a line
// break or where a MIME-Version header begins, so a word whose end a phone
// forgot does not swallow the next line.
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

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Q encoding: "_" is a space, "=" and two hex digits a byte; an "=" without
// them stands for itself.
std::string decodeQ(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            bytes += ' ';
        } else if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            bytes += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// Encoded words in one of Unicode's charsets that follow each other with
// nothing but white space between are converted as one text: mailers cut a
// long subject into words without minding where a character ends.
class DecodedSubject {
public:
    explicit DecodedSubject(const CharsetConverter* converter) : converter_(converter) {}

    void addWord(std::string_view charset, std::string bytes) {
        if (readByteByByte(charset)) {
            flush();
            text_ += replyTextToSjis(charset, bytes, converter_);
            return;
        }
        if (charset != pendingCharset_) flush();
        pendingCharset_ = std::string(charset);
        pendingBytes_ += bytes;
    }
    void addText(std::string_view sjis) {
        flush();
        text_ += sjis;
    }
    SjisText finish() {
        flush();
        return std::move(text_);
    }

private:
    void flush() {
        if (!pendingBytes_.empty()) text_ += replyTextToSjis(pendingCharset_, pendingBytes_, converter_);
        pendingBytes_.clear();
        pendingCharset_.clear();
    }

    const CharsetConverter* converter_;
    SjisText text_;
    std::string pendingCharset_;
    std::string pendingBytes_;
};

}  // namespace

std::optional<SjisText> DecodeSubject(std::string_view field, const CharsetConverter* converter) {
    DecodedSubject out(converter);
    std::size_t pos = 0;
    while (pos < field.size()) {
        if (const std::optional<WordStart> word = encodedWordAt(field, pos)) {
            pos = word->textAt;
            const std::string text = collectEncodedText(field, pos);
            std::optional<std::string> bytes = word->quoted ? decodeQ(text) : Base64DecodeBytes(text);
            if (!bytes) return std::nullopt;
            out.addWord(word->charset, std::move(*bytes));
        } else if (jisRunAt(field, pos)) {
            // Raw ISO-2022-JP runs to the end of its line.
            const std::size_t eol = field.find("\r\n", pos);
            const std::size_t end = eol == std::string_view::npos ? field.size() : eol;
            out.addText(JisToSjis(std::string(field.substr(pos, end - pos))));
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
                if (len == 1 && isKeptPlain(field[pos])) out.addText(field.substr(pos, 1));
                pos += len;
            }
        }
    }
    return out.finish();
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

namespace {

constexpr std::string_view kFullWidthColon = "\x81\x46";   // ：

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The length of one reply prefix at `pos` of a squeezed subject, 0 when none
// stands there: "Re" in any case, a counter "[2]" or "(2)", a colon of either
// width, and "(BCC)" after it.
std::size_t replyPrefixAt(std::string_view s, std::size_t pos) {
    if (s.size() - pos < 3 || (s[pos] != 'R' && s[pos] != 'r') || (s[pos + 1] != 'E' && s[pos + 1] != 'e')) return 0;
    std::size_t i = pos + 2;
    if (i < s.size() && (s[i] == '[' || s[i] == '(')) {
        const char close = s[i] == '[' ? ']' : ')';
        std::size_t j = i + 1;
        while (j < s.size() && isDigit(s[j])) ++j;
        if (j == i + 1 || j >= s.size() || s[j] != close) return 0;
        i = j + 1;
    }
    if (startsAt(s, i, ":")) i += 1;
    else if (startsAt(s, i, kFullWidthColon)) i += kFullWidthColon.size();
    else return 0;
    if (sjisFindNoCase(s.substr(i, 5), "(BCC)") == 0) i += 5;
    return i - pos;
}

}  // namespace

SjisText NormaliseSubject(const SjisText& decoded) {
    const SjisText squeezed = SqueezeSubject(decoded);
    std::size_t rest = 0;
    while (const std::size_t n = replyPrefixAt(squeezed, rest)) rest += n;
    if (rest == 0) return squeezed;
    return "Re:" + squeezed.substr(rest);
}
