<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/sha256.inc" -->
<%
Dim mail, i

If Not IsPost() Then
    Response.AddHeader "Allow", "POST"
    Fail "405 Method Not Allowed", "Messages are deleted with the Delete button of the message."
End If
If Not TokenIsValid(Request.Form("token")) Then
    Fail "403 Forbidden", "This form has expired. Open the message again and retry."
End If

Set mail = OpenMailbox()
i = MessageIndex(Request.Form("i"), mail.MailCount)
If i < 0 Then Fail "404 Not Found", "There is no such message."
If Sha256Hex(mail.GetTitleInfo(CLng(i))) <> Request.Form("check") Then
    Fail "409 Conflict", "The mailbox has changed since the message was shown; nothing was deleted."
End If

mail.DeleteMail CLng(i)
Response.Redirect "inbox.asp?deleted=1"
%>
