#pragma once
#include <functional>
#include <string>

#include "mail/Pop3Session.h"
#include "mail/SmtpSession.h"
#include "model/Module1.h"
#include "run/OutgoingMail.h"
#include "run/OwedMail.h"

// Every mail session's job, for the round and for the feedback window alike:
// what to send or fetch, and how to reach the server from the connection
// settings (trv1x.dat) and the overrides.

// Where a session connects and how long it may stay silent, where a test or
// a bench says otherwise than the settings.
struct SessionOverrides {
    int smtpPort = 0;   // 0: as the connection settings say
    int pop3Port = 0;
    int timeoutMs = kSessionTimeoutMs;
};

// Completes the body of one per-recipient mail for participant `row`.
using CompleteMailFn = std::function<SjisText(Module1&, int row, const SjisText& body)>;

// The round's recipients: the address list up to AddressLastIndex, for a
// text to everyone; the participants up to the first empty row, for one
// completed mail each.
std::vector<SmtpJob::Recipient> AddressListRecipients(const QuizRun& run);
std::vector<SmtpJob::Recipient> ParticipantRecipients(const QuizRun& run);

// `mail` to its recipients: one shared text, or (PerRecipientMode) for each
// participant its own copy, completed by `complete` as its turn comes.
SmtpJob makeRoundSmtpJob(Module1& m, const OutgoingMail& mail, CompleteMailFn complete);

// What `mail` still owes, to those it owes it, with the texts made for them
// at the first try; quiet, with no message box: the round says how it went.
SmtpJob makeOwedSmtpJob(const Module1& m, const OwedMail& mail);

// A fetch from the configured POP3 server with the account and the stored
// password in clear. When the mailbox holds messages, ArrivalCounter starts
// again from 0.
Pop3Job makeRoundPop3Job(Module1& m, std::function<bool(const std::string&)> parse);

// The feedback window's one mail to the program's support address, from the
// operator's own address, with a header block of its own.
SmtpJob makeFeedbackSmtpJob(const Module1& m, const SjisText& subject, const SjisText& body);

// A job's connection: port, protection, login, greeting and trusted
// certificates from the settings, then the overrides.
void connectJob(SmtpJob& job, const Module1& m, const SessionOverrides& o);
void connectJob(Pop3Job& job, const Module1& m, const SessionOverrides& o);
