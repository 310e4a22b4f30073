#pragma once
#include "model/QuizRun.h"
#include "model/Records.h"
#include "platform/Platform.h"

// The shared state of the program: one object, made in main() (or by a test)
// and handed to every window. Records live here for the whole run; a file
// operation reads a record whole into it or writes it whole from it.
struct Module1 {
    explicit Module1(Platform& p) : platform(p) {}

    Platform& platform;

    MailSettings mailSettings;
    TransportSettings transport;
    // The last certificate a mail server showed that failed its checks: the
    // mail settings offer to trust it.
    struct RefusedCertificate {
        SjisText server;
        SjisText problems;   // what failed, in words (certificateProblemsText)
        std::string fingerprint;
    } refusedCertificate;
    AddressBook addressBook;
    ReplySettings replySettings;
    InvitationMail invitationMail;
    ClosingMail closingMail;
    QuestionSet questionSet;
    QuizRun quizRun;
};
