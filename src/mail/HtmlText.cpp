#include "mail/HtmlText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/SjisText.h"

namespace {

constexpr std::string_view kGeta = "\x81\xac";   // 〓

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Elements that begin and end a line of their own.
constexpr std::string_view kBlocks[] = {"p", "div", "blockquote", "li", "ul", "ol", "tr", "table", "h1", "h2",
                                        "h3", "h4", "h5", "h6", "hr", "pre", "dl", "dt", "dd", "address"};
// Elements whose content is no text a person reads.
constexpr std::string_view kHidden[] = {"head", "style", "script", "title"};

template <std::size_t N>
bool isOneOf(std::string_view name, const std::string_view (&names)[N]) {
    for (std::string_view n : names)
        if (n == name) return true;
    return false;
}

// Named references mailers write, as code points.
struct NamedReference {
    std::string_view name;
    char32_t code;
};
constexpr NamedReference kNamed[] = {
    {"amp", '&'},     {"lt", '<'},        {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
    {"nbsp", 0xA0},   {"yen", 0xA5},      {"copy", 0xA9},     {"reg", 0xAE},      {"times", 0xD7},
    {"divide", 0xF7}, {"middot", 0xB7},   {"laquo", 0xAB},    {"raquo", 0xBB},    {"ndash", 0x2013},
    {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
    {"hellip", 0x2026}, {"ensp", 0x2002}, {"emsp", 0x2003},   {"thinsp", 0x2009},
};

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

class TextWriter {
public:
    explicit TextWriter(const CharsetConverter* converter) : converter_(converter) {}

    void character(std::string_view c) {
        if (atLineStart_) {
            for (int k = 0; k < quoteDepth_; ++k) out_ += '>';
            if (quoteDepth_ > 0) out_ += ' ';
            atLineStart_ = false;
        }
        out_ += c;
        afterSpace_ = false;
    }
    // White space of the source: one space between words, none at a line start.
    void space() {
        if (atLineStart_ || afterSpace_) return;
        character(" ");
        afterSpace_ = true;
    }
    void codePoint(char32_t c) {
        if (c == 0xA0) return character(" ");   // no-break space: Windows-31J has none
        if (c > 0 && c < 0x80) return character(std::string(1, char(c)));
        if (c == 0 || c > 0x10FFFF) return character(kGeta);
        const std::optional<SjisText> text = converter_ ? converter_->toSjis("UTF-8", utf8(c)) : std::nullopt;
        character(text && !text->empty() ? std::string_view(*text) : kGeta);
    }
    void lineBreak() {
        out_ += "\r\n";
        atLineStart_ = true;
        afterSpace_ = false;
    }
    // A block begins or ends: a new line unless one has just begun.
    void blockEdge() {
        if (!atLineStart_) lineBreak();
    }
    void quote(int change) {
        blockEdge();
        quoteDepth_ = std::max(0, quoteDepth_ + change);
    }
    SjisText finish() { return std::move(out_); }

private:
    const CharsetConverter* converter_;
    SjisText out_;
    bool atLineStart_ = true;
    bool afterSpace_ = false;
    int quoteDepth_ = 0;
};

// The reference at `pos` ("&"): its code point and length, or nothing.
std::optional<std::pair<char32_t, std::size_t>> referenceAt(std::string_view s, std::size_t pos) {
    const std::size_t semi = s.find(';', pos + 1);
    if (semi == std::string_view::npos || semi - pos > 12) return std::nullopt;
    const std::string_view body = s.substr(pos + 1, semi - pos - 1);
    const std::size_t length = semi - pos + 1;
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return std::nullopt;
        char32_t value = 0;
        for (char d : digits) {
            int v = d >= '0' && d <= '9' ? d - '0' : hex && asciiLower(d) >= 'a' && asciiLower(d) <= 'f' ? asciiLower(d) - 'a' + 10 : -1;
            if (v < 0) return std::nullopt;
            value = value * (hex ? 16 : 10) + char32_t(v);
            if (value > 0x10FFFF) value = 0x110000;   // out of range, and no overflow
        }
        return std::pair{value, length};
    }
    for (const NamedReference& r : kNamed)
        if (r.name == body) return std::pair{r.code, length};
    return std::nullopt;
}

// The tag at `pos` ("<"): its name in lower case, whether it closes, and
// where it ends (after ">"; the end of the text when it never closes).
struct Tag {
    std::string name;
    bool closing = false;
    std::size_t end = 0;
};

Tag tagAt(std::string_view s, std::size_t pos) {
    Tag tag;
    std::size_t i = pos + 1;
    if (i < s.size() && s[i] == '/') { tag.closing = true; ++i; }
    while (i < s.size() && ((s[i] >= 'a' && s[i] <= 'z') || (s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= '0' && s[i] <= '9')))
        tag.name += asciiLower(s[i++]);
    // Attribute values in quotes may hold ">".
    char quote = 0;
    for (; i < s.size(); ++i) {
        if (quote) {
            if (s[i] == quote) quote = 0;
        } else if (s[i] == '"' || s[i] == '\'') {
            quote = s[i];
        } else if (s[i] == '>') {
            break;
        }
    }
    tag.end = i < s.size() ? i + 1 : s.size();
    return tag;
}

// Past the end of a hidden element's content: after its closing tag.
std::size_t skipHidden(std::string_view s, std::size_t from, const std::string& name) {
    for (std::size_t at = s.find("</", from); at != std::string_view::npos; at = s.find("</", at + 2)) {
        const Tag tag = tagAt(s, at);
        if (tag.name == name) return tag.end;
    }
    return s.size();
}

}  // namespace

SjisText HtmlToText(std::string_view html, const CharsetConverter* converter) {
    TextWriter out(converter);
    int preDepth = 0;
    for (std::size_t i = 0; i < html.size();) {
        const char c = html[i];
        if (c == '<' && html.compare(i, 4, "<!--") == 0) {
            const std::size_t close = html.find("-->", i + 4);
            i = close == std::string_view::npos ? html.size() : close + 3;
        } else if (c == '<' && i + 1 < html.size() && (std::isalpha(std::uint8_t(html[i + 1])) || html[i + 1] == '/' ||
                                                      html[i + 1] == '!' || html[i + 1] == '?')) {
            const Tag tag = tagAt(html, i);
            i = tag.end;
            if (tag.name == "br") {
                out.lineBreak();
            } else if (!tag.closing && isOneOf(tag.name, kHidden)) {
                i = skipHidden(html, i, tag.name);
            } else if (tag.name == "blockquote") {
                out.quote(tag.closing ? -1 : 1);
            } else if (isOneOf(tag.name, kBlocks)) {
                out.blockEdge();
                if (tag.name == "pre") preDepth = std::max(0, preDepth + (tag.closing ? -1 : 1));
            }
        } else if (c == '&') {
            if (const auto ref = referenceAt(html, i)) {
                out.codePoint(ref->first);
                i += ref->second;
            } else {
                out.character("&");
                ++i;
            }
        } else if (isSpace(c)) {
            if (preDepth == 0) {
                out.space();
            } else if (c == '\n') {
                out.lineBreak();
            } else if (c != '\r') {
                out.character(std::string_view(&html[i], 1));
            }
            ++i;
        } else {
            const std::size_t len = sjisStrictCharLength(html, i);
            out.character(html.substr(i, len));
            i += len;
        }
    }
    return out.finish();
}
