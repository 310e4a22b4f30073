#!/usr/bin/python3
"""Reads every reply in a folder as Python's email package understands it, for the C++
reader to be compared with: one JSON object a line, files in name order.

Run: python3 tests/data/replies/read.py <dir>
"""
import email
import email.policy
import email.utils
import json
import sys
from pathlib import Path


def read(path):
    seen = {"file": path.name}
    try:
        msg = email.message_from_bytes(path.read_bytes(), policy=email.policy.default)
        seen["sender"] = email.utils.parseaddr(str(msg["From"] or ""))[1]
        seen["subject"] = str(msg["Subject"] or "")
        body = msg.get_body(("plain", "html"))
        seen["subtype"] = body.get_content_subtype() if body else ""
        seen["body"] = body.get_content() if body else ""
    except Exception as e:   # a message Python cannot take is a finding, not a stop
        seen["error"] = "%s: %s" % (type(e).__name__, e)
    return seen


for path in sorted(Path(sys.argv[1]).glob("*.eml")):
    line = json.dumps(read(path), ensure_ascii=False) + "\n"
    sys.stdout.buffer.write(line.encode("utf-8", "backslashreplace"))
