#pragma once
#include <optional>
#include <string_view>

#include "platform/SjisText.h"

// Reading a reply's Subject as the phones write it: Base64 encoded words of
// ISO-2022-JP text, raw ISO-2022-JP, and plain text of which only the ASCII
// letters, digits and ":" are kept.

// `field` is the Subject field from just after "Subject:" to the end of its
// last continuation line. No value when an encoded word holds a character
// outside the Base64 alphabet: such a subject cannot be read at all.
std::optional<SjisText> DecodeSubject(std::string_view field);

// Every CR LF and space removed, and the "RE:(BCC)" some phones write in
// front of a reply to a blind copy read as "Re:".
SjisText NormaliseSubject(const SjisText& decoded);
