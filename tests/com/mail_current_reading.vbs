' Tarnwick.MailReader: Mail's members over mail as it is written today
' (encoded words and RFC 2231 names in their charsets, any parameter order
' and case), with results in UTF-16. Non-ASCII text is written as UTF-16
' units (Wide) and messages as bytes.
RequireTarnwick

store = ScratchDir & "store\"
box = store & "ann\mailbox\"

Function Reader()
    Dim r
    Set r = CreateObject("Tarnwick.MailReader")
    r.sMailPath = store
    r.sUserName = "ann"
    Set Reader = r
End Function

' Replaces the mailbox by one message, given as hex of its bytes.
Function OneMessageHex(hexBytes)
    host.RemoveTree box
    host.MakeDirs box
    host.WriteFileHex box & "m.in", hexBytes
    Set OneMessageHex = Reader()
End Function

Function OneMessage(lines)
    Set OneMessage = OneMessageHex(Str2Hex(Crlf(lines)))
End Function

' --- summaries: name, header lines, expected line
korean = Wide("d55cad6dc5b40020ba54c77c")
summaries = Array( _
    "encoded words in their charsets, adjacent words joined", _
    Array("From: =?EUC-KR?B?sei5zrz2?= <kim@example.kr>", "To: bob", _
          "Subject: =?UTF-8?B?7ZWc6rWt7Ja0?= =?utf-8?b?IOuplOydvA==?=", "Date: D", "", "x"), _
    Wide("ae40bbfcc218") & " <kim@example.kr>||||bob||||" & korean & "||||D||||", _
    "a missing field leaves its slot empty", Array("From: a", "Subject: s", "", "x"), "a||||||||s||||||||", _
    "no summary field gives four empty slots", Array("X-Other: 1", "", "x"), "||||||||||||||||", _
    "field names in any case, folded lines joined", Array("SUBJECT: one", " two", "from: a", "", "x"), _
    "a||||||||one two||||||||")
For i = 0 To UBound(summaries) Step 3
    CheckEqual summaries(i), OneMessage(summaries(i + 1)).GetTitleInfo(0), summaries(i + 2)
Next

' The versioned ProgID names the same class.
OneMessage Array("Subject: s", "", "x")
Set versioned = CreateObject("Tarnwick.MailReader.1")
versioned.sMailPath = store
versioned.sUserName = "ann"
CheckEqual "Tarnwick.MailReader.1 reads as MailReader", versioned.GetTitleInfo(0), "||||||||s||||||||"

' --- a UTF-8 body sent as 8-bit bytes keeps an emoji (a surrogate pair)
Set r = OneMessageHex(Str2Hex(Crlf(Array("Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8bit", ""))) & _
    "686920f09f9880" & "0d0a")
CheckEqual "a UTF-8 body with an emoji", host.WideHex(r.GetBody(0)), "006800690020d83dde00000d000a"

' --- attachments: an EUC-KR encoded-word name, an RFC 2231 UTF-8 name on a
' folded line, a lower-case disposition; the boundary after another parameter
hangul = Wide("d55cae00002e007400780074")
report = Wide("bcf4ace0c11c002e007000640066")
Set r = OneMessage(Array("Content-Type: Multipart/Mixed; format=flowed; Boundary=""b1""", "", "--b1", _
    "Content-Type: text/plain; charset=utf-8", "", "see attached", "--b1", _
    "Content-Type: text/plain; charset=euc-kr; name=""=?EUC-KR?B?x9Gx2y50eHQ=?=""", _
    "Content-Disposition: attachment; filename=""=?EUC-KR?B?x9Gx2y50eHQ=?=""", _
    "Content-Transfer-Encoding: base64", "", "x9Gx2w==", "--b1", _
    "Content-Type: application/pdf", "Content-Disposition: attachment;", _
    "    filename*=UTF-8''%EB%B3%B4%EA%B3%A0%EC%84%9C.pdf", "", "%PDF-1", "--b1", _
    "content-disposition: ATTACHMENT; filename=notes.txt", "", "n", "--b1--"))
CheckEqual "every attachment listed by its decoded name", r.GetAllFileName(0), hangul & "||" & report & "||notes.txt||"
CheckEqual "the body is the first plain part", r.GetBody(0), "see attached"

' Downloads: name, bytes, media type (a part without Content-Type goes out
' as application/octet-stream); names match in any ASCII case.
host.Reset
r.OnStartPage host.Context
downloads = Array(hangul, "c7d1b1db", "text/plain", report, Str2Hex("%PDF-1"), "application/pdf", _
    "NOTES.TXT", Str2Hex("n"), "application/octet-stream")
For i = 0 To UBound(downloads) Step 3
    host.Reset
    what = "GetFile " & host.Printable(downloads(i))
    CheckEqual what & " succeeds", r.GetFile(0, downloads(i)), 1
    CheckEqual what & " sends its decoded bytes", host.OutputHex, downloads(i + 1)
    CheckEqual what & " in Mail's order of calls", host.Log, _
        "Clear,Buffer=0,ContentType=" & downloads(i + 2) & ",BinaryWrite,Flush"
Next
host.Reset
CheckEqual "a missing name", r.GetFile(0, "nothere.txt"), 0
r.bDebug = 1
CheckEqual "with bDebug the attachment is found", r.GetFile(0, hangul), 1
CheckEqual "neither writes anything", host.Log, ""
r.OnEndPage

