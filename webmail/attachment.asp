<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
Dim mail, i, wanted, names, name, found

' The Content-Disposition of a download (RFC 6266). filename= is a quoted
' string of ASCII for browsers of old (\ and " escaped, other characters
' as "_"); filename*= is the whole name in UTF-8, percent-encoded, which
' browsers prefer. Control characters are left out of both.
Function Disposition(fileName)
    Dim k, ch, c, clean, plain, full, pageCodePage
    clean = ""
    plain = ""
    For k = 1 To Len(fileName)
        ch = Mid(fileName, k, 1)
        c = Asc(ch)
        If Not IsAsciiChar(ch) Then
            clean = clean & ch
            plain = plain & "_"
        ElseIf c >= 32 And c < 127 Then
            clean = clean & ch
            If ch = "\" Or ch = """" Then plain = plain & "\"
            plain = plain & ch
        End If
    Next
    If clean = "" Then
        clean = "attachment"
        plain = "attachment"
    End If
    ' Server.URLEncode writes the bytes of the response's code page.
    pageCodePage = Response.CodePage
    Response.CodePage = 65001
    full = Replace(Server.URLEncode(clean), "+", "%20")
    Response.CodePage = pageCodePage
    Disposition = "attachment; filename=""" & plain & """; filename*=UTF-8''" & full
End Function

Set mail = OpenMailbox()
i = MessageIndex(Request.QueryString("i"), mail.MailCount)
wanted = Request.QueryString("name") & ""
found = ""
If i >= 0 And wanted <> "" Then
    names = AttachmentNames(mail, i)
    For Each name In names
        If LCase(name) = LCase(wanted) Then found = name
    Next
End If
If found = "" Then Fail "404 Not Found", "There is no such attachment."

' Always a download: an HTML attachment shown inline would run in the site's pages.
Response.AddHeader "Content-Disposition", Disposition(found)
Response.AddHeader "X-Content-Type-Options", "nosniff"
If mail.GetFile(CLng(i), CStr(found)) = 1 Then Response.End
Fail "404 Not Found", "There is no such attachment."
%>
