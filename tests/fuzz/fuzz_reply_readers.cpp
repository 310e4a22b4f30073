// What a server sends, in chunks of any size, through both reply readers: the
// first byte sets the chunk size, the second which reader and, for POP3,
// whether a multi-line reply is awaited. The POP3 reader must never hold
// more than its bounds allow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/Pop3ReplyReader.h"
#include "mail/SmtpReplyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t chunk = std::size_t(data[0]) + 1;
    const std::uint8_t mode = data[1];
    const std::string wire(reinterpret_cast<const char*>(data) + 2, size - 2);
    SmtpReplyReader smtp;
    Pop3ReplyReader pop3;
    for (std::size_t at = 0; at < wire.size(); at += chunk) {
        const std::string piece = wire.substr(at, chunk);
        if (mode & 1) {
            smtp.append(piece);
            while (smtp.next()) {
            }
        } else {
            pop3.append(piece);
            if (mode & 2) {
                while (pop3.nextMultiLine()) {
                }
            } else {
                while (pop3.nextStatusLine()) {
                }
            }
            if (pop3.heldBytes() > Pop3ReplyReader::kMaxMessage + Pop3ReplyReader::kMaxStatusLine + chunk)
                __builtin_trap();
        }
    }
    return 0;
}
