#pragma once
#include "mail/SessionFailure.h"
#include "platform/SjisText.h"
#include "platform/Socket.h"

// What the operator is told when a mail session fails: why, in Japanese, with
// the server's or the library's own words after it, and what to do next.

// The problems of a refused certificate in the operator's words ("自己署名の
// 証明書です、有効期限が切れています"), then the TLS library's own in brackets.
SjisText certificateProblemsText(const CertificateRefusal& refusal);
// "<server>の証明書を信頼できません: <problems>。SHA-256 <fingerprint>。" and
// where in the mail settings it can be trusted.
SjisText certificateRefusedText(const SjisText& server, const CertificateRefusal& refusal);

// The server refused the sender for good, and its words speak of a sending
// quota or limit ("quota", "limit", "too many", "exceeded", "rate"), as
// providers word it: nothing goes out until the operator waits or acts.
bool refusedForQuota(const SessionFailure& failure);

// Why a session with the sending (SMTP) or the receiving (POP3) server
// failed, and what to do in the mail settings. Empty when it did not fail.
SjisText failureExplanation(const SessionFailure& failure, bool sending);
