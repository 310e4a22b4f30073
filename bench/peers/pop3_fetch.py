"""Peer for bench_compare_mail and bench_compare_distant: the reply fetch done
the plain Python way, to set the program's own POP3 code and reply parser
against.

Usage: pop3_fetch.py HOST PORT USER PASSWORD SUBJECT [--tls CAFILE | --stls CAFILE]

Logs in with USER/PASS (inside TLS from the first byte with --tls, after
STLS with --stls, the server's certificate checked against CAFILE), and for
every message the mailbox holds: RETR, parse with the email package (subject
decoded from its encoded words, body decoded from its charset), read the
answer digit after "答:", DELE; then QUIT. A
reply counts as judged when its subject is "Re: " + SUBJECT (spaces ignored,
as the program ignores them) and its body holds a digit answer. Prints one
line "RESULT {json}" with the time from connecting to the end of QUIT and the
counts.

Run with Debian's /usr/bin/python3 (standard library only).
"""

import argparse
import email
import email.utils
import json
import poplib
import re
import ssl
import sys
import time
from email.header import decode_header, make_header

ANSWER = re.compile(r"答:\s*([0-9])")


def squeeze(text):
    return text.replace(" ", "").replace("\r", "").replace("\n", "")


def connect(args):
    if args.tls:
        return poplib.POP3_SSL(args.host, args.port, context=ssl.create_default_context(cafile=args.tls))
    pop = poplib.POP3(args.host, args.port)
    if args.stls:
        pop.stls(context=ssl.create_default_context(cafile=args.stls))
    return pop


def main():
    parser = argparse.ArgumentParser()
    for name in ("host", "port", "user", "password", "subject"):
        parser.add_argument(name, type=int if name == "port" else str)
    protection = parser.add_mutually_exclusive_group()
    protection.add_argument("--tls", metavar="CAFILE")
    protection.add_argument("--stls", metavar="CAFILE")
    args = parser.parse_args()
    user, password, subject = args.user, args.password, args.subject
    awaited = squeeze("Re:" + subject)
    retrieved = judged = deleted = 0
    answers = {}
    cpu = time.process_time()
    start = time.perf_counter()
    pop = connect(args)
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
