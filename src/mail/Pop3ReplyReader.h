#pragma once
#include <cstddef>
#include <optional>
#include <string>

// Frames the bytes a POP3 server sends into replies: a status line ("+OK …"
// or "-ERR …"), or a multi-line reply (RETR: a positive status line, the
// message, and the line "." after CR LF). Both are bounded: a status line
// that never ends, or a message of any size, cannot make the program hold
// more than the limits below. Lines end with CR LF; a bare LF ends a status
// line too.
class Pop3ReplyReader {
public:
    // A status line longer than this is not POP3; what has come is handed
    // over as the line and the rest of it, up to its line end, is dropped, so
    // that it cannot pass for the replies that follow.
    static constexpr std::size_t kMaxStatusLine = 64 * 1024;
    // Of a longer message only this much is kept (a player's reply with a
    // photo attached); the rest is read and dropped, and the message is
    // judged on what was kept, still ending with its "." line.
    static constexpr std::size_t kMaxMessage = 1024 * 1024;

    struct MultiLine {
        bool positive = false;   // false: `text` is the refusing status line
        // Status line, message and final "." line, CR LF line ends as sent,
        // byte-stuffing undone.
        std::string text;
        bool cut = false;        // the message was longer than kMaxMessage
    };

    void append(const std::string& bytes) { buffer_ += bytes; }

    // The next status line without its line end; nothing while it has not
    // ended (or reached kMaxStatusLine).
    std::optional<std::string> nextStatusLine();

    // The next multi-line reply; nothing while it is not complete. A
    // negative status line comes back at once, without a message.
    std::optional<MultiLine> nextMultiLine();

    // Drops everything, the reply in progress included.
    void clear();
    bool empty() const { return buffer_.empty() && !inMessage_; }

    // The bytes held while a reply is framed: never much more than the
    // limits, whatever the server sends.
    std::size_t heldBytes() const { return buffer_.size() + kept_.size() + recent_.size(); }

    // "..x" at the start of a line back to ".x"; the final "." line stays.
    static std::string unstuff(const std::string& message);
    // Every positive reply begins with "+OK", bare or followed by text;
    // "-ERR" and anything else is negative.
    static bool positive(const std::string& line) { return line.compare(0, 3, "+OK") == 0; }

private:
    void keep(const std::string& bytes);
    // Drops what is left of an over-long status line already handed over;
    // false while its line end has not come.
    bool skipOverlongRest();
    // The next status line with its line end as sent; an over-long one as
    // its first kMaxStatusLine bytes and CR LF.
    std::optional<std::string> takeStatusLine();

    std::string buffer_;         // bytes not yet framed
    bool inMessage_ = false;     // a positive status line of a multi-line reply has come
    std::string kept_;           // its status line and the message so far, at most kMaxMessage
    bool cut_ = false;
    std::string recent_;         // the last bytes read of it, where a terminator may begin
    bool skipping_ = false;      // inside the rest of an over-long status line
};
