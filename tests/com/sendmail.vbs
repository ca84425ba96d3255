' SendMail.Send: a posted composition form becomes a message delivered to
' local users' directories.
RequireTarnwick

B = "----WebKitFormBoundaryQ5bY8Zp0kW2mR7tX"
Function PartHead(name)
    PartHead = "--" & B & vbCrLf & "Content-Disposition: form-data; name=""" & name & """" & vbCrLf & vbCrLf
End Function
Function Part(name, value)
    Part = PartHead(name) & value & vbCrLf
End Function
Function FilePart(name, fileName, bytes)
    FilePart = "--" & B & vbCrLf & "Content-Disposition: form-data; name=""" & name & """; filename=""" & fileName & """" & vbCrLf & _
        "Content-Type: application/octet-stream" & vbCrLf & vbCrLf & bytes & vbCrLf
End Function

mailRoot = ScratchDir & "mail"
' A user of the store: a folder that holds a mailbox folder.
host.MakeDirs mailRoot & "\ann\mailbox"
host.MakeDirs mailRoot & "\bob\mailbox"
temp = ScratchDir & "temp\"

' The delivered copies in a user's folder (its mailbox folder left out).
Function Copies(user)
    Dim name
    Copies = ""
    For Each name In Split(host.ListDir(mailRoot & "\" & user), "|")
        If name <> "mailbox" Then
            If Copies <> "" Then Copies = Copies & "|"
            Copies = Copies & name
        End If
    Next
End Function
host.MakeDirs temp

' Real bodies posted by Chromium (see tests/data/browser-bodies/README.md).
Bodies = SourceDir & "..\data\browser-bodies\"

' Sends the body the host holds; the SendMail object stays in "sender".
Dim sender
Function SendPosted()
    host.Reset
    Set sender = CreateObject("Tarnwick.SendMail")
    sender.OnStartPage host.Context
    sender.sMailPath = mailRoot
    sender.sTempPath = temp
    SendPosted = sender.Send()
    sender.OnEndPage
End Function

' Posts the body (one byte per character) and returns Send's result.
Function Post(body)
    host.SetBodyText body
    Post = SendPosted()
End Function

' What the Date line of a copy sent today begins with: "Wed, 09 Dec 2026 ".
Dim dayNames, monthNames
dayNames = Array("Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat")
monthNames = Array("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")
Today = dayNames(Weekday(Date) - 1) & ", " & Right("0" & Day(Date), 2) & " " & monthNames(Month(Date) - 1) & " " & _
    Year(Date) & " "
Set DateForm = New RegExp
DateForm.Pattern = "^[A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9]{4} [0-9][0-9]:[0-9][0-9]:[0-9][0-9] [+-][0-9]{4}$"

' The only file of a user's directory (its name checked; the file is removed),
' its Date value cut to Today & "*" when it dates the copy today with a time
' and a numeric zone. LastCopyHex keeps the copy's bytes for Keep ("" when
' there is none).
Dim LastCopyHex
Function Delivered(user)
    Dim names, path, text, p, q, value
    LastCopyHex = ""
    names = Copies(user)
    If names = "" Or InStr(names, "|") > 0 Then
        Delivered = "<" & names & ">"
        Exit Function
    End If
    If Left(names, 3) <> "qvr" Or Right(names, 3) <> ".in" Then
        Delivered = "<bad name " & names & ">"
        Exit Function
    End If
    path = mailRoot & "\" & user & "\" & names
    LastCopyHex = host.ReadFileHex(path)
    text = host.ReadFileText(path)
    host.RemoveTree path
    Delivered = text
    p = InStr(text, vbCrLf & "Date: ")
    If p = 0 Then Exit Function
    q = InStr(p + 2, text, vbCrLf)
    value = Mid(text, p + 8, q - p - 8)
    If DateForm.Test(value) And Left(value, Len(Today)) = Today Then Delivered = Left(text, p + 7) & Today & "*" & Mid(text, q)
End Function

' Keeps the last delivered copy and the body posted for it, as
' <name>.eml and <name>.body, in the folder run.sh hands over for Python's
' email check (check-delivered.py).
KeepDir = host.GetEnv("TARNWICK_DELIVERED_DIR")
If KeepDir = "<missing>" Then KeepDir = ""
Sub Keep(name)
    If KeepDir = "" Then Exit Sub
    host.WriteFileHex KeepDir & name & ".eml", LastCopyHex
    host.WriteFileHex KeepDir & name & ".body", host.BodyHex
End Sub

' A copy against the expected text, with the first difference shown.
Sub CheckCopy(name, copy, expected)
    Dim i
    For i = 1 To Len(expected)
        If Mid(copy, i, 1) <> Mid(expected, i, 1) Then
            Diag name & ": first difference at " & i & ": got '" & Mid(copy, i, 60) & "' expected '" & Mid(expected, i, 60) & "'"
            Exit For
        End If
    Next
    CheckEqual name, copy, expected
End Sub

Delim = "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf
Closing = "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119--" & vbCrLf & vbCrLf & "." & vbCrLf
Head = "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf & vbCrLf & _
    "This is a multi-part message in MIME format." & vbCrLf & vbCrLf
Function Headers(from, toLine, subject)
    Headers = "From: " & from & vbCrLf & "To: " & toLine & vbCrLf & "Date: " & Today & "*" & vbCrLf & _
        "Subject: " & subject & vbCrLf & "X-Mailer: Quorbel Post" & vbCrLf & "MIME-Version: 1.0" & vbCrLf & Head
End Function

' A delivered text part of plain ASCII lines (in the system code page, GBK here).
Function TextPart(text)
    TextPart = Delim & "Content-Type: text/plain; charset=GBK" & vbCrLf & "Content-Transfer-Encoding: 7bit" & vbCrLf & _
        vbCrLf & text & vbCrLf
End Function

' A delivered attachment part: its delimiter, header lines and base64 text;
' quotedName is the name as its quoted string holds it.
Function AttachmentPart(quotedName, base64)
    AttachmentPart = Delim & "Content-Type: application/octet-stream; file=""" & quotedName & """" & vbCrLf & _
        "Content-Transfer-Encoding: base64" & vbCrLf & _
        "Content-Disposition: attachment; filename=""" & quotedName & """" & vbCrLf & vbCrLf & base64 & vbCrLf
End Function

Function Repeat(text, n)
    Dim r, k
    r = ""
    For k = 1 To n
        r = r & text
    Next
    Repeat = r
End Function

' --- text and two attachments to two local users, one foreign; a quote in a
' file name arrives escaped
body = Part("From", "me@localhost") & Part("To", "Ann <ann@LOCALHOST>;bob@127.0.0.1,carol@example.org") & _
    Part("Subject", "Report") & Part("Body", "  See the files." & vbCrLf & "Thanks  ") & _
    FilePart("f1", "C:\Users\me\Desktop\report.final.doc", String(54, "a")) & FilePart("f2", "say \""hi\"".txt", "hello") & _
    FilePart("f3", "", "") & "--" & B & "--" & vbCrLf
CheckEqual "Send succeeds", Post(body), 1
expected = Headers("me@localhost", "Ann <ann@LOCALHOST>,<bob@127.0.0.1>,<carol@example.org>", "Report") & _
    TextPart("See the files." & vbCrLf & "Thanks") & _
    AttachmentPart("report.final.doc", Repeat("YWFh", 18) & vbCrLf) & AttachmentPart("say \""hi\"".txt", "aGVsbG8=") & Closing
CheckCopy "ann's copy, byte for byte", Delivered("ann"), expected
Keep "report"
CheckEqual "bob's copy is the same message", Delivered("bob"), expected
CheckEqual "nothing left under the temp path", host.ListDir(temp), ""
Check "sTempPath reads the working directory", Left(sender.sTempPath, Len(temp)) = temp And Len(sender.sTempPath) > Len(temp)

' --- mail for other domains only: listed in To, delivered by nobody here
body = Part("To", "ann@example.com;bob@example.org") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send to foreign users only", Post(body), 1
CheckEqual "no local copy and a clean temp path", Copies("ann") & Copies("bob") & _
    host.ListDir(temp), ""

' --- the same user named twice gets one copy
body = Part("To", "ann@localhost;ANN@127.0.0.1") & Part("Body", "twice") & "--" & B & "--" & vbCrLf
CheckEqual "Send to one user twice", Post(body), 1
CheckEqual "one copy only", UBound(Split(Copies("ann"), "|")), 0
host.RemoveTree mailRoot & "\ann"
host.MakeDirs mailRoot & "\ann\mailbox"

' --- a file name the sender writes stays one quoted parameter: it adds none
body = Part("To", "ann@localhost") & FilePart("f1", "a.txt; filename=evil.html", "data") & "--" & B & "--" & vbCrLf
CheckEqual "Send a file named with a parameter in it", Post(body), 1
CheckEqual "the name stays one quoted parameter", InStr(Delivered("ann"), _
    "Content-Disposition: attachment; filename=""a.txt; filename=evil.html""" & vbCrLf) > 0, True

