#include <array>

#include "codec/Base64.h"

namespace {

// Value of each alphabet character, -1 for every other byte.
constexpr std::array<signed char, 256> makeDigitValues() {
    std::array<signed char, 256> values{};
    for (auto& v : values) v = -1;
    for (int c = 'A'; c <= 'Z'; ++c) values[c] = static_cast<signed char>(c - 'A');
    for (int c = 'a'; c <= 'z'; ++c) values[c] = static_cast<signed char>(26 + c - 'a');
    for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<signed char>(52 + c - '0');
    values['+'] = 62;
    values['/'] = 63;
    return values;
}
constexpr auto kDigitValues = makeDigitValues();

}  // namespace

std::string ToBitString(unsigned value, int digits) {
    std::string bits;
    if (digits <= 0) return bits;
    bits.reserve(std::size_t(digits));
    for (int k = digits - 1; k >= 0; --k)
        bits.push_back(k < 32 && ((value >> k) & 1u) ? '1' : '0');
    return bits;
}

unsigned FromBitString(const std::string& bits, int digits) {
    unsigned value = 0;
    for (int k = 0; k < digits && std::size_t(k) < bits.size(); ++k)
        value = (value << 1) | (bits[std::size_t(k)] == '1' ? 1u : 0u);
    return value;
}

namespace {

// Six bits per character are collected in an integer rather than as a text of
// "0"/"1" digits: the bytes that come out are the same as with ToBitString and
// FromBitString, without building a string per character of a whole mail.
// Each whole byte goes to `take`; false when a character outside the alphabet
// comes before the first "=".
template <class Take>
bool decodeBytes(std::string_view text, Take take) {
    unsigned pending = 0;  // the low `pendingBits` bits are not yet a byte
    int pendingBits = 0;
    for (const char c : text) {
        if (c == '=') break;  // padding: the rest is ignored
        const int value = kDigitValues[std::uint8_t(c)];
        if (value < 0) return false;
        pending = (pending << 6) | unsigned(value);
        pendingBits += 6;
        if (pendingBits >= 8) {
            pendingBits -= 8;
            take(std::uint8_t(pending >> pendingBits));
            pending &= (1u << pendingBits) - 1;
        }
    }
    // Fewer than 8 pending bits are dropped.
    return true;
}

}  // namespace

std::optional<SjisText> Base64Decode(const std::string& text) {
    SjisText out;
    out.reserve(text.size() / 4 * 3 + 3);
    SjisJoinState join;
    // A lead byte left without its partner at the end is dropped.
    if (!decodeBytes(text, [&](std::uint8_t byte) { JoinSjisByte(byte, join, out); })) return std::nullopt;
    return out;
}

std::optional<std::string> Base64DecodeBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    if (!decodeBytes(text, [&](std::uint8_t byte) { out.push_back(char(byte)); })) return std::nullopt;
    return out;
}

std::optional<SjisText> DecodeBase64Text(const std::string& text) {
    if (text.empty()) return SjisText{};
    return Base64Decode(text);
}

void JoinSjisByte(std::uint8_t byte, SjisJoinState& state, std::string& out) {
    if (state.pendingLead >= 0) {
        out.push_back(char(state.pendingLead));
        out.push_back(char(byte));
        state.pendingLead = -1;
        return;
    }
    // Only the leads of JIS X 0208 characters wait for a partner here.
    if (isJis0208LeadByte(std::uint8_t(byte))) {
        state.pendingLead = byte;
        return;
    }
    out.push_back(char(byte));
}
