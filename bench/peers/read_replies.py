"""Peer for bench_compare_replies: replies of today's shapes read and judged
the plain Python way, to set the program's reply reader against.

Usage: read_replies.py FOLDER SUBJECT ROUNDS

Reads every *.eml of FOLDER into memory, then ROUNDS times over all of them:
parse with the email package (policy default), decode the subject, take the
body with get_body(('plain', 'html')) and get_content(), strip the tags of
an HTML body, and read the digit after "答:". A reply counts as judged when
its subject is "Re:" + SUBJECT (reply prefixes of any case and spaces
ignored) and its text holds a digit answer. Prints one line "RESULT {json}"
with the best round's time (files already in memory) and the counts.

Run with Debian's /usr/bin/python3 (standard library only).
"""

import email
import email.policy
import email.utils
import json
import re
import sys
import time
from pathlib import Path

ANSWER = re.compile(r"答[:：]([0-9])")
PREFIX = re.compile(r"^((re(\[[0-9]+\])?[:：])(\(bcc\))?)+", re.IGNORECASE)
TAG = re.compile(r"<[^>]*>")


def squeeze(text):
    return text.replace(" ", "").replace("\r", "").replace("\n", "")


def judge(data, awaited):
    msg = email.message_from_bytes(data, policy=email.policy.default)
    subject = PREFIX.sub("Re:", squeeze(str(msg["Subject"] or "")))
    body = msg.get_body(("plain", "html"))
    text = body.get_content() if body else ""
    if body is not None and body.get_content_subtype() == "html":
        text = TAG.sub("", text)
    email.utils.parseaddr(str(msg["From"] or ""))
    return subject == awaited and ANSWER.search(text) is not None


def main():
    folder, subject, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    replies = [p.read_bytes() for p in sorted(Path(folder).glob("*.eml"))]
    awaited = squeeze("Re:" + subject)
    best = None
    judged = 0
    for _ in range(rounds):
        start = time.perf_counter()
        judged = sum(1 for data in replies if judge(data, awaited))
        seconds = time.perf_counter() - start
        best = seconds if best is None else min(best, seconds)
    print("RESULT " + json.dumps({"seconds": best, "replies": len(replies), "judged": judged}), flush=True)
    return 0 if judged == len(replies) else 1


if __name__ == "__main__":
    sys.exit(main())
