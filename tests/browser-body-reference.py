#!/usr/bin/env python3
"""Writes tests/data/browser-bodies/reference.txt: the fields of every captured
browser body (<case>.body with its <case>.content-type) as Python's email
package reads them. The native test browser_bodies_test.cpp compares the
form-data parser with this file.

One line per field, tab-separated, byte strings in lower-case hex (empty for
no bytes):

    case  index  field-name  is-file  file-name  data

field-name and file-name are the bytes of the name and filename parameters
after quoted-string unescaping, exactly as the browser sent them (a browser's
%22 for a quote stays %22); is-file is 1 when a filename parameter is present,
even an empty one. data is the part's body without the CR LF that belongs to
the next delimiter.

    python3 tests/browser-body-reference.py [DIR]   (default: tests/data/browser-bodies)
"""
import email.policy
import pathlib
import sys
from email.parser import BytesParser

HERE = pathlib.Path(__file__).resolve().parent


def header_bytes(value):
    # The HTTP policy hands parameters back as text decoded from UTF-8; a byte
    # it could not decode would come back as U+FFFD and lose the original.
    if value is None:
        return None
    if "\ufffd" in value:
        raise ValueError(f"undecodable parameter {value!r}")
    return value.encode("utf-8", "surrogateescape")


def fields_by_email(content_type, body):
    message = BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + content_type + b"\r\nMIME-Version: 1.0\r\n\r\n" + body)
    if message.defects:
        raise ValueError(f"defects: {message.defects}")
    fields = []
    for part in message.iter_parts():
        name = header_bytes(part.get_param("name", header="content-disposition"))
        filename = header_bytes(part.get_param("filename", header="content-disposition"))
        fields.append((name, filename is not None, filename or b"", part.get_payload(decode=True)))
    return message.get_boundary().encode("ascii"), fields


def data_by_split(boundary, body):
    """The parts' data found by plain splitting, to check the email package's."""
    pieces = (b"\r\n" + body).split(b"\r\n--" + boundary)
    if pieces[0] != b"" or not pieces[-1].startswith(b"--"):
        raise ValueError("body does not start and end with a delimiter")
    return [piece.split(b"\r\n\r\n", 1)[1] for piece in pieces[1:-1]]


def main():
    directory = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE / "data" / "browser-bodies"
    lines = ["# case\tindex\tfield-name\tis-file\tfile-name\tdata (byte strings in hex)"]
    cases = sorted(directory.glob("*.body"))
    if not cases:
        raise SystemExit(f"no *.body in {directory}")
    for path in cases:
        case = path.stem
        body = path.read_bytes()
        content_type = path.with_suffix(".content-type").read_bytes().strip()
        boundary, fields = fields_by_email(content_type, body)
        split = data_by_split(boundary, body)
        if [data for _, _, _, data in fields] != split:
            raise ValueError(f"{case}: the email package's data differ from the split body")
        for index, (name, is_file, filename, data) in enumerate(fields):
            lines.append("\t".join([case, str(index), name.hex(), "1" if is_file else "0", filename.hex(), data.hex()]))
    (directory / "reference.txt").write_text("\n".join(lines) + "\n", encoding="ascii")
    print(f"{len(cases)} bodies, {len(lines) - 1} fields -> {directory / 'reference.txt'}")


if __name__ == "__main__":
    main()
