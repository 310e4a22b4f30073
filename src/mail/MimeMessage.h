#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mail/DeliveryStatus.h"

// One fetched message as a MIME library reads it (GMime): its header fields,
// its structure, and the bytes of the part a person wrote, with the transfer
// encoding (base64, quoted-printable) undone. Charsets are left to the caller:
// the bytes come out as they were written.
class MimeMessage {
public:
    // `message` is the header block, the blank line and the body, with CR LF
    // line ends and nothing of the POP3 dialogue around it.
    explicit MimeMessage(std::string_view message);
    ~MimeMessage();
    MimeMessage(const MimeMessage&) = delete;
    MimeMessage& operator=(const MimeMessage&) = delete;

    // The raw value of the first header field of that name (letter case
    // ignored): from just after its colon to the end of its last
    // continuation line, line breaks kept, the final CR LF not. Nothing when
    // the message has no such field.
    std::optional<std::string> field(const char* name) const;

    // The message says it is multi-part.
    bool isMultipart() const;
    // A multi-part message without a boundary, without parts, or cut off
    // before its closing delimiter: what it holds cannot be told apart.
    bool isBroken() const;

    struct Text {
        std::string bytes;     // transfer encoding undone, charset untouched
        std::string charset;   // as the part's Content-Type names it; empty when it names none
        bool html = false;     // text/html rather than text/plain
    };
    // The text a person wrote: of a multi-part message, the first text/plain
    // part that is no attachment, at any depth (forwarded messages are not
    // entered; of multipart/related only its start), else the first such
    // text/html part, else nothing; a message of one part is its own text,
    // whatever its type says.
    std::optional<Text> text() const;

    // Of a delivery status notification (multipart/report;
    // report-type=delivery-status): its machine-readable part and the
    // returned message as they stand. Nothing for any other message.
    std::optional<DeliveryReport> deliveryReport() const;

private:
    struct Parsed;
    std::unique_ptr<Parsed> parsed_;
};
