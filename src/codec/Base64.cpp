#include "codec/Base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kLineLength = 76;
constexpr std::size_t kYieldEvery = 100;  // input bytes between two yields

// Encodes without padding. With `lineBreaks` every 76 characters, and the last
// line too, end in CR LF; without, the result is one line. `yield` is called
// once per 100 input bytes consumed.
std::string encode(const std::string& bytes, const YieldFn& yield, bool lineBreaks) {
    const std::size_t n = bytes.size();
    const std::size_t chars = (n * 4 + 2) / 3;
    std::string out;
    out.reserve(chars + (lineBreaks ? 2 * (chars / kLineLength + 1) : 0));

    std::size_t lineFill = 0;
    auto put = [&](unsigned value) {
        out.push_back(Base64Digit(int(value)));
        if (lineBreaks && ++lineFill == kLineLength) {
            out.append("\r\n");
            lineFill = 0;
        }
    };
    std::size_t nextYield = kYieldEvery;
    auto consumed = [&](std::size_t count) {
        while (count >= nextYield) {
            if (yield) yield();
            nextYield += kYieldEvery;
        }
    };
    auto at = [&](std::size_t k) { return unsigned(std::uint8_t(bytes[k])); };

    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned group = (at(i) << 16) | (at(i + 1) << 8) | at(i + 2);
        put(group >> 18);
        put((group >> 12) & 0x3F);
        put((group >> 6) & 0x3F);
        put(group & 0x3F);
        consumed(i + 3);
    }
    // A final group of one byte gives two characters, of two bytes three.
    if (n - i == 1) {
        put(at(i) >> 2);
        put((at(i) & 0x03) << 4);
    } else if (n - i == 2) {
        put(at(i) >> 2);
        put(((at(i) & 0x03) << 4) | (at(i + 1) >> 4));
        put((at(i + 1) & 0x0F) << 2);
    }
    consumed(n);
    if (lineBreaks && lineFill > 0) out.append("\r\n");
    return out;
}

}  // namespace

char Base64Digit(int value) { return kAlphabet[value & 0x3F]; }

std::string Base64Encode(const std::string& bytes, const YieldFn& yield) {
    return encode(bytes, yield, true);
}

std::string PaddedBase64(const std::string& bytes) {
    std::string out = encode(bytes, {}, false);
    out.append((4 - out.size() % 4) % 4, '=');
    return out;
}

// The same characters as Base64Encode with every CR LF left out; built in one
// pass instead of removing the line breaks afterwards.
std::string EncodeBase64Text(const SjisText& text, const YieldFn& yield) {
    return encode(text, yield, false);
}
