' Tarnwick.MailWriter: SendMail's members over a form posted in UTF-8, with
' Cc and Bcc, writing mail as it is written today; what it delivers is read
' back with Tarnwick.MailReader. Non-ASCII text is written as UTF-16 units
' (Wide) and posted as UTF-8 bytes (Utf8Hex).
RequireTarnwick

' UTF-8 bytes of a string, as hex (from its UTF-16 units: Wine's VBScript has
' no AscW).
Function HexValue(digits)
    Dim i
    HexValue = 0
    For i = 1 To Len(digits)
        HexValue = HexValue * 16 + InStr("0123456789abcdef", Mid(digits, i, 1)) - 1
    Next
End Function
Function ByteHex(n)
    ByteHex = Right("0" & LCase(Hex(n)), 2)
End Function
Function Utf8Hex(s)
    Dim units, i, c, r
    units = host.WideHex(s)
    r = ""
    For i = 1 To Len(units) Step 4
        c = HexValue(Mid(units, i, 4))
        If c >= 55296 And c < 56320 Then   ' a high surrogate: the pair is one character
            i = i + 4
            c = 65536 + (c - 55296) * 1024 + HexValue(Mid(units, i, 4)) - 56320
        End If
        If c < 128 Then
            r = r & ByteHex(c)
        ElseIf c < 2048 Then
            r = r & ByteHex(192 + c \ 64) & ByteHex(128 + (c Mod 64))
        ElseIf c < 65536 Then
            r = r & ByteHex(224 + c \ 4096) & ByteHex(128 + (c \ 64) Mod 64) & ByteHex(128 + (c Mod 64))
        Else
            r = r & ByteHex(240 + c \ 262144) & ByteHex(128 + (c \ 4096) Mod 64) & _
                ByteHex(128 + (c \ 64) Mod 64) & ByteHex(128 + (c Mod 64))
        End If
    Next
    Utf8Hex = r
End Function

