#!/usr/bin/env python3
"""Writes attachments.txt: the attachments of every corpus message as Python's
standard email package sees them, for mime_corpus_attachments_test.cpp.

Run from anywhere (Python 3, standard library only):

    python3 tests/unit/data/corpus/make_attachments.py

It reads every file under tests/data/corpus/mail (all sub-folders, sorted by
relative path) and rewrites attachments.txt next to this script. Commit the
result: the native test reads it and needs no Python.

Python's view, made comparable with what the mailbox pages offer:

  - Parts: depth-first in document order, as message.walk() gives them,
    entering attached messages (message/rfc822 and the other message/*
    types) too.
  - An attachment: get_content_disposition() == "attachment" and
    get_filename() is not None (a page can only fetch a part by its name).
  - The name as bytes: get_filename() (compat32: RFC 2231 "filename*" and the
    Content-Type "name" fallback included), with raw 8-bit header bytes given
    back as they are in the file (compat32 turns them into U+FFFD when a
    header is fetched; RawHeaders leaves them as surrogate escapes). RFC 2047
    encoded words in it are decoded by email.header.decode_header, and their
    decoded bytes are used as they are, charset ignored: one encoded word
    compares equal whatever its charset. Text outside encoded words keeps
    decode_header's spacing. Characters Python decoded from a "filename*"
    charset are written as UTF-8.
  - The bytes: get_payload(decode=True). Python would parse an attached
    message into a message object, which has no payload bytes, and writing it
    back changes what is not well-formed. So messages are parsed with
    OpaqueMessages as the message class: the parser then takes an attached
    message for an ordinary leaf part, whose payload is the attached
    message's text (decoded by get_payload by the part's own
    Content-Transfer-Encoding). The parts inside are listed by parsing that
    text (undecoded, as Python's parser does) in the same way, right after
    the attached message itself: the order walk() gives.
    Where Python cannot decode a base64 body (a lone symbol after the last
    complete group: it reports InvalidBase64LengthDefect and hands back the
    base64 text itself), it has no bytes to compare: the digest is "-".
  - A download by name gives the first attachment of that name (ASCII letters
    compared without regard to case), so each listed attachment carries the
    digest of that first namesake, not necessarily its own.

Messages whose differences come from how our header reader is built are kept
by hand in attachments-by-design.txt; this script does not touch that file.
"""

import email
import email.header
import email.message
import email.policy
import sys

sys.dont_write_bytecode = True   # no __pycache__ beside the data
import corpus_view   # noqa: E402

HEADER = """\
# Attachments of every message of tests/data/corpus/mail as Python's email
# package sees them. Written by make_attachments.py (which explains how
# Python's view is mapped to bytes); do not edit by hand, run the script.
#
# One block per message, every message listed, in sorted path order:
#   M <path relative to tests/data/corpus/mail>
#   A <sha256> <name>        one line per attachment, in order
# <sha256> is the lowercase hex SHA-256 of the bytes a download by that name
# gives (the first attachment of that name, ASCII case ignored), or "-" when
# Python could not decode those bytes (only the name is compared). <name> is the
# file name's bytes with '%', space and every byte outside 0x21..0x7E written
# as %XX (uppercase hex); an empty name leaves nothing after the digest.
# Lines starting with '#' and empty lines are ignored.
"""


class RawHeaders(email.policy.Compat32):
    """compat32, but header values are handed out as read: 8-bit bytes stay
    surrogate escapes instead of becoming U+FFFD."""

    def header_fetch_parse(self, name, value):
        return value


class OpaqueMessages(corpus_view.Opaque, email.message.Message):
    pass


def parse(data):
    return email.message_from_bytes(data, _class=OpaqueMessages, policy=RawHeaders())


def walk(message):
    """message.walk(), entering attached messages."""
    for part in message.walk():
        yield part
        if part.is_message() and not part.is_multipart():
            yield from walk(parse(part.get_payload().encode("ascii", "surrogateescape")))


def raw(text):
    """Header text back to the file's bytes (8-bit bytes come as surrogate
    escapes; characters decoded from an RFC 2231 charset become UTF-8)."""
    return text.encode("utf-8", "surrogateescape")


def name_bytes(filename):
    chunks = email.header.decode_header(filename)
    if len(chunks) == 1 and isinstance(chunks[0][0], str):
        return raw(chunks[0][0])   # no encoded word
    out = b""
    for chunk, charset in chunks:
        if charset is None:
            # decode_header hands text outside encoded words back as
            # raw-unicode-escape bytes; use the file's own bytes instead.
            chunk = raw(chunk.decode("raw-unicode-escape"))
        out += chunk
    return out


def attachments(data):
    found = []   # (name, bytes or None)
    for part in walk(parse(data)):
        if part.get_content_disposition() == "attachment" and part.get_filename() is not None:
            found.append((name_bytes(part.get_filename()), corpus_view.body_bytes(part)))
    return corpus_view.attachment_lines(found)


if __name__ == "__main__":
    sys.exit(corpus_view.write("attachments.txt", HEADER, attachments))
