<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/compose.inc" -->
<%
Dim mail, i, f, toText, subject, body, lines, k, title

' Adds prefix (such as "Re: ") unless the subject already starts with it.
Function Prefixed(prefix, text)
    If LCase(Left(text, Len(prefix))) = LCase(prefix) Then
        Prefixed = text
    Else
        Prefixed = prefix & text
    End If
End Function

toText = ""
subject = ""
body = ""
title = "New message"

If Request.QueryString("reply") <> "" Or Request.QueryString("forward") <> "" Then
    Set mail = OpenMailbox()
    If Request.QueryString("reply") <> "" Then
        i = MessageIndex(Request.QueryString("reply"), mail.MailCount)
    Else
        i = MessageIndex(Request.QueryString("forward"), mail.MailCount)
    End If
    If i < 0 Then Fail "404 Not Found", "There is no such message."
    f = MessageFields(mail, i)

    If Request.QueryString("reply") <> "" Then
        title = "Reply"
        toText = AddressOf(f(0))
        subject = Prefixed("Re: ", Trim(f(2)))
        lines = Split(PlainLines(mail.GetBody(CLng(i))), vbLf)
        body = vbCrLf & vbCrLf
        For k = 0 To UBound(lines)
            body = body & "> " & lines(k) & vbCrLf
        Next
    Else
        title = "Forward"
        subject = Prefixed("Fw: ", Trim(f(2)))
        body = vbCrLf & vbCrLf & "---- Forwarded message ----" & vbCrLf & _
            "From: " & f(0) & vbCrLf & "Date: " & f(3) & vbCrLf & "Subject: " & f(2) & vbCrLf & vbCrLf & _
            Replace(PlainLines(mail.GetBody(CLng(i))), vbLf, vbCrLf) & vbCrLf
    End If
End If

PageStart title
ComposeForm H(toText), "", "", H(subject), H(body), False
PageEnd
%>
