"""Peer for bench_compare_mail: the reply fetch done the plain Python way, to
set the program's own POP3 code and reply parser against.

Usage: pop3_fetch.py HOST PORT USER PASSWORD SUBJECT

Logs in with USER/PASS, and for every message the mailbox holds: RETR, parse
with the email package (subject decoded from its encoded words, body decoded
from its charset), read the answer digit after "答:", DELE; then QUIT. A
reply counts as judged when its subject is "Re: " + SUBJECT (spaces ignored,
as the program ignores them) and its body holds a digit answer. Prints one
line "RESULT {json}" with the time from connecting to the end of QUIT and the
counts.

Run with Debian's /usr/bin/python3 (standard library only).
"""

import email
import email.utils
import json
import poplib
import re
import sys
import time
from email.header import decode_header, make_header

ANSWER = re.compile(r"答:\s*([0-9])")


def squeeze(text):
    return text.replace(" ", "").replace("\r", "").replace("\n", "")


def main():
    host, port, user, password, subject = sys.argv[1:6]
    awaited = squeeze("Re:" + subject)
    retrieved = judged = deleted = 0
    answers = {}
    cpu = time.process_time()
    start = time.perf_counter()
    pop = poplib.POP3(host, int(port))
    pop.user(user)
    pop.pass_(password)
    count, _size = pop.stat()
    for number in range(1, count + 1):
        _status, lines, _octets = pop.retr(number)
        retrieved += 1
        msg = email.message_from_bytes(b"\r\n".join(lines) + b"\r\n")
        got_subject = str(make_header(decode_header(msg.get("Subject", ""))))
        charset = msg.get_content_charset() or "iso-2022-jp"
        body = msg.get_payload(decode=True).decode(charset, errors="replace")
        match = ANSWER.search(body)
        if squeeze(got_subject) == awaited and match:
            judged += 1
            sender = email.utils.parseaddr(msg.get("From", ""))[1]
            answers[sender] = answers.get(sender, 0) + 1
        pop.dele(number)
        deleted += 1
    pop.quit()
    seconds = time.perf_counter() - start
    print("RESULT " + json.dumps({
        "seconds": seconds,
        "cpuSeconds": time.process_time() - cpu,
        "messages": count,
        "retrieved": retrieved,
        "judged": judged,
        "deleted": deleted,
        "senders": len(answers),
    }), flush=True)
    return 0 if retrieved == count and judged == count and deleted == count else 1


if __name__ == "__main__":
    sys.exit(main())