' --- an empty form names nobody
CheckEqual "an empty form sends nothing", Post(""), 0
CheckEqual "an empty form makes nothing", host.ListDir(temp) & "|" & sender.sTempPath, "|" & temp

' --- a CR or LF in From, Subject, a display name or an address is a space: no header line of the sender's making
body = Part("From", "me" & vbCrLf & "Bcc: x@127.0.0.1") & _
    Part("To", "ann@localhost;Eve" & vbCrLf & "Bcc: y@127.0.0.1 <e@example.org>;z@example.org" & vbLf & "Bcc: z@127.0.0.1") & _
    Part("Subject", "Hi" & vbCr & "Bcc: w@127.0.0.1") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send with line breaks in header values", Post(body), 1
annCopy = Delivered("ann")
Keep "header-line-breaks"
CheckEqual "no Bcc line in the delivered copy", InStr(annCopy, vbCr & "Bcc") + InStr(annCopy, vbLf & "Bcc"), 0
expected = Headers("me  Bcc: x@127.0.0.1", "<ann@localhost>,Eve  Bcc: y@127.0.0.1 <e@example.org>,<z@example.org Bcc: z@127.0.0.1>", _
    "Hi Bcc: w@127.0.0.1")
CheckEqual "each value stays on its header line", Left(annCopy, Len(expected)), expected

