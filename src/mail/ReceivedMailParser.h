#pragma once
#include <functional>
#include <string>

#include "platform/SjisText.h"

// One fetched message as the parser reads it.
struct ReceivedMail {
    SjisText sender;    // first "From: " value without "<", ">" and spaces
    SjisText subject;   // decoded and normalised
    SjisText body;      // decoded body text
};

// What the parser needs to know of the run, and where it hands a reply over.
struct ParseContext {
    SjisText ownAddress;         // the operator's address (delivery clause)
    SjisText mailSubject;        // the expected reply subject, "Re:" + subject
    SjisText lateMail;           // 遅れメール: expected subjects of earlier fetches
    bool perRecipientMode = false;   // off: invitation phase; on: question phase
    std::function<void(const SjisText& sender)> acceptReply;
    std::function<void(const SjisText& sender, const SjisText& body)> scoreAnswer;
};

// Judges one complete retrieved message (server status line first, final "."
// line last). Hands a matching reply over through the context. True when the
// message is to be deleted from the server (a match or a late reply).
bool ParseReceivedMail(const std::string& messageText, ParseContext& ctx);
