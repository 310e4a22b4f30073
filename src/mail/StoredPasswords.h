#pragma once
#include "model/Module1.h"
#include "platform/DataFiles.h"
#include "platform/Keyring.h"

// Where the mail passwords are kept. The POP3 password of trv1.dat and the
// sending one of trv1x.dat go to the desktop's keyring when the settings say
// so (TransportSettings::PasswordStore) and there is a keyring, and their
// fields in the files stay empty; otherwise the files hold them, in Base64,
// as they always did. In Module1 they are always held in that Base64 form,
// wherever they are kept.

// The keyring entry of each password names the server and the account it
// opens: two folders with one account share it, other accounts never meet.
// Empty when the settings name no account or no server: such a password
// stays in its file. The sending password's entry is named by the sending
// account whatever login is chosen, so switching logins never moves it.
SjisText pop3PasswordKey(const MailSettings& account);
SjisText smtpPasswordKey(const MailSettings& account, const TransportSettings& transport);

struct MailSettingsRead {
    bool read = false;            // trv1.dat could be read
    bool keyringFailed = false;   // the keyring holds a password that could not be had
};

// The one way the mail settings are read: trv1.dat (opened in `mode`) into
// m.mailSettings and trv1x.dat into m.transport, and a password field a file
// leaves empty filled from the keyring when the settings keep the passwords
// there. So a folder whose password is still in trv1.dat reads as it always
// did. When trv1.dat cannot be read, m.mailSettings stays as it was.
MailSettingsRead readMailSettings(Module1& m, DataFiles::Mode mode = DataFiles::Mode::ReadWrite);

// What saving the settings stores in the files, and how the keyring took it.
struct SettingsForFiles {
    enum Outcome { kStored, kKeyringNotWritten, kKeyringNotCleared };
    MailSettings account;
    TransportSettings transport;
    Outcome outcome = kStored;
};

// Puts the passwords of `account` and `transport` where transport.PasswordStore
// says, before the files are written. `before` are the settings as they were
// read or last saved. `keyring` is null when there is none: the files keep
// everything. Into the keyring: each password that has an entry is written
// there and its file field left empty; one the operator emptied is removed.
// If the keyring takes any of them not, the files keep them all. Into the
// files: the entries of the passwords the files now hold are removed, once,
// as the settings leave the keyring. A stored password that is not Base64
// stays as it is where it is.
SettingsForFiles placePasswords(Keyring* keyring, const MailSettings& beforeAccount,
                                const TransportSettings& beforeTransport, const MailSettings& account,
                                const TransportSettings& transport);
