#pragma once
#include <functional>
#include <string>
#include <vector>

#include "mail/SessionView.h"

// Stands in for the window that owns a session: keeps everything the session
// showed and counts how it ended.
class RecordingSessionView : public SessionView {
public:
    void setStatus(const SjisText& text) override { statuses.push_back(text); }
    void stateChanged(const char* name) override { states.push_back(name); }
    void setProgressRange(int min, int max) override { progressMin = min; progressMax = max; }
    void setProgressValue(int value) override { progressValues.push_back(value); }
    void setProgressStyle(int style) override { progressStyle = style; }
    void showMessage(const SjisText& text) override
    {
        messages.push_back(text);
        if (whileMessageShown) whileMessageShown();
    }
    void timedOut() override { ++timeOuts; }
    void sessionEnded() override { ++ended; }
    void certificateRefused(const SjisText& server, const SjisText& problems, const std::string& fingerprint) override
    {
        refusedCertificates.push_back(server + " " + fingerprint);
        refusedProblems.push_back(problems);
    }

    std::string lastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }
    bool showedStatus(const std::string& s) const
    {
        for (const auto& t : statuses)
            if (t == s) return true;
        return false;
    }

    std::vector<SjisText> statuses;
    std::vector<std::string> states;   // every state the dialogue entered, in order
    std::vector<SjisText> messages;
    std::vector<SjisText> refusedProblems;   // as certificateRefused names them
    std::vector<int> progressValues;
    int progressMin = -1, progressMax = -1, progressStyle = -1;
    int timeOuts = 0;
    int ended = 0;
    std::vector<std::string> refusedCertificates;   // "server fingerprint"
    // Runs while a message is up, as the event loop of a message box that
    // waits for the operator would (timers firing, data arriving).
    std::function<void()> whileMessageShown;
};
