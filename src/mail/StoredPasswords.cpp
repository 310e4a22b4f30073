#include "mail/StoredPasswords.h"

#include "codec/Base64.h"
#include "mail/Transport.h"
#include "model/FileNames.h"
#include "model/RecordFiles.h"

namespace {

SjisText entryKey(const char* kind, const SjisText& account, const SjisText& server) {
    if (account.empty() || server.empty()) return {};
    return std::string(kind) + " " + account + "@" + server;
}

// A password of the settings beside its keyring entry.
struct Slot {
    SjisText key;
    SjisText& field;
};

}  // namespace

SjisText pop3PasswordKey(const MailSettings& account) {
    return entryKey("pop3", account.AccountId, account.Pop3Server);
}

SjisText smtpPasswordKey(const MailSettings& account, const TransportSettings& transport) {
    return entryKey("smtp", transport.SmtpUser, account.SmtpServer);
}

MailSettingsRead readMailSettings(Module1& m, DataFiles::Mode mode) {
    DataFiles& files = *m.platform.files;
    MailSettingsRead result;
    m.transport = ReadTransportSettings(files);
    result.read = readRecordFile(files, FileNames::kMailSettings, m.mailSettings, mode);
    Keyring* keyring = m.platform.keyring;
    if (!result.read || !keyring || passwordPlaceOf(m.transport.PasswordStore) != PasswordPlace::Keyring) return result;

    Slot slots[] = {{pop3PasswordKey(m.mailSettings), m.mailSettings.Password},
                    {smtpPasswordKey(m.mailSettings, m.transport), m.transport.SmtpPassword}};
    bool present = false, asked = false;
    for (Slot& slot : slots) {
        if (!slot.field.empty() || slot.key.empty()) continue;
        // Without a keyring there is nothing to ask: the files' empty field
        // is the password, as on a machine that never had one.
        if (!asked) present = keyring->available();
        asked = true;
        if (!present) break;
        SjisText clear;
        const Keyring::Result found = keyring->read(slot.key, clear);
        if (found == Keyring::Result::Done) slot.field = EncodeBase64Text(clear);
        result.keyringFailed |= found == Keyring::Result::Failed;
    }
    return result;
}

SettingsForFiles placePasswords(Keyring* keyring, const MailSettings& beforeAccount,
                                const TransportSettings& beforeTransport, const MailSettings& account,
                                const TransportSettings& transport) {
    SettingsForFiles out{account, transport};
    if (!keyring) return out;
    const bool toKeyring = passwordPlaceOf(transport.PasswordStore) == PasswordPlace::Keyring;
    const bool fromKeyring = passwordPlaceOf(beforeTransport.PasswordStore) == PasswordPlace::Keyring;
    struct Moved {
        Slot slot;
        const SjisText& before;
    } passwords[] = {{{pop3PasswordKey(account), out.account.Password}, beforeAccount.Password},
                     {{smtpPasswordKey(account, transport), out.transport.SmtpPassword}, beforeTransport.SmtpPassword}};

    bool failed = false;
    for (Moved& p : passwords) {
        const std::optional<SjisText> clear = DecodeBase64Text(p.slot.field);
        if (p.slot.key.empty() || !clear) continue;
        Keyring::Result done = Keyring::Result::Done;
        if (toKeyring && !clear->empty())
            done = keyring->write(p.slot.key, *clear);
        else if (toKeyring && !p.before.empty())   // emptied: nothing may come back from the keyring
            done = keyring->remove(p.slot.key);
        else if (!toKeyring && fromKeyring && !clear->empty())   // the file holds it from now on
            done = keyring->remove(p.slot.key);
        failed |= done != Keyring::Result::Done;
    }
    if (failed) {
        out.outcome = toKeyring ? SettingsForFiles::kKeyringNotWritten : SettingsForFiles::kKeyringNotCleared;
        return out;
    }
    if (toKeyring)
        for (Moved& p : passwords)
            if (!p.slot.key.empty() && DecodeBase64Text(p.slot.field)) p.slot.field.clear();
    return out;
}
