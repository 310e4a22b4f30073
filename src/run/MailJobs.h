#pragma once
#include <functional>
#include <string>

#include "mail/Pop3Session.h"
#include "mail/SmtpSession.h"
#include "model/Module1.h"

// The sessions' jobs as a round sees them: everything from the shared state.

// Completes the body of one per-recipient mail for participant `row`.
using CompleteMailFn = std::function<SjisText(Module1&, int row, const SjisText& body)>;

// The mail in outgoingMail to the round's address list (PerRecipientMode 0,
// one shared text) or to every participant (1, each body completed first; the
// completed text is left in PersonalBody). The header block is the one
// BuildHeaderBlock left in outgoingMail.
SmtpJob makeRoundSmtpJob(Module1& m, CompleteMailFn complete);

// A fetch from the configured POP3 server with the account and the stored
// password in clear. When the mailbox holds messages, ArrivalCounter starts
// again from 0.
Pop3Job makeRoundPop3Job(Module1& m, std::function<bool(const std::string&)> parse);
