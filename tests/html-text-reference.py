#!/usr/bin/env python3
"""Writes tests/data/html-text/reference.txt: for every corpus message whose
body comes from HTML, the HTML and the plain text Python's html.parser makes
of it by the rules of mime/HtmlText.h. The native test html_text_test.cpp
runs HtmlToText on the same HTML and compares.

    python3 tests/html-text-reference.py   (from anywhere; standard library only)

Which messages: those where msg.get_body(('plain', 'html')) (policy.default)
is a text/html part, i.e. that have no text/plain body. The HTML is the part's
payload (Content-Transfer-Encoding undone) read in the charset the part
declares, else the one a <meta> in the HTML declares, else US-ASCII;
undecodable bytes become U+FFFD, an unknown charset reads as US-ASCII.

The text: HTMLParser (convert_charrefs=True, so character references are
decoded by html.unescape) fed the whole HTML, then closed, with HtmlText
below turning its events into lines. HtmlToText reads markup as the
html.parser of Python 3.11 does; later releases changed how it ends some
unterminated markup, so write the file with 3.11 (3.10 to 3.13.0 write it
byte for byte the same).
"""
import codecs
import email
import email.policy
import os
import re
import sys
from html.parser import HTMLParser

sys.dont_write_bytecode = True   # no __pycache__ beside the data
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "unit", "data", "corpus"))
import corpus_view   # noqa: E402

OUTPUT = os.path.join(HERE, "data", "html-text", "reference.txt")

HEADER = """\
# The HTML bodies of tests/data/corpus/mail and their plain text, by Python's
# html.parser. Written by tests/html-text-reference.py (which explains how);
# do not edit by hand, run the script.
#
# One block per message whose body is HTML (no text/plain part), in sorted
# path order:
#   M <path relative to tests/data/corpus/mail>
#   C <charset>     the charset a <meta> of the HTML declares (empty: none)
#   H <html>        the HTML as UTF-8
#   T <text>        the text as UTF-8, every line ending in CR LF
# or, instead of the T line, "E <why>" where html.parser gave up.
# Text is written with '%' and every byte outside 0x21..0x7E (space included)
# as %XX (uppercase hex); empty text leaves nothing after the letter.
"""

BLANKS = " \t\r\n\f"
LINE_ENDS_AFTER = {"p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6"}


class HtmlText(HTMLParser):
    """The events of html.parser as lines of text:

    - <head> ... </head> is dropped; a <body> start tag ends an open head;
      <script> and <style> are dropped with their content (html.parser reads
      it as raw text up to the matching end tag); comments, declarations and
      processing instructions give nothing;
    - <br> and <hr> end the line; so do the end tags of LINE_ENDS_AFTER;
      <li> ends a line that has anything on it and starts the next with "- ";
    - blanks (space, tab, CR, LF, FF) of the decoded text collapse to one
      space, none at a line's start; at a line's end spaces and no-break
      spaces are dropped;
    - empty lines: none at the start or the end, at most one in a row; every
      line ends with CR LF.
    """

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.lines = []
        self.line = ""
        self.has_text = False   # the line has text beyond a list mark
        self.space = False      # a blank is pending between text
        self.in_head = False
        self.raw = None         # "script" or "style" while inside one

    def handle_starttag(self, tag, attrs):
        if tag == "head":
            self.in_head = True
        elif tag == "body":
            self.in_head = False
        if tag in ("script", "style"):
            self.raw = tag
        if self.in_head or self.raw:
            return
        if tag in ("br", "hr"):
            self.end_line()
        elif tag == "li":
            if self.line:
                self.end_line()
            self.line = "- "

    def handle_endtag(self, tag):
        if tag == self.raw:
            self.raw = None
            return
        if tag == "head":
            self.in_head = False
            return
        if self.in_head or self.raw:
            return
        if tag in LINE_ENDS_AFTER:
            self.end_line()

    def handle_data(self, data):
        if self.in_head or self.raw:
            return
        for ch in data:
            if ch in BLANKS:
                self.space = self.has_text
            else:
                if self.space:
                    self.line += " "
                self.line += ch
                self.has_text = True
                self.space = False

    def end_line(self):
        self.lines.append(self.line.strip(" \xa0"))
        self.line = ""
        self.has_text = False
        self.space = False

    def text(self):
        if self.line:
            self.end_line()
        out = []
        blank = False
        for line in self.lines:
            if not line:
                blank = bool(out)
                continue
            if blank:
                out.append("")
            out.append(line)
            blank = False
        return "".join(line + "\r\n" for line in out)


def html_to_text(html):
    parser = HtmlText()
    parser.feed(html)
    parser.close()
    return parser.text()


class MetaCharset(HTMLParser):
    """The charset of the first <meta charset=...> or <meta http-equiv=
    "Content-Type" content="...; charset=...">."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.charset = None

    def handle_starttag(self, tag, attrs):
        if tag != "meta" or self.charset is not None:
            return
        values = {}
        for name, value in attrs:
            values.setdefault(name, value or "")
        if values.get("charset", "").strip():
            self.charset = values["charset"].strip()
        elif values.get("http-equiv", "").strip().lower() == "content-type":
            found = re.search(r"""charset\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s;"']+))""",
                              values.get("content", ""), re.I)
            if found and any(found.groups()):
                self.charset = next(group for group in found.groups() if group)

    handle_startendtag = handle_starttag


def meta_charset(payload):
    parser = MetaCharset()
    try:
        parser.feed(payload.decode("latin-1"))
        parser.close()
    except AssertionError:
        pass
    return parser.charset or ""


def known(charset):
    try:
        codecs.lookup(charset)
        return True
    except LookupError:
        return False


def main():
    paths = []
    for folder, _, files in os.walk(corpus_view.CORPUS):
        for file in files:
            paths.append(os.path.relpath(os.path.join(folder, file), corpus_view.CORPUS).replace(os.sep, "/"))
    paths.sort()
    lines = [HEADER]
    count = failed = 0
    for path in paths:
        with open(os.path.join(corpus_view.CORPUS, path), "rb") as f:
            message = email.message_from_bytes(f.read(), policy=email.policy.default)
        body = message.get_body(("plain", "html"))
        if body is None or body.get_content_type() != "text/html":
            continue
        payload = body.get_payload(decode=True) or b""
        declared = meta_charset(payload)
        charset = body.get_content_charset() or declared or "us-ascii"
        html = payload.decode(charset if known(charset) else "us-ascii", errors="replace")
        lines.append("M %s\n" % path)
        lines.append(corpus_view.line("C", declared.encode("utf-8")))
        lines.append(corpus_view.line("H", html.encode("utf-8")))
        try:
            lines.append(corpus_view.line("T", html_to_text(html).encode("utf-8")))
        except AssertionError as error:   # html.parser of Python 3.11 gives up on "<![x"
            lines.append(corpus_view.line("E", str(error).encode("utf-8")))
            failed += 1
        count += 1
    os.makedirs(os.path.dirname(OUTPUT), exist_ok=True)
    with open(OUTPUT, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
    print("%d messages, %d with an HTML body (%d html.parser gave up on) -> %s"
          % (len(paths), count, failed, os.path.relpath(OUTPUT, os.path.dirname(HERE))))


if __name__ == "__main__":
    main()
