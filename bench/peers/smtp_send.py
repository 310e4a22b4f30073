"""Peer for bench_compare_mail and bench_compare_distant: the per-recipient
question mailing done the plain Python way, to set the program's own SMTP code
against.

Reads a job (JSON, path as the only argument) that the benchmark writes:
server, envelope sender and its name, the fixed header lines, the subject and
the body template (Unicode), and one entry per recipient with the name, mark,
rank and points
that complete that recipient's copy. Sends every copy over ONE smtplib
connection, one transaction per recipient (MAIL FROM, RCPT TO, DATA), subject
and body in ISO-2022-JP, and prints one line "RESULT {json}" with the time
from connecting to the end of QUIT, the messages accepted and their sizes.

Plain, it greets with HELO as a carrier's server of old is spoken to. With
"starttls" (the CA file to check the server's certificate against, in
"cafile") it greets with EHLO, starts TLS, greets again and, with "login"
({"user", "password"}), logs in: a submission port of today.

Run with Debian's /usr/bin/python3 (standard library only).
"""

import json
import smtplib
import ssl
import sys
import time
from email.header import Header
from email.mime.text import MIMEText
from email.utils import formataddr, formatdate, make_msgid


def complete(template, previous_question, mark, rank, points, total):
    # The same three placeholders the program fills in for each player.
    body = template.replace(f"問題{previous_question}:×", f"問題{previous_question}:{mark}")
    body = body.replace("順位:xxx位", f"順位:{rank}位")
    body = body.replace(f"合計得点:xxx/{total}", f"合計得点:{points}/{total}")
    return body


def compose(job, recipient):
    body = complete(job["template"], job["previousQuestion"], recipient["mark"], recipient["rank"],
                    recipient["points"], job["totalPoints"])
    msg = MIMEText(body, "plain", "iso-2022-jp")   # 7bit, charset=iso-2022-jp
    msg["Subject"] = Header(job["subject"], "iso-2022-jp")
    for name, value in job["extraHeaders"]:
        msg[name] = value
    # The fields the program writes for today's receivers, as Python writes them.
    msg["Date"] = formatdate(localtime=True)
    msg["From"] = mailbox(job.get("senderName", ""), job["sender"])
    msg["To"] = mailbox(recipient.get("name", ""), recipient["address"])
    msg["Message-ID"] = make_msgid(domain=job["sender"].rpartition("@")[2])
    return msg.as_bytes()


def mailbox(name, address):
    return formataddr((Header(name, "iso-2022-jp").encode(), address)) if name else address


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        job = json.load(f)
    sizes = []
    accepted = 0
    compose_seconds = 0.0
    cpu = time.process_time()
    start = time.perf_counter()
    smtp = smtplib.SMTP(job["host"], job["port"], local_hostname=job["host"])
    if job.get("starttls"):
        smtp.ehlo(job["host"])
        smtp.starttls(context=ssl.create_default_context(cafile=job["cafile"]))
        smtp.ehlo(job["host"])
        if "login" in job:
            smtp.login(job["login"]["user"], job["login"]["password"])
    else:
        smtp.helo(job["host"])
    for recipient in job["recipients"]:
        c0 = time.perf_counter()
        data = compose(job, recipient)
        compose_seconds += time.perf_counter() - c0
        refused = smtp.sendmail(job["sender"], [recipient["address"]], data)
        if not refused:
            accepted += 1
        sizes.append(len(data))
    smtp.quit()
    seconds = time.perf_counter() - start
    print("RESULT " + json.dumps({
        "seconds": seconds,
        "cpuSeconds": time.process_time() - cpu,
        "composeSeconds": compose_seconds,
        "messages": len(job["recipients"]),
        "accepted": accepted,
        "averageBytes": sum(sizes) / len(sizes) if sizes else 0,
    }), flush=True)
    return 0 if accepted == len(job["recipients"]) else 1


if __name__ == "__main__":
    sys.exit(main())
