// A whole fetched message, as the POP3 session hands it over, through the
// parser in both phases, and any Subject field through the subject decoder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/ReceivedMailParser.h"
#include "mail/SubjectDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    DecodeSubject(text);
    SqueezeSubject(text);
    for (bool perRecipient : {false, true}) {
        ParseContext context;
        context.ownAddress = "quiz@trivorn.test";
        context.mailSubject = "Re:\x91\xe6\x31\x96\xe2";   // Re:第1問
        context.lateMail = "Re:\x83\x4e\x83\x43\x83\x59";   // Re:クイズ
        context.perRecipientMode = perRecipient;
        context.acceptReply = [](const SjisText&) {};
        context.scoreAnswer = [](const SjisText&, const SjisText&) {};
        ParseReceivedMail(text, context);
    }
    return 0;
}
