' SendMail.Send: a posted composition form becomes a message delivered to
' local users' directories.
RequireTarnwick

B = "----WebKitFormBoundaryQ5bY8Zp0kW2mR7tX"
Function Part(name, value)
    Part = "--" & B & vbCrLf & "Content-Disposition: form-data; name=""" & name & """" & vbCrLf & vbCrLf & value & vbCrLf
End Function
Function FilePart(name, fileName, bytes)
    FilePart = "--" & B & vbCrLf & "Content-Disposition: form-data; name=""" & name & """; filename=""" & fileName & """" & vbCrLf & _
        "Content-Type: application/octet-stream" & vbCrLf & vbCrLf & bytes & vbCrLf
End Function

mailRoot = ScratchDir & "mail"
host.MakeDirs mailRoot & "\ann"
host.MakeDirs mailRoot & "\bob"
temp = ScratchDir & "temp\"
host.MakeDirs temp

' Posts the body and returns Send's result; the SendMail object stays in "sender".
Dim sender
Function Post(body)
    host.Reset
    host.SetBodyText body
    Set sender = CreateObject("Tarnwick.SendMail")
    sender.OnStartPage host.Context
    sender.sMailPath = mailRoot
    sender.sTempPath = temp
    Post = sender.Send()
    sender.OnEndPage
End Function

' The only file of a user's directory (its name checked), with the Date line blanked.
Function Delivered(user)
    Dim names, text, p, q
    names = host.ListDir(mailRoot & "\" & user)
    If names = "" Or InStr(names, "|") > 0 Then
        Delivered = "<" & names & ">"
        Exit Function
    End If
    If Left(names, 3) <> "qvr" Or Right(names, 3) <> ".in" Then
        Delivered = "<bad name " & names & ">"
        Exit Function
    End If
    text = host.ReadFileText(mailRoot & "\" & user & "\" & names)
    p = InStr(text, vbCrLf & "Date: ")
    q = InStr(p + 2, text, vbCrLf)
    Delivered = Left(text, p + 7) & "*" & Mid(text, q)
    host.RemoveTree mailRoot & "\" & user & "\" & names
End Function

Head = "Content-Type: multipart/mixed; boundary=QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf & vbCrLf & _
    "This is a multi-part message in MIME format." & vbCrLf & vbCrLf
Function Headers(from, toLine, subject)
    Headers = "From: " & from & vbCrLf & "To: " & toLine & vbCrLf & "Date: *" & vbCrLf & "Subject: " & subject & vbCrLf & _
        "X-Mailer: Quorbel Post" & vbCrLf & "MIME-Version: 1.0" & vbCrLf & Head
End Function

' A delivered attachment part: its delimiter, header lines and base64 text.
Function AttachmentPart(fileName, base64)
    AttachmentPart = "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf & _
        "Content-Type: application/octet-stream; file=" & fileName & vbCrLf & _
        "Content-Transfer-Encoding: base64" & vbCrLf & _
        "Content-Disposition: attachment; filename=" & fileName & vbCrLf & vbCrLf & base64 & vbCrLf
End Function

Function Repeat(text, n)
    Dim r, k
    r = ""
    For k = 1 To n
        r = r & text
    Next
    Repeat = r
End Function

' --- text and two attachments to two local users, one foreign
body = Part("From", "me@localhost") & Part("To", "Ann <ann@LOCALHOST>;bob@127.0.0.1,carol@example.org") & _
    Part("Subject", "Report") & Part("Body", "  See the files." & vbCrLf & "Thanks  ") & _
    FilePart("f1", "C:\Users\me\Desktop\report.final.doc", String(54, "a")) & FilePart("f2", "notes.txt", "hello") & _
    FilePart("f3", "", "") & "--" & B & "--" & vbCrLf
CheckEqual "Send succeeds", Post(body), 1
expected = Headers("me@localhost", "Ann <ann@LOCALHOST>,<bob@127.0.0.1>,<carol@example.org>", "Report") & _
    "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf & _
    "Content-Type: text/plain" & vbCrLf & "Content-Transfer-Encoding: 7Bit" & vbCrLf & vbCrLf & _
    "See the files." & vbCrLf & "Thanks" & vbCrLf & _
    AttachmentPart("report.final.doc", Repeat("YWFh", 18) & vbCrLf) & AttachmentPart("notes.txt", "aGVsbG8=") & _
    "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119--" & vbCrLf & vbCrLf & "." & vbCrLf
annCopy = Delivered("ann")
For i = 1 To Len(expected)
    If Mid(annCopy, i, 1) <> Mid(expected, i, 1) Then
        Diag "first difference at " & i & ": got '" & Mid(annCopy, i - 20, 60) & "' expected '" & Mid(expected, i - 20, 60) & "'"
        Exit For
    End If
Next
CheckEqual "ann's copy, byte for byte", annCopy, expected
CheckEqual "bob's copy is the same message", Delivered("bob"), expected
CheckEqual "nothing left under the temp path", host.ListDir(temp), ""
Check "sTempPath reads the working directory", Left(sender.sTempPath, Len(temp)) = temp And Len(sender.sTempPath) > Len(temp)

' --- no recipient: nothing sent, and nothing of the post stays on the server
body = Part("To", "x <y") & FilePart("f1", "a.txt", "data") & "--" & B & "--" & vbCrLf
CheckEqual "an unclosed address sends nothing", Post(body), 0
CheckEqual "nothing delivered", host.ListDir(mailRoot & "\ann") & host.ListDir(mailRoot & "\bob"), ""
CheckEqual "the saved upload and the working directory are removed", host.DirExists(sender.sTempPath) & host.ListDir(temp), "0"

' --- a user without a directory, a foreign domain, an address without "@"
body = Part("To", "zed@localhost;ann@example.com;localhost") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send still succeeds", Post(body), 1
CheckEqual "nobody gets a copy", host.ListDir(mailRoot & "\ann") & host.ListDir(mailRoot & "\bob") & host.DirExists(mailRoot & "\zed"), "0"
CheckEqual "and the temp path is clean", host.ListDir(temp), ""

'' --- the same user named twice gets one copy
body = Part("To", "ann@localhost;ANN@127.0.0.1") & Part("Body", "twice") & "--" & B & "--" & vbCrLf
CheckEqual "Send to one user twice", Post(body), 1
CheckEqual "one copy only", UBound(Split(host.ListDir(mailRoot & "\ann"), "|")), 0
host.RemoveTree mailRoot & "\ann"
host.MakeDirs mailRoot & "\ann"

' --- an empty form
CheckEqual "an empty To text is one empty recipient", Post(""), 1

' --- a CR or LF in From, Subject, a display name or an address is a space: no header line of the sender's making
body = Part("From", "me" & vbCrLf & "Bcc: x@127.0.0.1") & _
    Part("To", "ann@localhost;Eve" & vbCrLf & "Bcc: y@127.0.0.1 <e@example.org>;z@example.org" & vbLf & "Bcc: z@127.0.0.1") & _
    Part("Subject", "Hi" & vbCr & "Bcc: w@127.0.0.1") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send with line breaks in header values", Post(body), 1
annCopy = Delivered("ann")
CheckEqual "no Bcc line in the delivered copy", InStr(annCopy, vbCr & "Bcc") + InStr(annCopy, vbLf & "Bcc"), 0
expected = Headers("me  Bcc: x@127.0.0.1", "<ann@localhost>,Eve  Bcc: y@127.0.0.1 <e@example.org>,<z@example.org Bcc: z@127.0.0.1>", _
    "Hi Bcc: w@127.0.0.1")
CheckEqual "each value stays on its header line", Left(annCopy, Len(expected)), expected

' --- text lines beginning with "." arrive stuffed, and nothing after a "." line is lost
body = Part("To", "ann@localhost") & Part("Subject", "Dots") & Part("Body", "." & vbCrLf & ".x" & vbCrLf & "end") & _
    FilePart("f1", "notes.txt", "hello") & "--" & B & "--" & vbCrLf
CheckEqual "Send a text with dot lines", Post(body), 1
expected = Headers("", "<ann@localhost>", "Dots") & _
    "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119" & vbCrLf & _
    "Content-Type: text/plain" & vbCrLf & "Content-Transfer-Encoding: 7Bit" & vbCrLf & vbCrLf & _
    ".." & vbCrLf & "..x" & vbCrLf & "end" & vbCrLf & _
    AttachmentPart("notes.txt", "aGVsbG8=") & _
    "--QUORBEL_POST_BYE_TEMWARDOSSEN_200011119--" & vbCrLf & vbCrLf & "." & vbCrLf
CheckEqual "the copy arrives stuffed and whole", Delivered("ann"), expected

' --- blanks around an address cost nobody the copy; the To line keeps them
body = Part("To", "ann@localhost; bob@localhost") & Part("Body", "x") & "--" & B & "--" & vbCrLf
CheckEqual "Send to ann and ' bob'", Post(body), 1
Check "ann gets a copy", InStr(Delivered("ann"), vbCrLf & "To: <ann@localhost>,< bob@localhost>" & vbCrLf) > 0
Check "bob gets a copy", InStr(Delivered("bob"), vbCrLf & "To: <ann@localhost>,< bob@localhost>" & vbCrLf) > 0

' --- a Chinese subject passes through unchanged
host.Reset
host.SetBodyHex Str2Hex(Part("To", "ann@localhost") & "--" & B & vbCrLf & "Content-Disposition: form-data; name=""Subject""" & vbCrLf & vbCrLf) & _
    "d6d0cec4" & Str2Hex(vbCrLf & "--" & B & "--" & vbCrLf)