' An attachment of a type that could run in the site's pages goes out as
' application/octet-stream, in the same calls; other types keep theirs.
Set r = OneMessage(Array("Content-Type: multipart/mixed; boundary=b", "", "--b", _
    "Content-Type: text/html; charset=utf-8", "Content-Disposition: attachment; filename=x.html", "", "<script>alert(1)</script>", "--b", _
    "Content-Type: APPLICATION/XHTML+XML", "Content-Disposition: attachment; filename*=UTF-8''y.xhtml", "", "<x/>", "--b", _
    "Content-Type: ""text/html""", "Content-Disposition: attachment; filename=z.htm", "", "<script>1</script>", "--b", _
    "Content-Type: Text/CSV", "Content-Disposition: attachment; filename=t.csv", "", "a,b", "--b--"))
r.OnStartPage host.Context
sent = Array("x.html", "application/octet-stream", "y.xhtml", "application/octet-stream", _
    "z.htm", "application/octet-stream", "t.csv", "text/csv")
For i = 0 To UBound(sent) Step 2
    host.Reset
    CheckEqual "GetFile " & sent(i) & " succeeds", r.GetFile(0, sent(i)), 1
    CheckEqual "GetFile " & sent(i) & " is sent as " & sent(i + 1), host.Log, _
        "Clear,Buffer=0,ContentType=" & sent(i + 1) & ",BinaryWrite,Flush"
Next
r.OnEndPage

' --- IMailReader's members, reached by name like IMail's: the HTML of a
' message and its parts by Content-ID, for cid: images
Set r = OneMessage(Array("Content-Type: multipart/related; boundary=r", "", "--r", _
    "Content-Type: text/html; charset=utf-8", "", "<p>Hi <img src=""cid:logo@x""></p>", "--r", _
    "Content-Type: image/png", "Content-ID: <logo@x>", "Content-Transfer-Encoding: base64", "", "AAEC/w==", "--r", _
    "Content-Type: text/html", "Content-ID:  <page@x> ", "Content-Disposition: inline", "", "<script>1</script>", "--r--"))
CheckEqual "GetHtmlBody gives the markup", r.GetHtmlBody(0), "<p>Hi <img src=""cid:logo@x""></p>"
CheckEqual "GetBody gives its text", r.GetBody(0), "Hi" & vbCrLf
r.OnStartPage host.Context
' Content-ID asked for, result, bytes sent, media type sent
inline = Array("logo@x", 1, "000102ff", "image/png", _
    "<logo@x>", 1, "000102ff", "image/png", _
    "page@x", 1, Str2Hex("<script>1</script>"), "application/octet-stream", _
    "nothere@x", 0, "", "", _
    "LOGO@X", 0, "", "")
For i = 0 To UBound(inline) Step 4
    host.Reset
    what = "GetInlineFile " & inline(i)
    CheckEqual what & " answers " & inline(i + 1), r.GetInlineFile(0, inline(i)), inline(i + 1)
    CheckEqual what & " sends its decoded bytes", host.OutputHex, inline(i + 2)
    If inline(i + 1) = 1 Then
        calls = "Clear,Buffer=0,ContentType=" & inline(i + 3) & ",BinaryWrite,Flush"
    Else
        calls = ""
    End If
    CheckEqual what & " in GetFile's calls", host.Log, calls
Next
r.OnEndPage
CheckEqual "GetFile does not find a part by its Content-ID", r.GetFile(0, "logo@x"), 0
Set r = OneMessage(Array("Content-Type: text/plain", "", "plain"))
CheckEqual "GetHtmlBody of a plain message is empty", r.GetHtmlBody(0), ""
CheckEqual "its GetBody is the text", r.GetBody(0), "plain" & vbCrLf
CheckEqual "GetHtmlBody past the last message", r.GetHtmlBody(1), ""
' Names in another letter case, IMailReader's own and IMail's.
CheckEqual "gethtmlbody in lower case", r.gethtmlbody(0), ""
CheckEqual "getbody in lower case", r.getbody(0), "plain" & vbCrLf

' --- the members shared with Mail: count, indexes, deletion, unopenable entries
host.RemoveTree box
host.MakeDirs box
host.WriteFileText box & "1.in", Crlf(Array("Subject: one", "", "x"))
host.WriteFileText box & "2.in", Crlf(Array("Subject: two", "", "x"))
Set r = Reader()
CheckEqual "MailCount", r.MailCount, 2
For Each index In Array(2, -1)
    CheckEqual "index " & index & ": no summary", r.GetTitleInfo(index), ""
    CheckEqual "index " & index & ": no body", r.GetBody(index), ""
    CheckEqual "index " & index & ": empty attachment list", r.GetAllFileName(index), ""
    CheckEqual "index " & index & ": GetFile fails", r.GetFile(index, "x"), 0
Next
later = r.GetTitleInfo(1)
r.DeleteMail 0
CheckEqual "DeleteMail leaves one message", r.MailCount, 1
CheckEqual "the later message moved down", r.GetTitleInfo(0), later

' A subdirectory is a message that cannot be opened: nothing is read from
' it, where a message without summary fields gives four empty slots.
host.MakeDirs store & "dir\mailbox\sub"
r.sUserName = "dir"
CheckEqual "an unopenable message gives no summary", r.GetTitleInfo(0), ""
CheckEqual "nor attachments", r.GetAllFileName(0), ""
CheckEqual "nor a file", r.GetFile(0, "x"), 0

' The members that read no message are Mail's own.
CheckEqual "Encode as Mail encodes", r.Encode("abc"), CreateObject("Tarnwick.Mail").Encode("abc")
CheckEqual "Decode gives it back", r.Decode(r.Encode("abc")), "abc"
CheckEqual "Login answers 1", r.Login(), 1

Finish