' A multipart/form-data body as hex: fields is a flat list of name, value
' (text fields, posted as UTF-8) and files a flat list of name, bytes as hex.
B = "----WebKitFormBoundaryM4wR7tYq2Lx9Zc1A"
Function FormHex(fields, files)
    Dim i, r
    r = ""
    For i = 0 To UBound(fields) Step 2
        r = r & Utf8Hex("--" & B & vbCrLf & "Content-Disposition: form-data; name=""" & fields(i) & """" & vbCrLf & _
            vbCrLf & fields(i + 1) & vbCrLf)
    Next
    For i = 0 To UBound(files) Step 2
        r = r & Utf8Hex("--" & B & vbCrLf & "Content-Disposition: form-data; name=""f" & i & """; filename=""" & _
            files(i) & """" & vbCrLf & "Content-Type: text/plain" & vbCrLf & vbCrLf) & files(i + 1) & "0d0a"
    Next
    FormHex = r & Utf8Hex("--" & B & "--" & vbCrLf)
End Function

' A user of the store is a folder holding a mailbox folder, where the mail
' server collects what is delivered into the user's folder.
mailRoot = ScratchDir & "mail"
users = Array("ann", "bob", "carl")
For Each u In users
    host.MakeDirs mailRoot & "\" & u & "\mailbox"
Next
temp = ScratchDir & "temp\"
host.MakeDirs temp

Dim writer
Function SendHex(bodyHex)
    host.Reset
    host.SetBodyHex bodyHex
    Set writer = CreateObject("Tarnwick.MailWriter")
    writer.OnStartPage host.Context
    writer.sMailPath = mailRoot
    writer.sTempPath = temp
    SendHex = writer.Send()
    writer.OnEndPage
End Function

' The names of the copies delivered into a user's folder, "|"-joined.
Function Delivered(u)
    Dim name
    Delivered = ""
    For Each name In Split(host.ListDir(mailRoot & "\" & u), "|")
        If name <> "mailbox" Then
            If Delivered <> "" Then Delivered = Delivered & "|"
            Delivered = Delivered & name
        End If
    Next
End Function

' How many copies each user got, "ann=1 bob=0 carl=2 ", and what is left
' under the temp path.
Function Copies()
    Dim u, names, r
    r = ""
    For Each u In users
        If Delivered(u) = "" Then
            r = r & u & "=0 "
        Else
            names = Split(Delivered(u), "|")
            r = r & u & "=" & (UBound(names) + 1) & " "
        End If
    Next
    Copies = r & "temp=" & host.ListDir(temp)
End Function

' The path of a user's only copy.
Function CopyOf(u)
    CopyOf = mailRoot & "\" & u & "\" & Delivered(u)
End Function

Sub ClearCopies()
    Dim u
    For Each u In users
        host.RemoveTree mailRoot & "\" & u
        host.MakeDirs mailRoot & "\" & u & "\mailbox"
    Next
End Sub

' --- both ProgIDs make the class, with SendMail's members
Function Created(progId)
    On Error Resume Next
    Set Created = Nothing
    Set Created = CreateObject(progId)
    On Error GoTo 0
End Function
Set plain = CreateObject("Tarnwick.SendMail")
For Each progId In Array("Tarnwick.MailWriter", "Tarnwick.MailWriter.1")
    Set w = Created(progId)
    If w Is Nothing Then
        Fail "CreateObject " & progId, "failed"
    Else
        Pass "CreateObject " & progId
        CheckEqual progId & ": sTempPath starts as SendMail's", w.sTempPath, plain.sTempPath
        w.sTempPath = "C:\work\tmp\"
        w.sMailPath = "C:\mail"
        CheckEqual progId & ": sTempPath reads back", w.sTempPath, "C:\work\tmp\"
        CheckEqual progId & ": sMailPath reads back", w.sMailPath, "C:\mail"
        CheckEqual progId & ": Send without a page", w.Send(), 0
        CheckHr progId & ": Form without a page", HrOfForm(w, "To"), "8000FFFF"
    End If
Next

' --- Form reads the UTF-8 form as characters; a value or name that is not
' UTF-8 is read in the system code page (GBK), as an old form posts it
korean = Wide("d55cad6dc5b4")            ' "Korean language"
emoji = Wide("d83dde00")                 ' a grinning face, a surrogate pair
chinese = Wide("4e2d6587")               ' "Chinese", D6 D0 CE C4 in GBK
fieldName = Wide("c774b984")             ' "name"
utf8Form = FormHex(Array("Subject", korean & " " & emoji, fieldName, "Kim", "Body", "a" & vbCrLf & emoji), Array())
gbkForm = Str2Hex("--" & B & vbCrLf & "Content-Disposition: form-data; name=""Body""" & vbCrLf & vbCrLf) & "d6d0cec4" & _
    Str2Hex(vbCrLf & "--" & B & vbCrLf & "Content-Disposition: form-data; name=""") & "d6d0cec4" & _
    Str2Hex("""" & vbCrLf & vbCrLf & "x" & vbCrLf & "--" & B & "--" & vbCrLf)
formRows = Array( _
    Array(utf8Form, "Subject", korean & " " & emoji, "a Korean subject with an emoji"), _
    Array(utf8Form, fieldName, "Kim", "a field named in Korean"), _
    Array(utf8Form, "Body", "a" & vbCrLf & emoji, "a text of two lines"), _
    Array(utf8Form, "nothere", "", "a missing field"), _
    Array(gbkForm, "Body", chinese, "a GBK value"), _
    Array(gbkForm, chinese, "x", "a field named in GBK"))
For Each row In formRows
    host.Reset
    host.SetBodyHex row(0)
    Set w = CreateObject("Tarnwick.MailWriter")
    w.OnStartPage host.Context
    CheckEqual "Form: " & row(3), w.Form((row(1))), row(2)
    w.OnEndPage
Next

' --- To, Cc and Bcc: each local user once (ann is named in To and Bcc, in
' two spellings), the foreign one left to the mail server; no copy names
' a Bcc recipient
CheckEqual "Send to To, Cc and Bcc", SendHex(FormHex(Array("From", "Kim <kim@example.kr>", _
    "To", "Ann <ann@localhost>, dave@example.org", "Cc", "bob@127.0.0.1", _
    "Bcc", "carl@192.168.0.1; ANN@LOCALHOST", "Subject", "team", "Body", "hello"), Array())), 1
CheckEqual "one copy each for ann, bob and carl", Copies(), "ann=1 bob=1 carl=1 temp="
For Each u In users
    copy = host.ReadFileText(CopyOf(u))
    Check u & "'s copy has the To and Cc lines", InStr(copy, vbCrLf & "To: Ann <ann@localhost>, dave@example.org" & _
        vbCrLf & "Cc: bob@127.0.0.1" & vbCrLf) > 0
    CheckEqual u & "'s copy has no Bcc line and no Bcc address", _
        InStr(1, copy, "Bcc:", vbTextCompare) + InStr(copy, "carl@") + InStr(copy, "ANN@"), 0
Next
ClearCopies

' --- every recipient is checked before anything is delivered
refusedRows = Array( _
    Array("Cc", "bob@localhost, nobody@localhost", "an unknown local user in Cc"), _
    Array("Bcc", "nobody@127.0.0.1", "an unknown local user in Bcc"), _
    Array("Cc", "<bob@localhost", "an unreadable address in Cc"), _
    Array("From", "", "no From"), _
    Array("From", "kim@example.kr, lee@example.kr", "two addresses in From"))
' (The first field of a name is the one read, so a row's field goes first.)
For Each row In refusedRows
    fields = Array(row(0), row(1), "From", "kim@example.kr", "To", "ann@localhost", "Body", "x")
    CheckEqual "refused, " & row(2) & ": Send", SendHex(FormHex(fields, Array())), 0
    CheckEqual "refused, " & row(2) & ": nothing delivered", Copies(), "ann=0 bob=0 carl=0 temp="
Next

' --- the copies read back with MailReader once the mail server has collected
' them into the mailbox: up to the line "." alone, one leading "." taken
' off every other line
Sub Collect(u)
    Dim text, p
    If Delivered(u) = "" Or InStr(Delivered(u), "|") > 0 Then
        Fail "collect " & u & "'s copy", "copies: '" & Delivered(u) & "'"
        Exit Sub
    End If
    text = host.ReadFileText(CopyOf(u))
    host.RemoveTree CopyOf(u)
    p = InStr(text, vbCrLf & "." & vbCrLf)
    If p = 0 Then
        Fail "collect " & u & "'s copy", "no end-of-data line"
        Exit Sub
    End If
    Check "collect: the end-of-data line ends the file", p + 4 = Len(text)
    host.RemoveTree mailRoot & "\" & u & "\mailbox"
    host.MakeDirs mailRoot & "\" & u & "\mailbox"
    host.WriteFileText mailRoot & "\" & u & "\mailbox\m.in", Replace(Left(text, p + 1), vbCrLf & ".", vbCrLf)
End Sub
Function Reader()
    Dim r
    Set r = CreateObject("Tarnwick.MailReader")
    r.sMailPath = mailRoot & "\"
    r.sUserName = "ann"
    Set Reader = r
End Function

kim = Wide("ae40bbfcc218")
report = Wide("bcf4ace0c11c") & ".txt"
subject = "Re: " & korean & " " & emoji & " " & String(40, "q")
text = korean & " " & emoji & vbCrLf & "." & vbCrLf & ".hidden" & vbCrLf & String(100, "x") & vbCrLf & "end"
readRows = Array( _
    Array(subject, text, Array(report, "68656c6c6f", "notes.txt", "00ff"), text, report & "||notes.txt||", _
        "UTF-8 text, a long subject, a Korean file name"), _
    Array("dots", "hello" & vbCrLf & ".dot" & vbCrLf & ".", Array(), "hello" & vbCrLf & ".dot" & vbCrLf & "." & vbCrLf, "", _
        "ASCII text with dot lines, no attachment"))
For Each row In readRows
    CheckEqual row(5) & ": Send", SendHex(FormHex(Array("From", kim & " <kim@example.kr>", "To", "ann@localhost", _
        "Subject", row(0), "Body", row(1)), row(2))), 1
    Collect "ann"
    Set r = Reader()
    CheckEqual row(5) & ": one message", r.MailCount, 1
    summary = r.GetTitleInfo(0)
    parts = Split(summary, "||||")
    CheckEqual row(5) & ": five summary slots", UBound(parts), 4
    If UBound(parts) = 4 Then
        CheckEqual row(5) & ": From", parts(0), kim & " <kim@example.kr>"
        CheckEqual row(5) & ": Subject", parts(2), row(0)
    End If
    CheckEqual row(5) & ": GetBody", r.GetBody(0), row(3)
    CheckEqual row(5) & ": GetAllFileName", r.GetAllFileName(0), row(4)
    files = row(2)
    r.OnStartPage host.Context
    For i = 0 To UBound(files) Step 2
        host.Reset
        CheckEqual row(5) & ": GetFile " & host.Printable(files(i)), r.GetFile(0, files(i)) & " " & host.OutputHex, _
            "1 " & files(i + 1)
    Next
    r.OnEndPage
Next

Finish
