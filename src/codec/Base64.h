#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SjisText.h"

// Base64 in the forms this system writes and reads: no "=" padding on output,
// lines of 76 characters each followed by CR LF.

// Called every 100 input bytes by Base64Encode, so a long encoding keeps the
// window alive; the caller passes the event loop's yield.
using YieldFn = std::function<void()>;

char Base64Digit(int value);   // 0..63 to one alphabet character
std::string Base64Encode(const std::string& bytes, const YieldFn& yield = {});
// No value when a character outside the alphabet comes before the first "=";
// that is distinct from an empty result.
std::optional<SjisText> Base64Decode(const std::string& text);
// The same reading, every decoded byte kept as it is: for text in a charset
// other than Shift_JIS (a UTF-8 character may end in a byte that looks like a
// lead byte).
std::optional<std::string> Base64DecodeBytes(std::string_view text);

// The stored form of the mail password: one line, no padding.
std::string EncodeBase64Text(const SjisText& text, const YieldFn& yield = {});
// Base64 as the protocols of today want it: one line, padded with "=" to a
// multiple of four characters (SASL responses, encoded words in headers).
std::string PaddedBase64(const std::string& bytes);
// Empty for empty input; no value when Base64Decode gives none.
std::optional<SjisText> DecodeBase64Text(const std::string& text);

// The bit-string helpers of the decoder: n characters "0"/"1", most significant first.
std::string ToBitString(unsigned value, int digits);
unsigned FromBitString(const std::string& bits, int digits);

// Joins decoded bytes into Shift_JIS characters. A lead byte (0x81-0x9F,
// 0xE0-0xEF) waits for its partner; any other byte is a character by itself.
struct SjisJoinState {
    int pendingLead = -1;   // -1: nothing pending
};
// Appends zero or one character to `out`.
void JoinSjisByte(std::uint8_t byte, SjisJoinState& state, std::string& out);
