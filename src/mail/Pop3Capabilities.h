#pragma once
#include <string>

// What a POP3 server says it can do in its reply to CAPA, as far as this
// program uses it.
struct Pop3Capabilities {
    // Commands may go out without waiting for the replies to those before
    // them; the replies still come back one by one, in order.
    bool pipelining = false;
};

// Reads a positive CAPA reply as the reply reader hands it over: the status
// line, one capability a line (its keyword as the first word, compared
// without regard to case, then any parameters), the final "." line.
Pop3Capabilities ReadPop3Capabilities(const std::string& reply);
