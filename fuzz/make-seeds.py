#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/seeds/<target>/.

fuzz_mime_message: every message of tests/data/corpus/mail cut to its
structure: each header block (its first lines), the delimiter lines of every
multipart body, and only the first lines of every other body (line ends and
8-bit bytes kept as they are), plus a few shapes the corpus lacks. Identical
results are written once.

fuzz_mail_reader: the same cut, except that a text/html body keeps its first
HTML_BYTES (whole lines), so the HTML-to-text reading starts from real mail
markup; plus a few HTML shapes the corpus lacks.

The other targets get small inputs made here: HZ text cut from the corpus,
form bodies, pages with includes, composed forms (for SendMail and for
MailWriter) and request heads.

Run from anywhere: python3 fuzz/make-seeds.py (replaces the seed folders).
"""
import hashlib
import os
import re
import shutil
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(ROOT, "fuzz", "seeds")
MAIL = os.path.join(ROOT, "tests", "data", "corpus", "mail")
HZ = os.path.join(ROOT, "tests", "data", "corpus", "hz")

BODY_LINES = 2        # lines kept of every leaf body
PREAMBLE_LINES = 1    # lines kept of a preamble or an epilogue
LINE_BYTES = 300      # a longer header line is cut (past the engine's 254)
BODY_LINE_BYTES = 120 # a longer body line is cut
HEADER_LINES = 16     # lines kept of a header block (its empty line apart)
MESSAGE_BYTES = 6 * 1024
MAX_DEPTH = 12
HTML_BYTES = 2 * 1024        # kept of a text/html body (fuzz_mail_reader)
HTML_MESSAGE_BYTES = 8 * 1024

HTML_TYPE = re.compile(rb'^content-type:\s*"?text/html', re.IGNORECASE | re.MULTILINE)
BOUNDARY = re.compile(rb'boundary\s*=\s*(?:"([^"\r\n]*)"|([^\s;"]+))', re.IGNORECASE)


def split_lines(data):
    """The lines of data, each with its LF; the engine breaks lines at LF only."""
    out, start = [], 0
    while start < len(data):
        lf = data.find(b"\n", start)
        end = len(data) if lf < 0 else lf + 1
        out.append(data[start:end])
        start = end
    return out


def cut_line(line, limit=LINE_BYTES):
    if len(line) <= limit:
        return line
    end = b"\r\n" if line.endswith(b"\r\n") else (b"\n" if line.endswith(b"\n") else b"")
    return line[:limit] + end


def cut_body_line(line):
    return cut_line(line, BODY_LINE_BYTES)


def header_end(lines):
    """Index of the first line after the header block (its empty line included)."""
    for i, line in enumerate(lines):
        if line.strip() == b"":
            return i + 1
    return len(lines)


def first_bytes(lines, limit):
    """The first whole lines of lines that fit in limit bytes (at least one)."""
    out, total = [], 0
    for line in lines:
        if out and total + len(line) > limit:
            break
        out.append(line)
        total += len(line)
    return out


def structure(lines, depth, html_bytes=0):
    """The part in lines reduced to its structure; with html_bytes, a text/html
    body keeps that many bytes of whole lines."""
    head = header_end(lines)
    out = [cut_line(l) for l in lines[:min(head, HEADER_LINES)]]
    if head > HEADER_LINES:
        out.append(lines[head - 1])
    body = lines[head:]
    match = BOUNDARY.search(b"".join(lines[:head])) if depth < MAX_DEPTH else None
    if not match:
        if html_bytes and HTML_TYPE.search(b"".join(lines[:head])):
            out += first_bytes(body, html_bytes)
        else:
            out += [cut_body_line(l) for l in body[:BODY_LINES]]
        return out
    delimiter = b"--" + (match.group(1) if match.group(1) is not None else match.group(2))
    i = 0
    kept = 0
    while i < len(body) and not body[i].lstrip(b" \t\r").startswith(delimiter):
        if kept < PREAMBLE_LINES:
            out.append(cut_body_line(body[i]))
            kept += 1
        i += 1
    child = []
    closed = False
    while i < len(body):
        line = body[i]
        if line.lstrip(b" \t\r").startswith(delimiter):
            if child:
                out += structure(child, depth + 1, html_bytes)
                child = []
            out.append(line)
            closed = line.lstrip(b" \t\r")[len(delimiter):].startswith(b"--")
            i += 1
            if closed:
                out += [cut_body_line(l) for l in body[i:i + PREAMBLE_LINES]]
                break
            continue
        child.append(line)
        i += 1
    if child and not closed:
        out += structure(child, depth + 1, html_bytes)
    return out


def write_unique(folder, name, data, seen):
    digest = hashlib.sha1(data).hexdigest()
    if digest in seen:
        return
    seen.add(digest)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def fresh(target):
    folder = os.path.join(SEEDS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def mime_message():
    folder = fresh("fuzz_mime_message")
    seen = set()
    for dirpath, _, files in sorted(os.walk(MAIL)):
        for name in sorted(files):
            path = os.path.join(dirpath, name)
            with open(path, "rb") as f:
                data = f.read()
            cut = b"".join(structure(split_lines(data), 0))[:MESSAGE_BYTES]
            rel = os.path.relpath(path, MAIL).replace(os.sep, "_")
            write_unique(folder, rel, cut, seen)
    # Shapes the corpus lacks.
    extra = {
        "unterminated-close": b"Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                              b"Content-Disposition: attachment; filename=a.txt\r\n\r\nabc\r\n--b-",
        "nested-lf": b"Content-Type: multipart/mixed; boundary=o\n\n--o\nContent-Type: multipart/alternative;"
                     b" boundary=i\n\n--i\nContent-Transfer-Encoding: base64\n\nQUJD\n--i--\n--o--\n",
        "encoded-words": b"Subject: =?gb2312?B?1tDOxA==?=\r\nFrom: =?utf-8?Q?a=20b?= <a@b>\r\n\r\n=41=\r\nb\r\n",
    }
    for name, data in extra.items():
        write_unique(folder, name, data, seen)


def mail_reader():
    folder = fresh("fuzz_mail_reader")
    seen = set()
    for dirpath, _, files in sorted(os.walk(MAIL)):
        for name in sorted(files):
            path = os.path.join(dirpath, name)
            with open(path, "rb") as f:
                data = f.read()
            cut = b"".join(structure(split_lines(data), 0, HTML_BYTES))[:HTML_MESSAGE_BYTES]
            rel = os.path.relpath(path, MAIL).replace(os.sep, "_")
            write_unique(folder, rel, cut, seen)
    # HTML shapes the corpus lacks, as whole messages and as bare markup.
    html = {
        "script-and-style": b"<html><head><title>t</title><style>p{}</style></head><body><p>a<script>"
                            b"if (a</b) x = '<p>';</SCRIPT >b</p><ul><li>one<li>two</ul></body></html>",
        "unclosed": b"<p title=\"a>b\">x &notit; &#x110000;&#128;<br/>y <!-- open <a href='q",
        "meta-gbk": b"<meta http-equiv=Content-Type content=\"text/html; charset=gb2312\">\xd6\xd0\xce\xc4<hr>",
        "marked-section": b"<b>a</b><![if x]>b<![CDATA[c]]>d<?pi x?>e<!DOCTYPE x>&amp&nbsp;\r\n\t f",
        "unclosed-script": b"text<script>never shown",
    }
    for name, data in html.items():
        write_unique(folder, name, data, seen)
        write_unique(folder, name + "-mail", b"Content-Type: text/html; charset=utf-8\r\n"
                     b"Content-Transfer-Encoding: 8bit\r\n\r\n" + data, seen)
    write_unique(folder, "alternative-qp",
                 b"Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
                 b"plain\r\n--b\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
                 b"<p>=E4=B8=AD<meta charset=3D\"utf-8\">=\r\nx</p>\r\n--b--\r\n", seen)


def hz_decoder():
    folder = fresh("fuzz_hz_decoder")
    seen = set()
    for dirpath, _, files in sorted(os.walk(HZ)):
        for name in sorted(files):
            with open(os.path.join(dirpath, name), "rb") as f:
                write_unique(folder, name, f.read(2048), seen)
    for i, data in enumerate([b"~{<:Ky2;S{#,~}", b"~~~\n~{\n~}", b"~{ab~", b"~}~{~~~"]):
        write_unique(folder, "edge-%d" % i, data, seen)


def codecs():
    folder = fresh("fuzz_codecs")
    seen = set()
    for i, data in enumerate([b"QUJD\r\nREVG", b"QQ==", b"Q=Q=", b"=41=42=\r\nc=3D", b"=?gb2312?B?1tDOxA==?= x",
                              b"=?x?Q?a_b=3F?=", b"\x00\xff\x80abc"]):
        write_unique(folder, "seed-%d" % i, data, seen)


def write_seeds(target, inputs):
    """Writes each input as seed-N into the target's fresh seed folder."""
    folder = fresh(target)
    seen = set()
    for i, data in enumerate(inputs):
        write_unique(folder, "seed-%d" % i, data, seen)


