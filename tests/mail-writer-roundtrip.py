#!/usr/bin/env python3
"""Posts each case below as a browser posts a compose form, has
`tarnwick-mail compose` write the message Tarnwick.MailWriter sends for it,
and reads the message back two ways: with Python's email package
(policy.default) and with MailReader's reading (`tarnwick-mail --reader
unicode`). Both must give back exactly what was posted: the subject, the
text, the senders' and recipients' names and addresses, the attachments'
names and bytes. The message must also parse under policy.strict with no
defect, hold only ASCII header lines of at most 78 characters where a blank
allows folding and never over 998, and carry no Bcc.

    python3 tests/mail-writer-roundtrip.py PATH-TO-tarnwick-mail

Prints one line per failed check and a summary; exits 1 on any failure.
"""
import email
import email.policy
import os
import re
import subprocess
import sys
import tempfile

TOOL = sys.argv[1] if len(sys.argv) > 1 else "build/native/tarnwick-mail"
BOUNDARY = b"----WebKitFormBoundary7MA4YWxkTrZu0gW"
ALL_BYTES = bytes(range(256)) * 3

# name, fields (From defaults to alice), files as (name, media type, bytes)
CASES = [
    ("ascii short", {"Subject": "Lunch?", "Body": "See you at noon."}, []),
    ("latin", {"Subject": "Café crème à la française", "Body": "Voilà: œuvre, naïve, Ärger, ß."}, []),
    ("chinese", {"Subject": "季度报告", "Body": "你好，世界。\r\n第二行"}, []),
    ("japanese", {"Subject": "会議のお知らせ（重要）", "Body": "こんにちは、カタカナとひらがな。"}, []),
    ("korean", {"Subject": "분기 보고서 검토 요청", "Body": "안녕하세요.\r\n회의는 3시입니다."}, []),
    ("arabic", {"Subject": "مرحبا بالعالم", "Body": "النص العربي من اليمين إلى اليسار"}, []),
    ("hebrew", {"Subject": "שלום עולם", "Body": "טקסט בעברית"}, []),
    ("thai", {"Subject": "สวัสดีครับ", "Body": "ภาษาไทยไม่มีช่องว่างระหว่างคำ"}, []),
    ("devanagari", {"Subject": "नमस्ते दुनिया", "Body": "हिन्दी पाठ क्षत्रिय"}, []),
    ("emoji", {"Subject": "Re: Party 🎉 tonight", "Body": "👍🏽 and 👨‍👩‍👧‍👦 and 🏳️‍🌈"}, []),
    ("combining marks", {"Subject": "e\u0301 a\u0308 n\u0303", "Body": "Zalgo: Z\u0351\u0352a\u0353l\u0354g\u0355o"}, []),
    ("long ascii subject", {"Subject": " ".join(["word%d" % i for i in range(60)]), "Body": "x"}, []),
    ("300-character subject", {"Subject": ("Quarterly 보고서 🎉 " * 20)[:300], "Body": "long"}, []),
    ("long word subject", {"Subject": "a" * 200, "Body": "b" * 200}, []),
    ("empty subject", {"Subject": "", "Body": "no subject"}, []),
    ("empty body", {"Subject": "nothing to say", "Body": ""}, []),
    ("dot lines", {"Subject": "dots", "Body": ".\r\n..\r\n.hidden\r\nend\r\n."}, []),
    ("dot lines in 8-bit text", {"Subject": "dots", "Body": ".\r\n.é\r\n"}, []),
    ("2,000-character lines", {"Subject": "long lines", "Body": "x" * 2000 + "\r\n" + "가" * 2000}, []),
    ("blanks kept", {"Subject": "two  spaces\tand a tab", "Body": "trailing  \r\n\tindented\r\n  \r\nend "}, []),
    ("outer blanks of the subject", {"Subject": "  padded  ", "Body": "x"}, []),
    ("subject like an encoded word", {"Subject": "=?utf-8?q?not_encoded?=", "Body": "x"}, []),
    ("text ending in a line break", {"Subject": "ends", "Body": "line one\r\nline two\r\n"}, []),
    ("names in To and Cc", {"Subject": "names", "Body": "x",
                            "To": '"Bob, Jr." <bob@localhost>, 김철수 <kim@example.com>',
                            "Cc": "Zoë 🎉 <zoe@example.com>; plain@example.com"}, []),
    ("a display name of specials", {"Subject": "x", "Body": "x",
                                    "To": '"O\'Brien (NYC) \\"Ace\\"" <ob@example.com>'}, []),
    ("a long display name", {"Subject": "x", "Body": "x", "To": "가나다라마바사 " * 12 + "<long@example.com>"}, []),
    ("many recipients", {"Subject": "all", "Body": "x",
                         "To": ", ".join("User %d <user%d@example.com>" % (i, i) for i in range(40))}, []),
    ("a Korean file name", {"Subject": "file", "Body": "attached"},
     [("분기 보고서 (최종).txt", "text/plain", "보고서 내용\r\n".encode())]),
    ("names with quotes, semicolons and percent signs", {"Subject": "files", "Body": "three"},
     [('a"b;c.txt', "text/plain", b"quote"), ("50% off %41.txt", "text/plain", b"percent"),
      ("semi;colon=equals.bin", "application/octet-stream", b"semi")]),
    ("binary bytes", {"Subject": "bytes", "Body": ""}, [("all.bin", "application/octet-stream", ALL_BYTES)]),
    ("a long file name", {"Subject": "name", "Body": "x"},
     [("매우 긴 파일 이름 " * 6 + ".pdf", "application/pdf", b"%PDF-1.4\n")]),
    ("an emoji file name and an odd type", {"Subject": "odd", "Body": "x"},
     [("🎉party.txt", "not a type", b"party"), ("photo.JPG", "image/jpeg", b"\xff\xd8\xff\xe0")]),
    ("a path in the file name", {"Subject": "path", "Body": "x"},
     [("C:\\Users\\김\\문서.txt", "text/plain", b"path")]),
    ("everything at once", {"Subject": "모두 🎉 all", "Body": "Body ✓\r\n.\r\n" + "긴 " * 500,
                            "Cc": "wangming@localhost", "Bcc": "carol@localhost"},
     [("표.csv", "text/csv", b"a,b\r\n1,2\r\n")]),
]

