#!/usr/bin/env python3
# judge_mail.py FOLDER: the receivers' own judges on every *.eml in FOLDER
# (mail as the phones received it). Each must parse under Python's email
# policy.strict with no defect, keep its header lines within 78 characters,
# and fire no SpamAssassin rule (spamassassin -L -t) but ALL_TRUSTED, which
# only says the relays were local. A line a mail with SpamAssassin's verdict;
# a fault is a line "FAULT ..."; exit status 1 when there is one.
import email
import email.policy
import mailbox
import os
import re
import subprocess
import sys
import tempfile

ALLOWED_RULES = {"ALL_TRUSTED"}


def strict_faults(raw):
    faults = []
    try:
        msg = email.message_from_bytes(raw, policy=email.policy.strict)
        for part in msg.walk():
            faults += [repr(d) for d in part.defects]
            for name, value in part.items():
                faults += ["%s: %r" % (name, d) for d in getattr(value, "defects", ())]
            if not part.is_multipart():
                part.get_content()
    except Exception as e:  # strict raises on the first defect it meets
        faults.append("%s: %s" % (type(e).__name__, e))
    return faults


def long_header_lines(raw):
    head = raw.split(b"\r\n\r\n", 1)[0]
    return [line for line in head.split(b"\r\n") if len(line) > 78]


def spamassassin(paths):
    """Rules hit and score of each message, in the order given."""
    with tempfile.TemporaryDirectory() as home:
        box_path = os.path.join(home, "mail.mbox")
        box = mailbox.mbox(box_path)
        for p in paths:
            with open(p, "rb") as f:
                box.add(mailbox.mboxMessage(f.read().replace(b"\r\n", b"\n")))
        box.flush()
        box.close()
        env = dict(os.environ, HOME=home)
        with open(box_path, "rb") as f:
            out = subprocess.run(["spamassassin", "-L", "-t", "--mbox"], stdin=f, capture_output=True,
                                 env=env, check=True).stdout.decode("utf-8", "replace")
    verdicts = []
    for m in re.finditer(r"^X-Spam-Status: (.*(?:\n[ \t].*)*)", out, re.M):
        status = " ".join(m.group(1).split())
        score = re.search(r"score=(-?[\d.]+)", status)
        # The list is folded where it is long: "tests=A,B,\n\tC,D autolearn=...".
        tests = re.search(r"tests=(.*?)(?:\s+[a-z_]+=|$)", status)
        listed = re.sub(r"\s", "", tests.group(1)) if tests else ""
        rules = [t for t in listed.split(",") if t and t != "none"]
        verdicts.append((score.group(1) if score else "?", rules))
    return verdicts


def main():
    folder = sys.argv[1]
    paths = sorted(os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".eml"))
    if not paths:
        print("FAULT no mail in", folder)
        return 1
    faults = 0
    verdicts = spamassassin(paths)
    if len(verdicts) != len(paths):
        print("FAULT SpamAssassin judged %d of %d mails" % (len(verdicts), len(paths)))
        faults += 1
    for path, (score, rules) in zip(paths, verdicts):
        with open(path, "rb") as f:
            raw = f.read()
        name = os.path.basename(path)
        print("%s: score %s, %s" % (name, score, ",".join(rules) or "no rule"))
        for fault in strict_faults(raw):
            print("FAULT %s: email (policy.strict): %s" % (name, fault))
            faults += 1
        for line in long_header_lines(raw):
            print("FAULT %s: header line of %d characters: %s" % (name, len(line), line[:60]))
            faults += 1
        for rule in set(rules) - ALLOWED_RULES:
            print("FAULT %s: SpamAssassin rule %s" % (name, rule))
            faults += 1
    print("%d mails judged, %d faults" % (len(paths), faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
