#pragma once
#include <string>

#include "platform/SjisText.h"

// The exact text that goes to the SMTP server after its "354" reply: the
// header section (mail/MessageHeaders.h), the body in ISO-2022-JP and the
// closing "." line.

// The six fixed header lines that every mail has carried since the first
// version; the operator's own address is the Reply-To.
SjisText BuildHeaderBlock(const SjisText& ownAddress);

// A line of the body that begins with "." goes out with one more "." so that
// the server never takes a body line for the end of the mail. A line begins
// at the start of the text and after every line feed (CR LF, or a bare LF that
// some servers also take as a line end).
std::string DotStuff(const std::string& text);

// The body in ISO-2022-JP, every line ending in one-byte text. A line longer
// than RFC 5322's 998 octets, which servers and phones may cut or refuse, is
// broken, as mail programs break it, after the last whole character that
// fits.
std::string BodyText(const SjisText& body);

// The header section (ending in its blank line) + the body + CR LF "." CR LF
// (just "." CR LF without a body), dot-stuffed throughout: one send
// operation's worth of bytes.
std::string BuildMessageText(const std::string& headerSection, const SjisText& body);