# A form posted by an older page in GBK: MailWriter reads what is not UTF-8 in GBK.
GBK_CASE = ("a GBK form", {"Subject": "中文主题", "Body": "旧表单的正文"}, [("报告.txt", "text/plain", b"gbk")])


def form_body(fields, files, charset):
    out = b""
    for name, value in fields.items():
        out += b"--" + BOUNDARY + b'\r\nContent-Disposition: form-data; name="' + name.encode() + b'"\r\n\r\n'
        out += value.encode(charset) + b"\r\n"
    for i, (name, media_type, data) in enumerate(files):
        # As Chromium escapes a file name: a quote as %22, nothing else.
        quoted = name.encode(charset).replace(b'"', b"%22")
        out += b"--" + BOUNDARY + b'\r\nContent-Disposition: form-data; name="file%d"; filename="' % (i + 1)
        out += quoted + b'"\r\nContent-Type: ' + media_type.encode() + b"\r\n\r\n" + data + b"\r\n"
    return out + b"--" + BOUNDARY + b"--\r\n"


def collected(written):
    """The message as the mail server collects it: up to the end-of-data
    line, dot-stuffing undone."""
    lines = written.split(b"\r\n")
    end = lines.index(b".")
    return b"".join((line[1:] if line.startswith(b".") else line) + b"\r\n" for line in lines[:end])


def one_line(text):
    return re.sub(r"[\x00-\x08\x0a-\x1f\x7f]", " ", text)


def base_name(name):
    return re.split(r"[\\/]", name)[-1]


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, what, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL %s %s" % (what, detail[:600]))


def header_lines(message):
    head = message.split(b"\r\n\r\n", 1)[0]
    return head.split(b"\r\n")


def check_lines(checks, case, written):
    for line in written.split(b"\r\n"):
        checks.check(case + ": no line over 998 bytes", len(line) <= 998, repr(line[:80]))
    for line in header_lines(written):
        checks.check(case + ": header lines are ASCII", all(b < 0x80 for b in line), repr(line[:80]))
        value = line.lstrip(b" \t")
        if not line[:1].isspace():
            value = value.split(b":", 1)[-1].strip(b" ")
        checks.check(case + ": header lines fold at 78 where a blank allows",
                     len(line) <= 78 or b" " not in value, repr(line))
        checks.check(case + ": no Bcc line", not line.lower().startswith(b"bcc:"))