Set sender = CreateObject("Tarnwick.SendMail")
sender.OnStartPage host.Context
sender.sMailPath = mailRoot
sender.sTempPath = temp
CheckEqual "Send with a Chinese subject", sender.Send(), 1
names = host.ListDir(mailRoot & "\ann")
Check "the Subject line carries the GBK bytes", InStr(host.ReadFileHex(mailRoot & "\ann\" & names), Str2Hex("Subject: ") & "d6d0cec4" & "0d0a") > 0

' --- without a temporary path nothing is made: the working directory would
' land in the server's current directory
host.RemoveTree mailRoot & "\ann\" & names
host.Reset
host.SetBodyText Part("To", "ann@localhost") & FilePart("f1", "a.txt", "data") & "--" & B & "--" & vbCrLf
Set sender = CreateObject("Tarnwick.SendMail")
sender.OnStartPage host.Context
sender.sMailPath = mailRoot
sender.sTempPath = ""
CheckEqual "Send with an empty sTempPath", sender.Send(), 0
CheckEqual "sends nothing and keeps the path", host.ListDir(mailRoot & "\ann") & "|" & sender.sTempPath, "|"

' --- without a page there is no form to send
Set lone = CreateObject("Tarnwick.SendMail")
CheckEqual "Send without a page", lone.Send(), 0

Finish
