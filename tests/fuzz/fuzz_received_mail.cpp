// A whole fetched message, as the POP3 session hands it over, through the
// parser in both phases and under both rules of who may play, any Subject
// field through the subject decoder, and the text it gives through the
// answer reader with and without full-width digits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/HtmlText.h"
#include "mail/ReceivedMailParser.h"
#include "mail/SubjectDecoder.h"
#include "platform/qt/QtCharsetConverter.h"
#include "run/AnswerMarker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QtCharsetConverter converter;
    const std::string text(reinterpret_cast<const char*>(data), size);
    DecodeSubject(text, &converter);
    SqueezeSubject(text);
    NormaliseSubject(text);
    HtmlToText(text, &converter);
    ReadAnswer(text, true);
    for (bool perRecipient : {false, true}) {
        ParseContext context;
        context.ownAddress = "quiz@trivorn.test";
        context.mailSubject = "Re:\x91\xe6\x31\x96\xe2";   // Re:第1問
        context.lateMail = "Re:\x83\x4e\x83\x43\x83\x59";   // Re:クイズ
        context.perRecipientMode = perRecipient;
        context.reading.converter = &converter;
        if (perRecipient) {
            context.reading.players.rule = PlayerFilter::Rule::AddressBook;
            context.reading.players.addressBook = {"taro@docomo.ne.jp", "hanako@gmail.com"};
        }
        context.acceptReply = [](const SjisText&) {};
        context.scoreAnswer = [](const SjisText&, const SjisText& body) { ReadAnswer(body, false); };
        ParseReceivedMail(text, context);
    }
    return 0;
}