def form_data():
    body = (b"-----b7\r\nContent-Disposition: form-data; name=\"From\"\r\n\r\nme@x\r\n"
            b"-----b7\r\nContent-Disposition: form-data; name=\"file\"; filename=\"C:\\a\\b.txt\"\r\n"
            b"Content-Type: text/plain\r\n\r\nbytes\r\n-----b7--\r\n")
    write_seeds("fuzz_form_data", [body, body[:60], b"--x\r\nContent-Disposition: form-data; name=a\r\n\r\n\r\n--x--"])


def page_source():
    # One file per NUL-separated piece; each piece's first line is its site path.
    pages = [
        b"page.asp\n<%@ LANGUAGE=\"JScript\" CODEPAGE=936 %>\n<p><%= a %></p>\n<% if (x) { %>y<% } %>\n",
        b"dir/page.asp\nA<!-- #include file=\"inc/a.inc\" -->B\0dir/inc/a.inc\n<% x = 1 %>\n<!--#include virtual='/top.inc'-->\0"
        b"top.inc\nTOP <%= y %>\n",
        b"page.asp\n<!-- #include file=\"self.inc\" -->\0self.inc\n<!-- #include file=\"self.inc\" -->",
        b"page.asp\n\xef\xbb\xbf  <%@ language=vbs %>\r\nhi <%= 1 %>\r\n<!-- not an include -->\r\n<% ' %>",
        b"a/b.asp\n<!-- #include file=\"..\\..\\x.inc\" --><!-- #include file=\"../c.inc\" -->\0c.inc\nC",
        b"page.asp\n<% unterminated",
        b"page.asp\nx<%@ late %>",
    ]
    write_seeds("fuzz_page_source", pages)


