#include "mail/Pop3ReplyReader.h"

#include <algorithm>

namespace {

constexpr char kTerminator[] = "\r\n.\r\n";
constexpr std::size_t kTerminatorLength = 5;

// A status line without its line end (CR LF, or a bare LF).
std::string withoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

bool Pop3ReplyReader::skipOverlongRest() {
    if (!skipping_) return true;
    const std::size_t lf = buffer_.find('\n');
    if (lf == std::string::npos) {
        buffer_.clear();
        return false;
    }
    buffer_.erase(0, lf + 1);
    skipping_ = false;
    return true;
}

std::optional<std::string> Pop3ReplyReader::takeStatusLine() {
    if (!skipOverlongRest()) return std::nullopt;
    const std::size_t lf = buffer_.find('\n');
    if (lf != std::string::npos && lf < kMaxStatusLine) {
        std::string line = buffer_.substr(0, lf + 1);
        buffer_.erase(0, lf + 1);
        return line;
    }
    if (lf == std::string::npos && buffer_.size() < kMaxStatusLine) return std::nullopt;
    // Too long, whether its end has come or not: its start stands for it.
    std::string line = buffer_.substr(0, kMaxStatusLine) + "\r\n";
    buffer_.erase(0, kMaxStatusLine);
    skipping_ = true;
    skipOverlongRest();
    return line;
}

std::optional<std::string> Pop3ReplyReader::nextStatusLine() {
    std::optional<std::string> line = takeStatusLine();
    if (!line) return std::nullopt;
    return withoutLineEnd(std::move(*line));
}

std::optional<Pop3ReplyReader::MultiLine> Pop3ReplyReader::nextMultiLine() {
    if (!inMessage_) {
        std::optional<std::string> status = takeStatusLine();
        if (!status) return std::nullopt;
        const std::string line = *status;
        // Only the reply's status line can refuse the message; a body line
        // that happens to begin with "-ERR" is just text.
        if (!positive(line)) {
            MultiLine refused;
            refused.text = withoutLineEnd(line);
            return refused;
        }
        inMessage_ = true;
        kept_.clear();
        cut_ = false;
        keep(line);
        // The status line's own line end may open the terminator of an
        // empty message ("+OK\r\n.\r\n").
        recent_ = line.substr(line.size() - std::min<std::size_t>(line.size(), 2));
    }

    if (!skipOverlongRest()) return std::nullopt;
    // The terminator may straddle what came before and what comes now.
    const std::string window = recent_ + buffer_;
    const std::size_t at = window.find(kTerminator);
    if (at == std::string::npos) {
        keep(buffer_);
        recent_ = window.substr(window.size() - std::min<std::size_t>(window.size(), kTerminatorLength - 1));
        buffer_.clear();
        return std::nullopt;
    }
    const std::size_t taken = at + kTerminatorLength - recent_.size();
    keep(buffer_.substr(0, taken));
    buffer_.erase(0, taken);

    MultiLine reply;
    reply.positive = true;
    reply.cut = cut_;
    // A cut message still ends with its "." line, as a whole one does.
    if (cut_) kept_ += kTerminator;
    reply.text = unstuff(kept_);
    inMessage_ = false;
    kept_.clear();
    recent_.clear();
    cut_ = false;
    return reply;
}

void Pop3ReplyReader::keep(const std::string& bytes) {
    const std::size_t room = kMaxMessage - std::min(kMaxMessage, kept_.size());
    if (bytes.size() > room) cut_ = true;
    kept_.append(bytes, 0, std::min(room, bytes.size()));
}

void Pop3ReplyReader::clear() {
    buffer_.clear();
    inMessage_ = false;
    kept_.clear();
    recent_.clear();
    cut_ = false;
    skipping_ = false;
}

std::string Pop3ReplyReader::unstuff(const std::string& message) {
    std::string out;
    out.reserve(message.size());
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (lineStart && c == '.' && i + 1 < message.size() && message[i + 1] == '.') {
            lineStart = false;
            continue;   // drop the stuffed dot, keep the one after it
        }
        out += c;
        lineStart = (c == '\n');
    }
    return out;
}
