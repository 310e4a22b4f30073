#!/usr/bin/python3
"""Writes the players' replies to question 1 of round 3 as today's mail apps and the
old phones send them, each as it lies in the quiz mailbox after Postfix delivered it,
plus index.tsv with the answer the program must read from each.

Run: /usr/bin/python3 tests/data/replies/make_corpus.py
Dates, Message-IDs and MIME boundaries are fixed, so a re-run gives the same bytes.
Three replies are written by neomutt itself; without neomutt the committed ones stay.
"""
import base64
import html
import os
import quopri
import re
import shutil
import subprocess
import sys
import tempfile
from email.message import Message
from email.policy import compat32
from pathlib import Path

HERE = Path(__file__).resolve().parent
QUIZ = "quiz@trivorn.test"
SUBJECT = "第3回のクイズ第1問"
QUESTION_ID = "<20261208140000.0301@trivorn.test>"
# compat32 writes header text exactly as given: each app's own encoded words and folds
# must reach the file untouched, which the modern policy would re-encode its own way.
POLICY = compat32.clone(linesep="\r\n", mangle_from_=False, max_line_length=None)


def question(answer="", stop="｡"):
    """The question mail as players see it; `answer` is what they typed after 答:.
    ISO-2022-JP has no half-width kana, so phones writing it turn ｡ into 。."""
    return ["********************", "* TRIVORN          *", "********************",
            "問題1、", "日本の首都はどこですか？", "", "1.大阪", "2.東京", "3.京都", "",
            "'答:'に番号を入力", "して返信して下さい。", "5分以内に返信の",
            "ない方は不正解といたします" + stop, "--------------------",
            "答:" + answer + "   (点数:10)"]


def text(lines):
    return "\n".join(lines) + "\n"


def quoted(mark="> ", **kw):
    return [mark + l if l else mark.rstrip() for l in question(**kw)]


def top(own, attribution, gap=False, mark="> ", **kw):
    """Own text on top, the attribution line, then the question quoted line by line."""
    return text(own + ["", attribution] + [""] * gap + quoted(mark, **kw))


GMAIL_ATTR = "2026年12月8日(火) 14:00 TRIVORN <quiz@trivorn.test>:"
APPLE_ATTR = "2026/12/08 14:00、TRIVORN <quiz@trivorn.test>のメール:"
MUTT_ATTR = "On Tue, Dec 08, 2026 at 14:00:00 +0900, TRIVORN wrote:"
TB_ATTR = "On 2026/12/08 14:00, TRIVORN wrote:"


def outlook(own, to, japanese=False):
    """Outlook leaves the question unquoted under its header block."""
    block = (["-----元のメッセージ-----", "差出人: TRIVORN <quiz@trivorn.test>",
              "送信日時: 2026年12月8日 14:00", "宛先: " + to, "件名: " + SUBJECT]
             if japanese else
             ["-----Original Message-----", "From: TRIVORN <quiz@trivorn.test>",
              "Sent: Tuesday, December 8, 2026 2:00 PM", "To: " + to, "Subject: " + SUBJECT])
    return text(own + ["", ""] + block + [""] + question(stop="。"))


def ew(s, cs="UTF-8", codec=None):
    return "=?%s?B?%s?=" % (cs, base64.b64encode(s.encode(codec or cs)).decode())


def qw(s, cs="UTF-8", codec=None):
    q = "".join(chr(c) if chr(c).isalnum() and c < 128 or c == 58 else "_" if c == 32 else "=%02X" % c
                for c in s.encode(codec or cs))
    return "=?%s?Q?%s?=" % (cs, q)


