#pragma once
#include "mail/Pop3Session.h"
#include "mail/SmtpSession.h"
#include "model/Records.h"
#include "platform/DataFiles.h"

// How the stored connection settings (trv1x.dat) shape a session's job:
// port, protection, login and the certificates trusted for that server.
// All-zero settings (a folder without the file) leave a job as it always
// was: SMTP on 25 with HELO, POP3 on 110, no TLS, no login.

// The settings as stored, read without creating the file: a folder without it
// (from before protected connections) gets the plain connections.
TransportSettings ReadTransportSettings(DataFiles& files);

// The port a protection usually goes with: SMTP 25 / 587 / 465, POP3 110 / 110 / 995.
int usualSmtpPort(Protection protection);
int usualPop3Port(Protection protection);

// A port is kept in the file's 16 bits as it is (50025 reads back as 50025);
// 0 stands for the usual port of the protection.
std::int16_t storedPort(int port);
int portOf(std::int16_t stored);

// `hostName` is the machine's fully qualified name (Platform::hostName), used
// to greet the server unless the settings name another.
void applySmtpTransport(SmtpJob& job, const TransportSettings& t, const MailSettings& account,
                        const std::string& hostName = {});
void applyPop3Transport(Pop3Job& job, const TransportSettings& t);

// The fingerprints trusted for `server`.
std::vector<std::string> trustedFingerprintsFor(const TransportSettings& t, const SjisText& server);

// Remembers that the operator trusts `fingerprint` for `server` (a free slot,
// else the oldest); false when it was already trusted.
bool trustCertificate(TransportSettings& t, const SjisText& server, const std::string& fingerprint);
