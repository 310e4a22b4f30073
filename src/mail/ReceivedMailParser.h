#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "platform/SjisText.h"

// One fetched message as the parser reads it.
struct ReceivedMail {
    SjisText sender;    // the address of the first From header (see ReadReceivedMail)
    SjisText subject;   // decoded and normalised (NormaliseSubject)
    SjisText body;      // decoded body text
};

// What the parser needs to know of the run, and where it hands a reply over.
struct ParseContext {
    SjisText ownAddress;         // the operator's address (delivery clause)
    // mailSubject and lateMail are compared with their spaces and CR LF
    // squeezed out, as the reply's subject is (SqueezeSubject).
    SjisText mailSubject;        // the expected reply subject, "Re:" + subject
    SjisText lateMail;           // 遅れメール: expected subjects of earlier fetches, joined
    bool perRecipientMode = false;   // off: invitation phase; on: question phase
    std::function<void(const SjisText& sender)> acceptReply;
    std::function<void(const SjisText& sender, const SjisText& body)> scoreAnswer;
};

// How a fetched message stands before its subject is compared.
enum class MailVerdict {
    Read,           // a message to the operator from a phone: sender, subject and body read
    NotAddressed,   // no delivery clause "for <OwnAddress>;" in its headers
    NotFromPhone,   // its Return-Path names none of the carrier domains
    Unreadable,     // headers with no end, a broken encoded word, a multi-part body without delimiters
};

struct ReadResult {
    MailVerdict verdict = MailVerdict::Unreadable;
    ReceivedMail mail;   // filled when the verdict is Read
};

// Reads one complete retrieved message (the server's status line first, the
// terminating "." line last, byte-stuffing already undone). Header fields are
// looked for only in the header block and only at the start of a line.
ReadResult ReadReceivedMail(std::string_view messageText, std::string_view ownAddress);

// Judges one complete retrieved message and hands a reply whose subject is
// the awaited one over through the context. True when the message is to be
// deleted from the server: such a reply, or a late reply to an earlier fetch.
// A message that cannot be read is never handed over and stays on the server.
bool ParseReceivedMail(const std::string& messageText, ParseContext& ctx);