def send_mail():
    # NUL-separated: From, To, Subject, Body, then file name and bytes pairs.
    forms = [
        b"me@x\0ann@127.0.0.1\0Hi\0Hello\r\n.\r\nthere",
        b"me@x\0Ann <ann@lan>; bob@HOST, carol@else\0Sub\r\nX-Injected: 1\0body\0report.txt\0report bytes",
        b"a\0bob@host;bob@host\0\0.\n..\n.\r\n\0C:\\docs\\x.bin\0\x00\x01\x02\0y.txt\0 y \0x.bin\0again",
        b"\0<ann@127.0.0.1>\0QUORBEL_POST_BYE_TEMWARDOSSEN_200011119\0QUORBEL_POST_BYE_TEMWARDOSSEN_2000111190\0",
        b"me\0ann@lan\0long\0" + b"word " * 40 + b"\0",
    ]
    write_seeds("fuzz_send_mail", forms)


def mail_writer():
    # NUL-separated: From, To, Cc, Bcc, Subject, Body, then file name,
    # content type and bytes triples.
    korean = "\ud55c\uad6d\uc5b4 \uba54\uc77c".encode()
    emoji = "\U0001F600\U0001F44D".encode()
    arabic = "\u0645\u0631\u062d\u0628\u0627".encode()
    forms = [
        b"me@x\0ann@127.0.0.1\0\0\0Hi\0Hello\r\n.\r\nthere",
        "\uae40\ucca0\uc218 <me@x>".encode() + b"\0Ann <ann@lan>, bob@host\0\0\0" + korean + b" " + emoji +
        b"\0" + korean + b"\r\n" + arabic + b"\n" + emoji + b"\0" + korean + b".txt\0text/plain\0" + korean,
        b"\"Doe; \\\"J\\\" x\" <me@x>\0\"O'Brien; Pat\" <bob@lan>\0carol@else\0\0" + arabic + b"\0" + arabic +
        b"\0C:\\docs\\a%22b;c.bin\0application/x-thing\0\x01\x02\x03\0d:e.txt\0bad type\0 y ",
        b"me@x\0ann@lan\0\0\0" + b"s" * 300 + b"\0x\0" + b"n" * 80 + emoji + b".pdf\0application/pdf\0%PDF",
        b"me@x\0ann@lan\0\0\0" + b"long words " * 28 + b"\0.\n..\n.\r\n. x\r\n.",
        b"me@x\0ann@lan; bob@lan\0\0ann@lan\0Bcc again\0body",
        b"me@x\0bob@host\0\0Secret <ann@127.0.0.1>\0only ann by bcc\0",
        b"me@x\0ann@lan, zed@lan\0\0\0unknown user\0refused",
        b"me@x\0<ann@lan\0\0\0unreadable\0x",
        b"a@x, b@x\0ann@lan\0\0\0two senders\0x",
        b"me@x\0\0\0\0nobody\0x",
        b"me@x\0ann@lan\0\0\0=?utf-8?q?x?= a\tb \x01\xd6\xd0\xce\xc4\0\xd6\xd0\xce\xc4\0\xd6\xd0.txt\0\0x",
    ]
    write_seeds("fuzz_mail_writer", forms)


