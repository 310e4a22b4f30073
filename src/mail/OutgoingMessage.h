#pragma once
#include <string>

#include "model/OutgoingMail.h"
#include "platform/SjisText.h"

// The exact text that goes to the SMTP server after its "354" reply: six fixed
// header lines, a raw ISO-2022-JP Subject line, the body in ISO-2022-JP with no
// blank line before it, and the closing "." line.

// Empties mail.HeaderBlock and fills it with the six header lines; the
// operator's own address is the Reply-To.
void BuildHeaderBlock(OutgoingMail& mail, const SjisText& ownAddress);

// A line of the body that begins with "." goes out with one more "." so that
// the server never takes a body line for the end of the mail. A line begins
// at the start of the text and after every line feed (CR LF, or a bare LF that
// some servers also take as a line end).
std::string DotStuff(const std::string& text);

// HeaderBlock + "Subject: " + ISO-2022-JP subject + CR LF + ISO-2022-JP body
// + CR LF "." CR LF, dot-stuffed throughout: one send operation's worth of bytes.
std::string BuildMessageText(const SjisText& headerBlock, const SjisText& subject, const SjisText& body);
