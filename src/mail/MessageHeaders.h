#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/SjisText.h"

// The header fields of every mail the program sends. Receivers of today judge
// a mail by them: without Date, From, To and Message-ID, and with a subject
// of raw escape sequences, spam filters file it as spam and large providers
// refuse it at receipt. Names and subjects go out as RFC 2047 encoded words
// in ISO-2022-JP, made from the Shift_JIS bytes by the program's own codec.

// A mailbox a header names: a display name (Shift_JIS, empty for none) and
// the address.
struct Mailbox {
    SjisText name;
    SjisText address;
};

struct MessageHeaders {
    SjisText fixedBlock;         // Reply-To ... X-Mozilla-Status, as BuildHeaderBlock writes them
    std::string date;            // MailDate
    Mailbox from;
    std::optional<Mailbox> to;   // none: the recipients are named in the envelope only
    std::string messageId;       // "<...@...>"
    SjisText subject;
};

// RFC 5322's date-time with the numeric zone: "Thu, 10 Dec 2026 23:45:12 +0900".
std::string MailDate(const WallTime& t);

// The fixed block, then Date, From, To, Message-ID and Subject, and the blank
// line that ends the header section. No line is longer than 78 characters
// unless an address or the fixed block is.
std::string HeaderSection(const MessageHeaders& h);

// "Name: text" and its line end. Text that is printable ASCII and fits on the
// line stays as it is; any other text goes as encoded words, each of whole
// characters, ending in ASCII and at most 75 characters long, one a line.
std::string TextField(std::string_view name, const SjisText& text);

// "Name: display name <address>" and its line end, the name written as in
// TextField (quoted where ASCII needs it); just the address when there is no
// name.
std::string MailboxField(std::string_view name, const Mailbox& box);
