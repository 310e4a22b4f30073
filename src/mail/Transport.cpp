#include "mail/Transport.h"

#include <algorithm>

#include "codec/Base64.h"
#include "model/RecordFiles.h"

TransportSettings ReadTransportSettings(DataFiles& files) {
    TransportSettings t;
    readRecordFile(files, FileNames::kTransport, t, DataFiles::Mode::ReadOnly);
    return t;
}

int usualSmtpPort(Protection protection) {
    switch (protection) {
    case Protection::StartTls: return 587;
    case Protection::Tls: return 465;
    case Protection::None: break;
    }
    return 25;
}

int usualPop3Port(Protection protection) { return protection == Protection::Tls ? 995 : 110; }

std::int16_t storedPort(int port) { return std::int16_t(std::uint16_t(port > 0 && port <= 65535 ? port : 0)); }

int portOf(std::int16_t stored) { return std::uint16_t(stored); }

void applySmtpTransport(SmtpJob& job, const TransportSettings& t, const MailSettings& account,
                        const std::string& hostName) {
    job.greetingName = t.GreetingName.empty() ? hostName : t.GreetingName;
    job.protection = protectionOf(t.SmtpProtection);
    job.port = t.SmtpPort != 0 ? portOf(t.SmtpPort) : usualSmtpPort(job.protection);
    // A stored password that does not decode logs in with none; the server refuses it.
    const LoginKind login = loginKindOf(t.SmtpLoginKind);
    if (login == LoginKind::Pop3Account) {
        job.authUser = account.AccountId;
        job.authPassword = DecodeBase64Text(account.Password).value_or(SjisText());
    } else if (login == LoginKind::Own) {
        job.authUser = t.SmtpUser;
        job.authPassword = DecodeBase64Text(t.SmtpPassword).value_or(SjisText());
    }
    job.trustedFingerprints = trustedFingerprintsFor(t, job.server);
}

void applyPop3Transport(Pop3Job& job, const TransportSettings& t) {
    job.protection = protectionOf(t.Pop3Protection);
    job.port = t.Pop3Port != 0 ? portOf(t.Pop3Port) : usualPop3Port(job.protection);
    job.trustedFingerprints = trustedFingerprintsFor(t, job.server);
}

std::vector<std::string> trustedFingerprintsFor(const TransportSettings& t, const SjisText& server) {
    std::vector<std::string> out;
    for (int i = 0; i < kTrustedCertificateSlots; ++i)
        if (!t.TrustedFingerprints[std::size_t(i)].empty() && t.TrustedServers[std::size_t(i)] == server)
            out.push_back(t.TrustedFingerprints[std::size_t(i)]);
    return out;
}

bool trustCertificate(TransportSettings& t, const SjisText& server, const std::string& fingerprint) {
    for (int i = 0; i < kTrustedCertificateSlots; ++i)
        if (t.TrustedServers[std::size_t(i)] == server && t.TrustedFingerprints[std::size_t(i)] == fingerprint)
            return false;
    // The newest goes last; when every slot is taken the oldest gives way.
    auto& servers = t.TrustedServers;
    auto& prints = t.TrustedFingerprints;
    const auto free = std::find_if(prints.begin(), prints.end(), [](const SjisText& f) { return f.empty(); });
    std::size_t slot = std::size_t(free - prints.begin());
    if (free == prints.end()) {
        std::rotate(servers.begin(), servers.begin() + 1, servers.end());
        std::rotate(prints.begin(), prints.begin() + 1, prints.end());
        slot = prints.size() - 1;
    }
    servers[slot] = server;
    prints[slot] = fingerprint;
    return true;
}