def http_text():
    # A request head; the check also reads the input as a query, a cookie
    # header, a path and a status line.
    heads = [
        b"GET /webmail/read.asp?id=3&x=a%20b HTTP/1.1\r\nHost: h\r\nCookie: s=1; t=%41\r\n\r\n",
        b"\r\nPOST /a/b.asp HTTP/1.0\r\nContent-Length: 12\r\nConnection: keep-alive\r\n"
        b"Expect: 100-continue\r\n\r\nname=a+b&c=%2",
        b"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 1\r\n\r\n",
        b"GET / HTTP/1.1\nHost: x\n\n",
        b"GET / HTTP/1.1\r\n folded: x\r\nA : b\r\n\r\n",
        b"GET /../x HTTP/1.1\r\nContent-Length: 1, 1\r\nContent-Length: 1\r\n\r\n",
        b"404 Not Found",
        b"a=1&&b=2&=&c",
    ]
    write_seeds("fuzz_http_text", heads)


def main():
    mime_message()
    mail_reader()
    hz_decoder()
    codecs()
    form_data()
    page_source()
    send_mail()
    mail_writer()
    http_text()
    total = 0
    for dirpath, _, files in os.walk(SEEDS):
        total += sum(os.path.getsize(os.path.join(dirpath, f)) for f in files)
    for target in sorted(os.listdir(SEEDS)):
        print("%s: %d files" % (target, len(os.listdir(os.path.join(SEEDS, target)))))
    print("total %d bytes" % total)


if __name__ == "__main__":
    sys.exit(main())