' --- text lines beginning with "." arrive stuffed, and nothing after a "." line is lost
body = Part("To", "ann@localhost") & Part("Subject", "Dots") & Part("Body", "." & vbCrLf & ".x" & vbCrLf & "end") & _
    FilePart("f1", "notes.txt", "hello") & "--" & B & "--" & vbCrLf
CheckEqual "Send a text with dot lines", Post(body), 1
expected = Headers("", "<ann@localhost>", "Dots") & TextPart(".." & vbCrLf & "..x" & vbCrLf & "end") & _
    AttachmentPart("notes.txt", "aGVsbG8=") & Closing
CheckCopy "the copy arrives stuffed and whole", Delivered("ann"), expected
Keep "dots"

' --- a line that wrapping cannot shorten below 998 bytes goes quoted-printable
body = Part("To", "ann@localhost") & Part("Body", "a b " & String(1200, "x") & " end") & "--" & B & "--" & vbCrLf
CheckEqual "Send a text with a 1200-byte word", Post(body), 1
annCopy = Delivered("ann")
Keep "long-line"
Check "the text goes quoted-printable", InStr(annCopy, vbCrLf & "Content-Type: text/plain; charset=GBK" & vbCrLf & _
    "Content-Transfer-Encoding: quoted-printable" & vbCrLf & vbCrLf & "a b" & vbCrLf & String(75, "x") & "=" & vbCrLf) > 0

' --- blanks around an address cost nobody the copy; the To line keeps them
body = Part("To", "ann@localhost; bob@localhost") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send to ann and ' bob'", Post(body), 1
Check "ann gets a copy", InStr(Delivered("ann"), vbCrLf & "To: <ann@localhost>,< bob@localhost>" & vbCrLf) > 0
Check "bob gets a copy", InStr(Delivered("bob"), vbCrLf & "To: <ann@localhost>,< bob@localhost>" & vbCrLf) > 0

' --- a Chinese subject passes through unchanged; a Chinese text is declared
' in the system code page and sent 8bit
host.SetBodyHex Str2Hex(Part("To", "ann@localhost") & PartHead("Subject")) & "d6d0cec4" & _
    Str2Hex(vbCrLf & PartHead("Body") & "x ") & "d6d0cec4" & Str2Hex(vbCrLf & "--" & B & "--" & vbCrLf)
CheckEqual "Send a Chinese subject and text", SendPosted(), 1
Call Delivered("ann")
Keep "gbk-text"
Check "the Subject line carries the GBK bytes", InStr(LastCopyHex, Str2Hex(vbCrLf & "Subject: ") & "d6d0cec4" & "0d0a") > 0
Check "the text is GBK, 8bit", InStr(LastCopyHex, Str2Hex(vbCrLf & "Content-Type: text/plain; charset=GBK" & vbCrLf & _
    "Content-Transfer-Encoding: 8bit" & vbCrLf & vbCrLf & "x ") & "d6d0cec4" & "0d0a") > 0