def expected_text(body, single_part):
    text = re.sub(r"\r\n|\r|\n", "\r\n", body)
    if single_part and text and not text.endswith("\r\n"):
        text += "\r\n"   # a single part's text ends with its last line's line end
    return text


def reader(args):
    return subprocess.run([TOOL, "--reader", "unicode"] + args, capture_output=True, check=True).stdout


def run_case(checks, workdir, case, fields, files, charset="utf-8"):
    fields = dict({"From": "Alice Liddell <alice@localhost>", "To": "bob@localhost"}, **fields)
    form = os.path.join(workdir, "form")
    with open(form, "wb") as f:
        f.write(form_body(fields, files, charset))
    result = subprocess.run([TOOL, "compose", form], capture_output=True)
    checks.check(case + ": composed", result.returncode == 0, result.stderr.decode(errors="replace"))
    if result.returncode != 0:
        return
    written = result.stdout
    checks.check(case + ": ends with the end-of-data line", written.endswith(b"\r\n.\r\n"))
    check_lines(checks, case, written)
    message_bytes = collected(written)
    path = os.path.join(workdir, "message")
    with open(path, "wb") as f:
        f.write(message_bytes)

    subject = one_line(fields["Subject"])
    uploads = [(base_name(name), data) for name, _, data in files]
    text = expected_text(fields["Body"], not uploads)

    # Python, policy.default.
    message = email.message_from_bytes(message_bytes, policy=email.policy.default)
    checks.check(case + ": Python's subject", str(message["subject"]) == subject,
                 "%r != %r" % (str(message["subject"]), subject))
    body = message.get_body(("plain",))
    python_text = body.get_content() if body is not None else None
    checks.check(case + ": Python's text", python_text == text,
                 "%r != %r" % (python_text and python_text[:200], text[:200]))
    found = [(part.get_filename(), part.get_payload(decode=True)) for part in message.iter_attachments()]
    checks.check(case + ": Python's attachments", found == uploads, "%r != %r" % (
        [(n, len(d)) for n, d in found], [(n, len(d)) for n, d in uploads]))
    for field in ("from", "to", "cc"):
        posted = fields.get(field.capitalize(), "").replace(";", ",")   # the writer reads both
        wanted = [(a.display_name, a.addr_spec)
                  for a in email.policy.default.header_factory(field, posted).addresses] if posted else []
        got = [(a.display_name, a.addr_spec) for a in message[field].addresses] if message[field] else []
        # Python keeps the blank between two encoded words of a display name,
        # which RFC 2047 (6.2) drops: a name in several words shows a blank
        # twice where one word ends in a blank.
        got = [(re.sub("  ", " ", name), address) for name, address in got]
        checks.check(case + ": Python's " + field, got == wanted, "%r != %r" % (got, wanted))

    # Python, policy.strict: no defect anywhere.
    strict = email.message_from_bytes(message_bytes, policy=email.policy.strict)
    defects = [d for part in strict.walk() for d in part.defects]
    defects += [(name, d) for part in strict.walk() for name in part.keys() for d in part[name].defects]
    checks.check(case + ": no defect under policy.strict", not defects, repr(defects))

    # MailReader.
    summary = reader(["summary", path]).decode("utf-8").split("||||")
    checks.check(case + ": MailReader's subject", summary[2] == subject, "%r != %r" % (summary[2], subject))
    reader_text = reader(["body", path]).decode("utf-8")
    checks.check(case + ": MailReader's text", reader_text == text, "%r != %r" % (reader_text[:200], text[:200]))
    names = reader(["list", path]).decode("utf-8")
    checks.check(case + ": MailReader's attachment names", names == "".join(n + "||" for n, _ in uploads),
                 repr(names))
    for name, data in uploads:
        checks.check(case + ": MailReader's bytes of " + name, reader(["extract", path, name]) == data)


def main():
    checks = Checks()
    with tempfile.TemporaryDirectory() as workdir:
        for case, fields, files in CASES:
            run_case(checks, workdir, case, fields, files)
        run_case(checks, workdir, *GBK_CASE, charset="gbk")
    print("mail-writer-roundtrip.py: %d cases, %d passed, %d failed" % (len(CASES) + 1, checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
