"""What make_attachments.py and make_reader_expectations.py share: the corpus
walk, Python's bytes and digests of the attachments and the writing of an
expectation file (its header, then one block per message in sorted path
order)."""

import email.errors
import hashlib
import os

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.normpath(os.path.join(HERE, "..", "..", "..", ".."))
CORPUS = os.path.join(TOP, "tests", "data", "corpus", "mail")


class Opaque:
    """Mixed into a message class: a part whose message/* type the parser
    does not act on keeps an attached message as its payload text.
    is_message() tells the real type."""

    def is_message(self):
        return super().get_content_type().startswith("message/")

    def get_content_type(self):
        return "application/octet-stream" if self.is_message() else super().get_content_type()


def body_bytes(part):
    """The decoded bytes, or None when Python could not decode them."""
    body = part.get_payload(decode=True)
    if any(isinstance(defect, email.errors.InvalidBase64LengthDefect) for defect in part.defects):
        return None   # what Python hands back is the base64 text itself
    return body or b""


def attachment_lines(found):
    """An "A <sha256> <name>" line for each (name, bytes or None) found; the
    digest is that of the first namesake (ASCII case ignored)."""
    lines = []
    for name, _ in found:
        first = next(body for other, body in found if other.lower() == name.lower())
        lines.append(line("A " + ("-" if first is None else hashlib.sha256(first).hexdigest()), name))
    return lines


def line(head, text):
    """head, then the bytes of text with '%' and every byte outside 0x21..0x7E
    as %XX; empty text leaves nothing after head."""
    escaped = "".join("%%%02X" % b if b == 0x25 or b <= 0x20 or b >= 0x7F else chr(b) for b in text)
    return ("%s %s" % (head, escaped)).rstrip(" ") + "\n"


def write(name, header, blocks):
    """Writes the file name beside this module: header, then for every corpus
    message "M <path>" and the lines blocks(its bytes) gives."""
    paths = []
    for folder, _, files in os.walk(CORPUS):
        for file in files:
            paths.append(os.path.relpath(os.path.join(folder, file), CORPUS).replace(os.sep, "/"))
    paths.sort()
    lines = [header]
    for path in paths:
        with open(os.path.join(CORPUS, path), "rb") as f:
            data = f.read()
        lines.append("M %s\n" % path)
        lines += blocks(data)
    output = os.path.join(HERE, name)
    with open(output, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
    count = sum(1 for text in lines if text.startswith("A "))
    print("%d messages, %d attachments -> %s" % (len(paths), count, os.path.relpath(output, TOP)))
    return 0