def leaf(ctype, body, cte, codec="utf-8", headers=()):
    """One MIME part: text encoded by `codec` (bytes as they are), then by `cte`.
    Base64 carries text in its canonical CR LF form; 7bit, 8bit and QP lines get
    CR LF when the message is written."""
    data = body if isinstance(body, bytes) else body.encode(codec)
    m = Message(POLICY)
    m["Content-Type"] = ctype
    for k, v in headers:
        m[k] = v
    m["Content-Transfer-Encoding"] = cte
    if cte == "base64":
        payload = base64.encodebytes(data.replace(b"\n", b"\r\n") if isinstance(body, str) else data).decode()
    elif cte == "quoted-printable":
        # a dot opening a line is written =2E, as careful encoders do, so no relay stuffs it
        payload = re.sub(r"(?m)^\.", "=2E", quopri.encodestring(data).decode())
    else:
        payload = data.decode("ascii", "surrogateescape")
    m.set_payload(payload)
    return m


def multi(subtype, boundary, parts, preamble=None, params=""):
    m = Message(POLICY)
    m["Content-Type"] = 'multipart/%s; boundary="%s"%s' % (subtype, boundary, params)
    for p in parts:
        m.attach(p)
    m.preamble = preamble
    return m


def html_lines(lines):
    return "<br>".join(html.escape(l, quote=False) for l in lines)


def gmail(own, n, **kw):
    gquote = ('<div class="gmail_quote"><div dir="ltr" class="gmail_attr">2026年12月8日(火) 14:00 TRIVORN &lt;'
              '<a href="mailto:quiz@trivorn.test">quiz@trivorn.test</a>&gt;:<br></div>'
              '<blockquote class="gmail_quote" style="margin:0px 0px 0px 0.8ex;border-left:1px solid '
              'rgb(204,204,204);padding-left:1ex">%s<br></blockquote></div>' % html_lines(question(**kw)))
    page = '<div dir="ltr">%s</div><br>%s\n' % (html_lines(own), gquote)
    return multi("alternative", "0000000000002a3b4c5d6e7f%02d" % n, [
        leaf('text/plain; charset="UTF-8"', top(own, GMAIL_ATTR, gap=True, **kw), "base64"),
        leaf('text/html; charset="UTF-8"', page, "quoted-printable")])


def iphone(body, cte="quoted-printable"):
    return leaf("text/plain; charset=utf-8", body, cte)


def jis(body):
    return leaf('text/plain; charset="ISO-2022-JP"', body, "7bit", "iso2022_jp")


YMOBILE_HTML = (
    '<html><head><meta http-equiv="Content-Type" content="text/html; charset=UTF-8"></head><body>'
    '<div>答:1</div><div>&#12354;、大阪&amp;京都で迷いました&nbsp;&gt;_&lt;</div><br>'
    '<div>2026/12/08 14:00、TRIVORN &lt;quiz@trivorn.test&gt;のメール:</div>'
    '<blockquote type="cite"><div>********************<br>* TRIVORN&nbsp; &nbsp; &nbsp; &nbsp; &nbsp;*<br>'
    '********************<br>問題1、<br>日本の首都はどこですか？<br><br>1.大阪<br>2.東京<br>3.京都<br><br>'
    '&#39;答:&#39;に番号を入力<br>して返信して下さい。<br>5分以内に返信の<br>ない方は不正解といたします｡<br>'
    '--------------------<br>答:&nbsp; &nbsp;(点数:10)</div></blockquote></body></html>\n')

DECO_HTML = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=iso-2022-jp">'
             '</head><body>%s<br></body></html>\n'
             % html_lines(question("2", "。")).replace("答:2", '答:<font color="#ff0000">2</font>'))

MAC_HTML = ('<html><head><meta http-equiv="content-type" content="text/html; charset=utf-8"></head>'
            '<body dir="auto"><div>答:2</div><div>写真と申込書を添付します。</div>'
            '<div><img src="cid:photo-0330@trivorn.example" alt="photo.png"></div><br>'
            '<div>%s</div><blockquote type="cite"><div>%s</div></blockquote></body></html>\n'
            % (html.escape(APPLE_ATTR, quote=False), html_lines(question())))

PNG = bytes.fromhex("89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489"   # one orange pixel
                    "0000000d4944415478da63f8dfc0f01f000680027fcf1209f10000000049454e44ae426082")
PDF = b"%PDF-1.4\n% tiny stand-in for an entry form\n%%EOF\n"

