#pragma once
#include <cstddef>
#include <optional>
#include <string>

// Frames the bytes an SMTP server sends into whole replies. A reply may come
// in several reads (a greeting split across two arrivals) or span several
// lines ("250-first", "250-second", "250 last"); it is whole when a line that
// is not a continuation (no "-" after the code) has ended. Lines end with
// CR LF; a bare LF is taken as a line end too.
class SmtpReplyReader {
public:
    struct Reply {
        std::string code;   // the first three characters of the final line
        std::string text;   // every line of the reply, line ends included
    };

    // A server that sends this much without ever finishing a reply is not
    // speaking SMTP; what has come is handed over as one reply (judged by its
    // first code) instead of buffering without end, and the rest of that
    // reply, up to the end of its last line, is dropped: the tail of one
    // reply must not pass for the answers to the commands that follow.
    static constexpr std::size_t kMaxReply = 64 * 1024;

    void append(const std::string& bytes) { buffer_ += bytes; }
    // The next whole reply, taken out of the buffer; nothing while the
    // buffered bytes do not yet hold one.
    std::optional<Reply> next();
    void clear() { buffer_.clear(); scanned_ = 0; skipping_ = false; skippedHead_.clear(); }
    bool empty() const { return buffer_.empty(); }

private:
    // Drops what is left of an over-long reply already handed over; false
    // while its last line has not ended.
    bool skipOverlongRest();

    std::string buffer_;
    std::size_t scanned_ = 0;   // bytes already known to hold only continuation lines
    bool skipping_ = false;     // inside the rest of an over-long reply
    std::string skippedHead_;   // the first bytes of the line being dropped: is it a continuation?
};
