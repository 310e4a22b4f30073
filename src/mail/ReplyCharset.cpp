#include "mail/ReplyCharset.h"

#include <algorithm>
#include <string>

#include "codec/Iso2022Jp.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

// Names under which mailers label text the byte reader takes: ISO-2022-JP
// (csISO2022JP, -1, -2, -3, -2004, Microsoft's CP50220-50222) and Shift_JIS.
constexpr std::string_view kJisPrefixes[] = {"iso-2022-jp", "csiso2022jp", "cp5022"};
constexpr std::string_view kByteNames[] = {
    "", "us-ascii", "ascii", "shift_jis", "shift-jis", "sjis", "x-sjis", "csshiftjis", "ms_kanji",
    "windows-31j", "cswindows31j", "cp932", "ms932", "x-ms-cp932",
};

std::string lowerName(std::string_view charset) {
    std::string name;
    for (char c : charset) {
        if (c == '"' || c == ' ' || c == '\t') continue;
        name += asciiLower(c);
    }
    return name;
}

bool readByByte(const std::string& name) {
    for (std::string_view prefix : kJisPrefixes)
        if (name.compare(0, prefix.size(), prefix) == 0) return true;
    return std::find(std::begin(kByteNames), std::end(kByteNames), name) != std::end(kByteNames);
}

// JIS X 0208 announced as ISO-2022-JP also allows (ESC $ @, of 1978) or in
// the long form of the extended charsets (ESC $ ( B): the same code table,
// so both become the ESC $ B that the byte reader follows.
std::string withKanjiEscapes(std::string_view bytes) {
    std::string out(bytes);
    if (out.find('\x1b') == std::string::npos) return out;
    for (std::string_view alias : {std::string_view("\x1b$@"), std::string_view("\x1b$(B")}) {
        for (std::size_t at = out.find(alias); at != std::string::npos; at = out.find(alias, at + 3))
            out.replace(at, alias.size(), "\x1b$B");
    }
    return out;
}

}  // namespace

bool readByteByByte(std::string_view charset) { return readByByte(lowerName(charset)); }

SjisText replyTextToSjis(std::string_view charset, std::string_view bytes, const CharsetConverter* converter) {
    std::string name = lowerName(charset);
    if (name.empty() && bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) name = "utf-8";
    if (!readByByte(name) && converter) {
        if (std::optional<SjisText> text = converter->toSjis(name, bytes)) return *text;
    }
    return JisToSjis(withKanjiEscapes(bytes));
}
