#!/usr/bin/env python3
"""Writes reader-expectations.txt: the subject, the attachments and the body
of every corpus message as Python's standard email package reads them today,
for mail_reader_corpus_test.cpp (the Unicode mail reader).

Run from anywhere (Python 3.11, standard library only):

    python3 tests/unit/data/corpus/make_reader_expectations.py
    python3 tests/unit/data/corpus/make_reader_expectations.py --body PATH

The first form reads every file under tests/data/corpus/mail (all
sub-folders, sorted by relative path) and rewrites reader-expectations.txt
next to this script. Commit the result: the native test reads it and needs no
Python. The second prints Python's body of the message PATH (relative to
tests/data/corpus/mail), blanks normalised, to set beside what the test prints
for a difference.

Python's view (email.policy.default), following the reader's rules:

  - The subject: str(msg["subject"]), encoded words decoded in their
    charsets, except that the blanks at either end of the field's unfolded
    value are trimmed before it is decoded, as the reader reads every field
    (Python keeps them; blanks an encoded word decodes to are kept by both).
    A message without a Subject field has no subject line.
  - Parts: depth-first in document order, as message.walk() gives them. An
    attached message (message/rfc822 and the other message/* types) is a
    leaf: the reader hands it out whole and does not look inside. Messages
    are parsed with OpaqueMessages as the message class, so that the parser
    keeps an attached message as the part's payload text.
  - An attachment: a part whose Content-Disposition is "attachment" (any
    case), or a part that is not multipart and whose main type is not
    "text", when it has a name. The name is get_filename(): the
    disposition's filename (RFC 2231 and 2047 decoded), else Content-Type's
    name. A part without a name is not listed.
  - The bytes: get_payload(decode=True), by the part's own
    Content-Transfer-Encoding. Where Python cannot decode a base64 body (a
    lone symbol after the last complete group: it reports
    InvalidBase64LengthDefect and hands back the base64 text itself), it
    has no bytes to compare: the digest is "-".
  - A download by name gives the first attachment of that name (ASCII
    letters compared without regard to case), so each listed attachment
    carries the digest of that first namesake, not necessarily its own.
  - The body: get_body(("plain", "html")), the first text/plain part that
    is no attachment, else the first such text/html part (inside a
    multipart/related only its start part counts). Its payload
    (get_payload(decode=True)) is read in its charset, us-ascii when it
    declares none or one Python does not know, undecodable bytes as U+FFFD;
    HTML is read in the charset the part declares, else the one a <meta>
    declares, and made text by the rules of tests/html-text-reference.py.
    No body (get_body gives none) is an empty text. The text is compared
    with blanks normalised (normalised() below) and written as the SHA-256
    of that.

Messages where the reader differs from Python for a stated reason are kept by
hand in reader-by-design.txt; this script does not touch that file.
"""

import email
import email.message
import email.policy
import hashlib
import importlib.util
import os
import re
import sys

sys.dont_write_bytecode = True   # no __pycache__ beside the data
import corpus_view   # noqa: E402

_spec = importlib.util.spec_from_file_location(
    "html_text_reference", os.path.join(corpus_view.TOP, "tests", "html-text-reference.py"))
html_text = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(html_text)

HEADER = """\
# Subject, attachments and body of every message of tests/data/corpus/mail as
# Python's email package (policy.default) reads them. Written by
# make_reader_expectations.py (which explains Python's view); do not edit by
# hand, run the script.
#
# One block per message, every message listed, in sorted path order:
#   M <path relative to tests/data/corpus/mail>
#   S <subject>              absent when the message has no Subject field
#   A <sha256> <name>        one line per attachment, in order
#   B <sha256>               the body: the SHA-256 of its text as UTF-8 with
#                            blanks normalised; "B" alone for no text
# <sha256> is the lowercase hex SHA-256 of the bytes a download by that name
# gives (the first attachment of that name, ASCII case ignored), or "-" when
# Python could not decode those bytes (only the name is compared). Text (the
# subject, a name) is written as UTF-8 with '%' and every byte outside
# 0x21..0x7E (space included) as %XX (uppercase hex); empty text leaves
# nothing after the line's last field.
# Lines starting with '#' and empty lines are ignored.
"""


class OpaqueMessages(corpus_view.Opaque, email.message.EmailMessage):
    pass


def subject(message):
    """str(message["subject"]), decoded from the first Subject field's value
    with its outer blanks trimmed; None when there is none."""
    for name, value in message.raw_items():
        if name.lower() == "subject":
            unfolded = re.sub(r"[\r\n]", "", value)   # as header_fetch_parse unfolds
            return str(message.policy.header_factory(name, unfolded.strip(" \t")))
    return None


def is_attachment(part):
    if part.get_content_disposition() == "attachment":
        return True
    return not part.is_multipart() and part.get_content_maintype() != "text"


def normalised(text):
    """Blanks normalised: CR, LF and CR LF end lines; in a line, runs of
    spaces and tabs become one space, none at either end; empty lines are
    dropped; every line ends with LF."""
    lines = (re.sub(r"[ \t]+", " ", line).strip(" ") for line in re.split(r"\r\n|\r|\n", text))
    return "".join(line + "\n" for line in lines if line)


def body_text(message):
    part = message.get_body(("plain", "html"))
    if part is None:
        return ""
    payload = part.get_payload(decode=True) or b""
    charset = part.get_content_charset()
    if part.get_content_type() == "text/html":
        charset = charset or html_text.meta_charset(payload)
    charset = charset if charset and html_text.known(charset) else "us-ascii"
    text = payload.decode(charset, errors="replace")
    return html_text.html_to_text(text) if part.get_content_type() == "text/html" else text


def body_line(message):
    text = normalised(body_text(message))
    return corpus_view.line("B", hashlib.sha256(text.encode("utf-8")).hexdigest().encode() if text else b"")


def block(data):
    message = email.message_from_bytes(data, _class=OpaqueMessages, policy=email.policy.default)
    text = subject(message)
    lines = [] if text is None else [corpus_view.line("S", text.encode("utf-8", "surrogateescape"))]
    found = []   # (name as UTF-8, bytes or None)
    for part in message.walk():
        if is_attachment(part) and part.get_filename() is not None:
            found.append((part.get_filename().encode("utf-8", "surrogateescape"), corpus_view.body_bytes(part)))
    return lines + corpus_view.attachment_lines(found) + [body_line(message)]


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--body":
        with open(os.path.join(corpus_view.CORPUS, sys.argv[2]), "rb") as f:
            message = email.message_from_bytes(f.read(), _class=OpaqueMessages, policy=email.policy.default)
        sys.stdout.write(normalised(body_text(message)))
        sys.exit(0)
    sys.exit(corpus_view.write("reader-expectations.txt", HEADER, block))
