#pragma once
#include <optional>
#include <string_view>

#include "platform/SjisText.h"

// Reading a reply's Subject as the phones write it: Base64 encoded words of
// ISO-2022-JP text, raw ISO-2022-JP, and plain text of which every printable
// ASCII character but the space is kept: an operator may put punctuation in a
// question's subject, and the reply must still match it.

// `field` is the Subject field from just after "Subject:" to the end of its
// last continuation line. No value when an encoded word holds a character
// outside the Base64 alphabet: such a subject cannot be read at all.
std::optional<SjisText> DecodeSubject(std::string_view field);

// Every CR LF and space removed. Phones fold a subject and pad or drop the
// spaces in it as they like, so a reply's subject and the subjects it is
// compared with all go through this one squeeze.
SjisText SqueezeSubject(std::string_view subject);

// Squeezed, and the "RE:(BCC)" some phones write in front of a reply to a
// blind copy read as "Re:".
SjisText NormaliseSubject(const SjisText& decoded);
