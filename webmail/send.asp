<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
Dim sender, ok

If Not IsPost() Then Response.Redirect "compose.asp"

' The compose form is multipart, which Request.Form does not read: the
' SendMail object reads the posted fields and files itself.
Set sender = Server.CreateObject("Tarnwick.SendMail")
If Not TokenIsValid(sender.Form("token")) Then
    Fail "403 Forbidden", "This form has expired. Open Compose again and retry."
End If
' Nobody sends in another user's name.
If LCase(Trim(sender.Form("From"))) <> LCase(UserAddress()) Then
    Fail "403 Forbidden", "Messages can only be sent from " & UserAddress() & "."
End If
Dim recipients
recipients = sender.Form("To")
If Trim(recipients) = "" Then
    Fail "400 Bad Request", "Enter at least one recipient."
End If
' The component takes the addresses exactly as written, so a blank next to a
' separator would become part of an address and that copy would be lost.
If recipients <> Trim(recipients) Or InStr(recipients, " ,") > 0 Or InStr(recipients, ", ") > 0 _
   Or InStr(recipients, " ;") > 0 Or InStr(recipients, "; ") > 0 Then
    Fail "400 Bad Request", "Separate the addresses with commas only, without spaces: bob@localhost,carol@localhost"
End If

sender.sMailPath = MAIL_STORE
sender.sTempPath = TEMP_PATH
ok = (sender.Send() = 1)

PageStart "Send"
If ok Then
%>
<p id="result" class="notice ok">Message sent.</p>
<% Else %>
<p id="result" class="notice error">The message could not be sent. Check the recipient addresses and try again.</p>
<% End If %>
<p><a id="back" class="button" href="inbox.asp">Back to the inbox</a></p>
<% PageEnd %>
