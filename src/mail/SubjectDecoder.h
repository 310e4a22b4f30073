#pragma once
#include <optional>
#include <string_view>

#include "platform/CharsetConverter.h"
#include "platform/SjisText.h"

// Reading a reply's Subject as phones and mail apps write it: encoded words
// (RFC 2047, B or Q, in ISO-2022-JP, Shift_JIS, UTF-8, EUC-JP, ...), raw
// ISO-2022-JP as old phones put it straight into the header, and plain text of
// which every printable ASCII character but the space is kept: an operator may
// put punctuation in a question's subject, and the reply must still match it.

// `field` is the Subject field from just after "Subject:" to the end of its
// last continuation line. Text in Unicode's charsets goes through `converter`
// (without one it is read byte by byte). No value when a B-encoded word holds
// a character outside the Base64 alphabet: such a subject cannot be read.
std::optional<SjisText> DecodeSubject(std::string_view field, const CharsetConverter* converter = nullptr);

// Every CR LF and space removed. Phones fold a subject and pad or drop the
// spaces in it as they like, so a reply's subject and the subjects it is
// compared with all go through this one squeeze.
SjisText SqueezeSubject(std::string_view subject);

// Squeezed, and the reply prefix in front read as "Re:" whatever its case
// and however often a mailer repeated it: "RE:", "re:", "Re: Re:", "Re[2]:",
// the "RE:(BCC)" some phones write in front of a reply to a blind copy.
SjisText NormaliseSubject(const SjisText& decoded);