GMAIL, APPLE, PHONE, OUTLOOK, MAILER, MUTT = "gmail", "apple", "phone", "outlook", "mailer", "neomutt"
R = "Re: "
JAPANESE_FIRST = "us-ascii:iso-2022-jp:utf-8"   # neomutt's send_charset as a Japanese user sets it
# One row a reply: file stem, sender, display name, app, Subject as the app wrote it,
# the body (for neomutt: its send_charset and the text typed), answer read with the full-width option off / on, and the shape.
SHAPES = [
    ("gmail-alternative", "yamada.taro@gmail.com", "山田太郎", GMAIL, R + ew(SUBJECT),
     lambda n: gmail(["答:2"], n), "2", "2",
     "Gmail: alternative, UTF-8 base64 plain + QP html; 答:2 on top, question quoted in > and blockquote"),
    ("iphone-icloud", "suzuki.hana@icloud.com", "鈴木花", APPLE, ew(R + SUBJECT, "utf-8"),
     lambda n: iphone(top(["答:1", "", "iPhoneから送信"], APPLE_ATTR)), "1", "1",
     "iPhone Mail: UTF-8 QP, whole Subject one B word; 答:1 on top, signature, question quoted"),
    ("iphone-softbank", "kenta0512@i.softbank.jp", "けんた", APPLE, ew(R + SUBJECT, "utf-8"),
     lambda n: iphone(top(["答:3"], APPLE_ATTR)), "3", "3",
     "iPhone Mail at i.softbank.jp: UTF-8 QP, whole Subject one B word; 答:3 on top"),
    ("au-utf8-8bit", "mika.au@au.com", None, PHONE, qw(R + SUBJECT),
     lambda n: leaf('text/plain; charset="UTF-8"', top(["答:2"], APPLE_ATTR), "8bit"), "2", "2",
     "au Mail: UTF-8 8bit, Subject one Q word with Re: inside; 答:2 on top"),
    ("ymobile-html-only", "daichi-y@ymobile.ne.jp", "大地", MAILER, R + ew(SUBJECT),
     lambda n: leaf("text/html; charset=UTF-8", YMOBILE_HTML, "quoted-printable"), "1", "1",
     "Y!mobile: only text/html UTF-8 QP, entities; 答:1 in a div, question in blockquote type=cite"),
    ("neomutt-softbank", "nakamura.jun@softbank.ne.jp", "中村純", MUTT, R + SUBJECT,
     ("utf-8", text(["答:2", "", MUTT_ATTR] + quoted())), "2", "2",
     "neomutt: charset utf-8 8bit; 答:2 on top, question quoted with >"),
    ("neomutt-gmail-colon", "ito.saki.mutt@gmail.com", "伊藤咲", MUTT, R + SUBJECT,
     (JAPANESE_FIRST, text(["答：3", "", MUTT_ATTR] + quoted())), "3", "3",
     "neomutt with send_charset us-ascii:iso-2022-jp:utf-8 (half-width ｡ keeps it utf-8); 答：3 full-width colon"),
    ("neomutt-jis-short", "ogawa.ryo@softbank.ne.jp", "小川亮", MUTT, R + SUBJECT,
     (JAPANESE_FIRST, text(["答:1", "よろしくお願いします。"])), "1", "1",
     "neomutt with send_charset us-ascii:iso-2022-jp:utf-8 (chooses iso-2022-jp 7bit); 答:1, no quote"),
    ("outlook-original-message", "kato.makoto@outlook.jp", "加藤誠", OUTLOOK, "RE: " + ew(SUBJECT, "iso-2022-jp", "iso2022_jp"),
     lambda n: jis(outlook(["答:2"], "kato.makoto@outlook.jp")), "2", "2",
     "Outlook: RE:, ISO-2022-JP 7bit; 答:2 on top, -----Original Message----- and the question unquoted"),
    ("outlook-typed-below", "hayashi.outlook@gmail.com", "林", OUTLOOK, "RE: " + ew(SUBJECT, "iso-2022-jp", "iso2022_jp"),
     lambda n: jis(outlook(["よろしくお願いします。"], "hayashi.outlook@gmail.com").replace("答:   ", "答:3   ")),
     "3", "3", "Outlook: RE:, ISO-2022-JP 7bit; no answer on top, 答:3 typed into the copy under Original Message"),
    ("outlook-japanese", "mori.kei@outlook.jp", "森圭", OUTLOOK, "RE: " + ew(SUBJECT, "iso-2022-jp", "iso2022_jp"),
     lambda n: jis(outlook(["答:1"], "mori.kei@outlook.jp", japanese=True)), "1", "1",
     "Outlook in Japanese: RE:, ISO-2022-JP 7bit; 答:1 on top, -----元のメッセージ----- block"),
    ("docomo-jis", "hanako-0801@docomo.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("2", "。"))), "2", "2",
     "docomo feature phone: ISO-2022-JP 7bit; whole question unquoted, 答:2 typed on its answer line"),
    ("ezweb-jis", "tomo.ez@ezweb.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("1", "。"))), "1", "1",
     "au feature phone (ezweb): ISO-2022-JP 7bit; question unquoted, 答:1 on the answer line"),
    ("vodafone-sjis-8bit", "v-kazu@t.vodafone.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: leaf("text/plain; charset=Shift_JIS", text(question("3")), "8bit", "shift_jis"), "3", "3",
     "Vodafone feature phone: Shift_JIS 8bit with half-width ｡; question unquoted, 答:3 on the answer line"),
    ("docomo-re-bcc", "bcc.yuko@docomo.ne.jp", None, PHONE, "RE:(BCC)" + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("2", "。"))), "2", "2",
     "docomo feature phone: RE:(BCC) glued to the B word; ISO-2022-JP 7bit, 答:2 on the answer line"),
    ("docomo-decomail", "deco.aya@docomo.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: multi("alternative", "DecoMail_0330_%02d" % n,
                     [jis(text(question("2", "。"))),
                      leaf('text/html; charset="ISO-2022-JP"', DECO_HTML, "7bit", "iso2022_jp")],
                     "This is a multi-part message in MIME format."), "2", "2",
     "docomo deco-mail: alternative with preamble, ISO-2022-JP 7bit plain + html; 答:2 on the answer line"),
    ("docomo-fullwidth-digit", "zenkaku.ken@docomo.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("２", "。"))), "x", "2",
     "docomo feature phone: ISO-2022-JP 7bit; question unquoted, full-width 答:２ on the answer line"),
    ("au-old-format", "sato.au.old@au.com", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("3", "。"))), "3", "3",
     "au Mail in the old way: ISO-2022-JP 7bit; question unquoted, 答:3 on the answer line"),
    ("softbank-old-format", "sb.taichi@softbank.ne.jp", None, PHONE, R + ew(SUBJECT),
     lambda n: leaf("text/plain; charset=UTF-8", text(question("1")), "base64"), "1", "1",
     "SoftBank Mail in the old way: UTF-8 base64; question unquoted, 答:1 on the answer line"),
    ("subject-lowercase-re", "yuki.lower@yahoo.co.jp", "優希", MAILER, "re: " + ew(SUBJECT),
     lambda n: leaf("text/plain; charset=utf-8", top(["答:3"], APPLE_ATTR), "quoted-printable"), "3", "3",
     "Subject re: (lower case) + UTF-8 B word; UTF-8 QP, 答:3 on top"),
    ("subject-re-re", "tomo.rere@ezweb.ne.jp", None, PHONE, "Re: Re: " + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(question("1", "。"))), "1", "1",
     "Subject Re: Re:; feature phone ISO-2022-JP 7bit, 答:1 on the answer line"),
    ("subject-re-bracket", "bat.akira@excite.co.jp", "明", MAILER, "Re[2]: " + ew(SUBJECT),
     lambda n: leaf("text/plain; charset=UTF-8", top(["答:2"], TB_ATTR), "8bit"), "2", "2",
     "Subject Re[2]: (Windows mailer); UTF-8 8bit, 答:2 on top"),
    ("subject-two-words", "sp.mode.ai@docomo.ne.jp", "愛", MAILER,
     R + ew(SUBJECT[:4]) + "\r\n " + ew(SUBJECT[4:]),
     lambda n: leaf("text/plain; charset=UTF-8", top(["答:1"], APPLE_ATTR), "base64"), "1", "1",
     "Subject in two UTF-8 B words on folded lines, split between characters; UTF-8 base64, 答:1 on top"),
    ("subject-split-character", "split.mai@i.softbank.jp", "舞", APPLE,
     R + "=?UTF-8?B?%s?=\r\n =?UTF-8?B?%s?=" % (base64.b64encode(SUBJECT.encode()[:8]).decode(),
                                               base64.b64encode(SUBJECT.encode()[8:]).decode()),
     lambda n: iphone(top(["答:2"], APPLE_ATTR)), "2", "2",
     "Subject in two UTF-8 B words split INSIDE 回 on purpose (join the words before decoding); 答:2 on top"),
    ("euc-jp-8bit", "mew.hiro@biglobe.ne.jp", "浩", MAILER, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: leaf("text/plain; charset=EUC-JP", top(["答:3"], "TRIVORN <quiz@trivorn.test> さんは書きました:"),
                    "8bit", "euc_jp"), "3", "3",
     "Unix mailer: EUC-JP 8bit body with half-width ｡; 答:3 on top, question quoted"),
    ("utf8-bom-base64", "bom.nao@ocn.ne.jp", "奈緒", MAILER, R + ew(SUBJECT),
     lambda n: leaf("text/plain; charset=UTF-8", "\ufeff" + top(["答:1"], TB_ATTR), "base64"), "1", "1",
     "Windows mailer: UTF-8 base64 starting with a byte order mark; 答:1 on top"),
    ("sjis-subject", "becky.sho@nifty.com", "翔", MAILER, R + ew(SUBJECT, "Shift_JIS", "shift_jis"),
     lambda n: leaf("text/plain; charset=Shift_JIS", top(["答:2"], TB_ATTR), "base64", "shift_jis"), "2", "2",
     "Subject a Shift_JIS B word; Shift_JIS base64 body, 答:2 on top"),
    ("jis-q-subject", "q.jun@so-net.ne.jp", "純", MAILER, R + qw(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(top(["答:1"], TB_ATTR, stop="。")), "1", "1",
     "Subject an ISO-2022-JP Q word; ISO-2022-JP 7bit, 答:1 on top, question quoted"),
    ("rfc2231-attachment", "tb.rin@nifty.com", "凛", MAILER, R + ew(SUBJECT),
     lambda n: multi("mixed", "------------0A1B2C3D4E5F6A7B8C9D%02d" % n, [
         leaf("text/plain; charset=UTF-8; format=flowed", top(["答:3", "メモを添付します。"], TB_ATTR), "8bit"),
         leaf('text/plain; charset=UTF-8; name="%s"' % ew("メモ.txt"), "答:9\n", "base64",
              headers=[("Content-Disposition", "attachment; filename*=UTF-8''%E3%83%A1%E3%83%A2.txt")])],
         "This is a multi-part message in MIME format."), "3", "3",
     "Thunderbird: mixed, UTF-8 8bit body 答:3 + text attachment (答:9) named by filename*= RFC 2231"),
    ("nested-related-pdf", "mac.sora@icloud.com", "空", APPLE, R + ew(SUBJECT),
     lambda n: multi("mixed", "Apple-Mail=_0330-MIXED-%02d" % n, [
         multi("alternative", "Apple-Mail=_0330-ALT-%02d" % n, [
             leaf("text/plain; charset=utf-8", top(["答:2", "写真と申込書を添付します。"], APPLE_ATTR), "quoted-printable"),
             multi("related", "Apple-Mail=_0330-REL-%02d" % n, [
                 leaf("text/html; charset=utf-8", MAC_HTML, "quoted-printable"),
                 leaf('image/png; name="photo.png"', PNG, "base64", headers=[
                       ("Content-Disposition", 'inline; filename="photo.png"'),
                       ("Content-Id", "<photo-0330@trivorn.example>")])], params='; type="text/html"')]),
         leaf('application/pdf; name="entry.pdf"', PDF, "base64",
              headers=[("Content-Disposition", 'attachment; filename="entry.pdf"')])]), "2", "2",
     "Apple Mail: mixed > alternative(plain + related(html + png)) + pdf; UTF-8 QP, 答:2 on top"),
    ("fullwidth-quote-mark", "zen.quote@ezweb.ne.jp", None, PHONE, R + ew(SUBJECT, "ISO-2022-JP", "iso2022_jp"),
     lambda n: jis(text(["答:2", ""] + quoted("＞", stop="。"))), "2", "2",
     "au feature phone quoting with ＞; ISO-2022-JP 7bit, 答:2 on top"),
    ("fullwidth-digit-top", "zenkaku.emi@icloud.com", "恵美", APPLE, ew(R + SUBJECT, "utf-8"),
     lambda n: iphone(top(["答:２"], APPLE_ATTR)), "x", "2",
     "iPhone Mail: UTF-8 QP; full-width 答:２ on top, question quoted"),
    ("no-answer-quoted", "sanka.go@gmail.com", "後藤", GMAIL, R + ew(SUBJECT),
     lambda n: gmail(["参加します！"], n), "x", "x",
     "Gmail: no answer of the player's own (参加します), question quoted with its empty 答:"),
    ("no-marker-at-all", "sanka.kimura@au.com", None, PHONE, qw(R + SUBJECT),
     lambda n: leaf('text/plain; charset="UTF-8"', text(["参加します。", "よろしくお願いします。"]), "8bit"),
     "-", "-", "au Mail: UTF-8 8bit, no 答: anywhere and no quote"),
    ("marker-without-digit", "tokyo.sho@icloud.com", "翔太", APPLE, ew(R + SUBJECT, "utf-8"),
     lambda n: iphone(top(["答:東京"], APPLE_ATTR)), "x", "x",
     "iPhone Mail: UTF-8 QP; 答:東京 on top (a word, no digit), question quoted"),
    ("digit-in-quoted-line", "quote.rei@icloud.com", "玲", APPLE, ew(R + SUBJECT, "utf-8"),
     lambda n: iphone(top(["iPhoneから送信"], APPLE_ATTR, answer="3")), "3", "3",
     "iPhone Mail: UTF-8 QP; only the signature on top, 3 typed into the quoted line > 答:3   (点数:10)"),
    ("space-after-marker", "space.aki@gmail.com", "亜希", GMAIL, R + ew(SUBJECT),
     lambda n: gmail(["答: 2"], n), "x", "x",
     "Gmail: 答: 2 with a space before the digit on top, question quoted"),
]