' --- real bodies as Chromium posts them; a part put in front of one adds a
' field or overrides its own (the first field of a name is the one read)
Function Captured(caseName, field, value)
    Dim body
    body = host.ReadFileHex(Bodies & caseName & ".body")
    If field = "" Then
        Captured = body
    Else
        ' The captured delimiter line, with its CR LF.
        Captured = Left(body, InStr(body, "0d0a") + 3) & _
            Str2Hex("Content-Disposition: form-data; name=""" & field & """" & vbCrLf & vbCrLf & value & vbCrLf) & body
    End If
End Function

deliveredRows = Array( _
    Array("semicolon-value", "", "", "bob", "a Subject beginning with ';', then To, Body and a file", _
        Headers("", "<bob@localhost>", ";-) lunch?") & TextPart("Noodles at noon.") & _
        AttachmentPart("menu.txt", "bm9vZGxlcwo=") & Closing), _
    Array("same-file-name", "To", "ann@localhost", "ann", "two fields each with a photo.jpg", _
        Headers("", "<ann@localhost>", "") & AttachmentPart("photo.jpg", "/9j/4AAQSkZJRgABDQotLQAADQ0KCv///9kNCg==") & _
        AttachmentPart("photo.jpg", "/9j/2wBDAAoNCg0K/wD/DQotLS0t/9kN") & Closing), _
    Array("multiple-files", "To", "ann@localhost", "ann", "one multiple field with a.txt, b.txt, c.txt", _
        Headers("", "<ann@localhost>", "") & AttachmentPart("a.txt", "YWxwaGEK") & _
        AttachmentPart("b.txt", "YnJhdm8NCmJyYXZvDQo=") & AttachmentPart("c.txt", "Y2hhcmxpZQ==") & Closing), _
    Array("empty-file", "Body", "see above", "bob", "a file input with no file chosen", _
        Headers("", "<bob@localhost>", "nothing attached") & TextPart("see above") & Closing), _
    Array("textarea-lines", "", "", "bob", "a textarea of CR LF lines, an empty one, '.' and '-- '", _
        Headers("", "<bob@localhost>", "") & _
        TextPart("Dear Bob," & vbCrLf & vbCrLf & "lunch at noon." & vbCrLf & ".." & vbCrLf & "-- " & vbCrLf & "Alice") & Closing))
For Each row In deliveredRows
    host.SetBodyHex Captured(row(0), row(1), row(2))
    CheckEqual row(0) & ": Send", SendPosted(), 1
    CheckCopy row(0) & ": " & row(4) & ", byte for byte", Delivered(row(3)), row(5)
    Keep row(0)
    CheckEqual row(0) & ": nobody else gets a copy, nothing left under the temp path", _
        Copies("ann") & Copies("bob") & host.ListDir(temp), ""
Next

' --- every recipient is checked before anything is made: one that cannot be
' read or cannot get a copy refuses the whole post (the captured body also
' names bob and uploads a file)
refusedRows = Array( _
    Array("ann@localhost, <carol@localhost", "an address without its '>'"), _
    Array("ann@localhost,bbo@localhost", "a local user without a directory"), _
    Array("ann@localhost;..@localhost", "a user name that leaves the mail store"), _
    Array("ann@localhost;localhost", "a local domain without a user"), _
    Array("ann@localhost;tmp@localhost", "a folder of the store that holds no mailbox"), _
    Array("ann.@localhost", "a user name ending in a dot, which Windows would open as ann"), _
    Array("x <y", "only an unreadable address"), _
    Array(" , ;", "only blanks and separators"))
host.MakeDirs mailRoot & "\tmp"
For Each row In refusedRows
    host.SetBodyHex Captured("semicolon-value", "To", row(0))
    CheckEqual "refused, " & row(1) & ": Send", SendPosted(), 0
    CheckEqual "refused, " & row(1) & ": nothing delivered or made", Copies("ann") & "|" & _
        Copies("bob") & "|" & host.ListDir(temp) & "|" & sender.sTempPath, "|||" & temp
Next

' --- without a temporary path nothing is made: the working directory would
' land in the server's current directory
host.SetBodyText Part("To", "ann@localhost") & FilePart("f1", "a.txt", "data") & "--" & B & "--" & vbCrLf
host.Reset
Set sender = CreateObject("Tarnwick.SendMail")
sender.OnStartPage host.Context
sender.sMailPath = mailRoot
sender.sTempPath = ""
CheckEqual "Send with an empty sTempPath", sender.Send(), 0
CheckEqual "sends nothing and keeps the path", Copies("ann") & "|" & sender.sTempPath, "|"

' --- without a page there is no form to send
Set lone = CreateObject("Tarnwick.SendMail")
CheckEqual "Send without a page", lone.Send(), 0

Finish
