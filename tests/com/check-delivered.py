#!/usr/bin/env python3
"""Reads the message copies the sendmail suite delivered with Python's email
package and holds each to the form that was posted for it.

    python3 tests/com/check-delivered.py DIR

DIR is the folder tests/com/run.sh hands to sendmail.vbs, which keeps there,
for each post it names, <name>.eml (a delivered copy, as written into the
user's directory) and <name>.body (the multipart/form-data body posted).
For each copy:

  - the mail server collects it up to the first line holding "." alone and
    takes one leading "." off any other line: that line must be the last;
  - what it collects parses with no defect, in the message or any part;
  - Date parses, with a 4-digit year and a numeric zone;
  - the attachments' file names are the posted files' names (the last
    component of the client's path) and their payloads the posted bytes, in
    form order, every file field with a name and bytes once;
  - the text part's content, decoded in the charset it declares, is the
    posted Body read as GBK without the white space around it, where only
    wrapping may have turned a run of blanks into a line break (or dropped
    blanks at one).

Prints "ok <check>" or "not ok <check> # <detail>" per check and
"N passed, M failed" last; exits 1 when a check failed.
"""
import email.policy
import email.utils
import pathlib
import re
import sys
from email.parser import BytesParser

END_OF_DATA = b"\r\n.\r\n"
TEXT_WHITE_SPACE = " \t\r\n\v\f"   # what the composer trims from the text
BLANKS = "[ \t\v\f]"               # what wrapping may turn into a line break
DATE_FORM = re.compile(r"[A-Z][a-z]{2}, \d{2} [A-Z][a-z]{2} \d{4} \d{2}:\d{2}:\d{2} [+-]\d{4}")


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok {name}")
        else:
            self.failed += 1
            print(f"not ok {name} # {detail}")

    def equal(self, name, actual, expected):
        self.check(name, actual == expected, f"got {actual!r}, expected {expected!r}")


def posted_form(body):
    """The posted Body bytes (None when absent) and the uploads a post
    attaches, [(name, bytes)], read with the email package."""
    delimiter = body.split(b"\r\n", 1)[0]
    # compat32 hands parameters back as sent, so that a client's path keeps
    # its backslashes: a quoted name unescapes \" and \\ only, as the
    # form-data parser reads it.
    form = BytesParser(policy=email.policy.compat32).parsebytes(
        b"Content-Type: multipart/form-data; boundary=" + delimiter[2:] + b"\r\nMIME-Version: 1.0\r\n\r\n" + body)
    text = None
    uploads = []
    for part in form.get_payload():
        name = unquoted(part.get_param("name", header="content-disposition", unquote=False))
        filename = unquoted(part.get_param("filename", header="content-disposition", unquote=False))
        data = part.get_payload(decode=True)
        if filename is None:
            if name == "Body" and text is None:
                text = data
        elif filename and data:
            uploads.append((attachment_name(filename), data))
    return text, uploads


def unquoted(value):
    if value is None or not (len(value) >= 2 and value[0] == value[-1] == '"'):
        return value
    return re.sub(r'\\(["\\])', r"\1", value[1:-1])


def attachment_name(client_path):
    """What a client's file name is attached as: its last path component."""
    name = re.split(r"[\\/]", client_path)[-1]
    if re.match(r"[A-Za-z]:", name):
        name = name[2:]
    return name or "attachment"


def collected(copy):
    """The copy up to its end-of-data line with dot-stuffing undone, and
    whether that line is its last."""
    lines = copy.split(b"\r\n")
    for i, line in enumerate(lines):
        if line == b".":
            kept = [l[1:] if l.startswith(b".") else l for l in lines[:i]]
            return b"\r\n".join(kept) + b"\r\n", lines[i + 1:] == [b""]
    return copy, False


def wrapped_from(delivered, posted):
    """Whether delivered is posted with nothing changed but runs of blanks
    turned into line breaks, or blanks dropped next to a line break."""
    lines = delivered.replace("\r\n", "\n").split("\n")
    pattern = f"(?:{BLANKS}*\n{BLANKS}*|{BLANKS}+)".join(re.escape(line) for line in lines)
    return re.fullmatch(pattern, posted.replace("\r\n", "\n")) is not None


def check_copy(checks, case, copy, body):
    message_bytes, ends_there = collected(copy)
    checks.check(f"{case}: the end-of-data line comes last", ends_there)
    message = BytesParser(policy=email.policy.default).parsebytes(message_bytes)

    defects = [(part.get_content_type(), d) for part in message.walk() for d in part.defects]
    checks.check(f"{case}: no defects", not defects, repr(defects))

    # As written: the parsed header would hand back a normalised date.
    date = next((value for name, value in message.raw_items() if name.lower() == "date"), "")
    try:
        parsed = email.utils.parsedate_to_datetime(date)
        date_ok = DATE_FORM.fullmatch(date) is not None and parsed.tzinfo is not None
    except (TypeError, ValueError):
        date_ok = False
    checks.check(f"{case}: Date parses, 4-digit year, numeric zone", date_ok, repr(date))

    posted_text, uploads = posted_form(body)
    attachments = list(message.iter_attachments())
    checks.equal(f"{case}: attachment names", [a.get_filename() for a in attachments], [n for n, _ in uploads])
    checks.check(f"{case}: attachment bytes", [a.get_content() for a in attachments] == [d for _, d in uploads],
                 f"{len(attachments)} attachments, {len(uploads)} uploads")

    texts = [p.get_content() for p in message.iter_parts() if p.get_content_type() == "text/plain"
             and not p.is_attachment()]
    expected = [] if not posted_text else [posted_text.decode("gbk").strip(TEXT_WHITE_SPACE)]
    ok = len(texts) == len(expected) and all(wrapped_from(t, e) for t, e in zip(texts, expected))
    checks.check(f"{case}: the text is the posted Body", ok, f"got {texts!r}, expected {expected!r}")


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: check-delivered.py DIR")
    directory = pathlib.Path(sys.argv[1])
    checks = Checks()
    copies = sorted(directory.glob("*.eml"))
    checks.check("the sendmail suite kept delivered copies", copies, f"no *.eml in {directory}")
    for path in copies:
        body = path.with_suffix(".body")
        if not body.exists():
            checks.check(f"{path.stem}: posted body kept", False, f"no {body.name}")
            continue
        try:
            check_copy(checks, path.stem, path.read_bytes(), body.read_bytes())
        except Exception as error:   # a copy the package cannot read at all is one failure
            checks.check(f"{path.stem}: readable", False, repr(error))
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