def clock(n, extra=0):
    s = 20 + 7 * n + extra   # the question left at 14:00:00; every reply is in within 5 minutes
    return "14:%02d:%02d" % (s // 60, s % 60)


def app_headers(app, n, addr, name, subject):
    local, domain = addr.split("@")
    sender = "%s <%s>" % (ew(name), addr) if name else addr
    date = "Tue, %s Dec 2026 %s +0900" % ("08" if app == PHONE else "8", clock(n))
    stamp = "20261208" + clock(n).replace(":", "")
    if app == GMAIL:
        return [("MIME-Version", "1.0"), ("References", QUESTION_ID), ("In-Reply-To", QUESTION_ID),
                ("From", sender), ("Date", date),
                ("Message-ID", "<CAGq3r1%02dX%s=trivorn@mail.gmail.com>" % (n, stamp)),
                ("Subject", subject), ("To", QUIZ)]
    if app == APPLE:
        return [("From", sender), ("Mime-Version", "1.0 (1.0)"), ("Subject", subject), ("Date", date),
                ("Message-Id", "<5E0C3A%02d-7B1D-4F2A-9C6E-%s@%s>" % (n, stamp[-12:], domain)),
                ("References", QUESTION_ID), ("In-Reply-To", QUESTION_ID), ("To", QUIZ),
                ("X-Mailer", "iPhone Mail (22B91)")]
    if app == OUTLOOK:
        return [("From", sender), ("To", QUIZ), ("References", QUESTION_ID), ("In-Reply-To", QUESTION_ID),
                ("Subject", subject), ("Date", date),
                ("Message-ID", "<000001db%02d$%s$0a1b2c3d@%s>" % (n, stamp[-8:], domain)),
                ("MIME-Version", "1.0"), ("X-Mailer", "Microsoft Outlook 16.0"), ("Content-Language", "ja")]
    return [("From", sender), ("To", QUIZ), ("Subject", subject), ("Date", date),
            ("Message-ID", "<%s.%02d%s@%s>" % (stamp, n, local.replace(".", ""), domain)),
            ("MIME-Version", "1.0")]


def delivered(addr, n):
    """What Postfix put in front when it dropped the reply into the quiz mailbox."""
    return ("Return-Path: <%s>\r\nDelivered-To: %s\r\n"
            "Received: from mail.example (localhost [127.0.0.1])\r\n"
            "\tby mail.trivorn.test (Postfix) with ESMTP id 4A1B2C3D%02X\r\n"
            "\tfor <%s>; Tue,  8 Dec 2026 %s +0900 (JST)\r\n" % (addr, QUIZ, n, QUIZ, clock(n, 2))).encode()


def by_neomutt(n, addr, name, charset, body):
    """neomutt in batch mode, its sendmail a script that keeps what it is given.
    Its Date is the clock's, so the fixed one replaces it; LF lines become CR LF."""
    with tempfile.TemporaryDirectory() as tmp:
        capture = Path(tmp, "capture.sh")
        capture.write_text('#!/bin/sh\ncat > "$(dirname "$0")/out.eml"\n')
        capture.chmod(0o755)
        setup = ('set sendmail="%s"; set from=%s; set realname="%s"; set charset=utf-8; '
                 'set send_charset="%s"; set use_from=yes; set edit_headers=no; set record=""; '
                 'my_hdr Message-ID: <%s.%02d@%s>'
                 % (capture, addr, name, charset, "20261208" + clock(n).replace(":", ""), n, addr.split("@")[1]))
        cmd = ["neomutt", "-n", "-F", "/dev/null", "-e", setup, "-s", R + SUBJECT, QUIZ]
        env = dict(os.environ, HOME=tmp, TZ="Asia/Tokyo", LC_ALL="C.UTF-8")
        subprocess.run(cmd, input=body.encode(), env=env, check=True, capture_output=True)
        out = Path(tmp, "out.eml").read_bytes()
    out = re.sub(rb"(?m)^Date: .*$", b"Date: Tue, 8 Dec 2026 " + clock(n).encode() + b" +0900", out, count=1)
    return out.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def main():
    have_neomutt = shutil.which("neomutt") is not None
    index = ["file\tanswer\tfullwidth\tshape"]
    for n, (stem, addr, name, app, subject, body, off, on, shape) in enumerate(SHAPES, 1):
        path = HERE / ("%02d-%s.eml" % (n, stem))
        index.append("\t".join([path.name, off, on, shape]))
        if app == MUTT:
            if not have_neomutt:
                print("neomutt not found: kept %s as committed" % path.name)
                continue
            data = by_neomutt(n, addr, name, *body)
        else:
            msg = body(n)   # the app's headers go above the body's MIME ones
            mime = msg.items()
            for k, _ in mime:
                del msg[k]
            for k, v in app_headers(app, n, addr, name, subject) + mime:
                msg[k] = v
            data = msg.as_bytes(policy=POLICY)
        data = delivered(addr, n) + data
        # The mailbox keeps CR LF and the reader unstuffs no dots: check both here.
        assert b"\n" not in data.replace(b"\r\n", b""), path.name
        assert not re.search(rb"(^|\r\n)\.", data), path.name
        path.write_bytes(data)
    (HERE / "index.tsv").write_text("\n".join(index) + "\n", encoding="utf-8")


if __name__ == "__main__":
    sys.exit(main())
