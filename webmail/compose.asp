<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
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
' The form is posted in GBK: the SendMail object writes the posted text into
' the message as it comes and declares it GB2312. A character GBK lacks is
' posted as "&#N;". (compose.js encodes its own posts the same way.)
%>
<form id="compose" class="panel" method="post" action="send.asp" enctype="multipart/form-data" accept-charset="gbk">
  <input type="hidden" name="From" value="<%= H(UserAddress()) %>">
  <input type="hidden" name="token" value="<%= H(Session("token")) %>">
  <label for="from">From</label>
  <input type="text" id="from" value="<%= H(UserAddress()) %>" readonly>
  <label for="to">To</label>
  <input type="text" id="to" name="To" value="<%= H(toText) %>" placeholder="name@<%= H(MAIL_DOMAIN) %>" required>
  <p class="hint">Several recipients: separate them with commas, as in bob@<%= H(MAIL_DOMAIN) %>,carol@<%= H(MAIL_DOMAIN) %></p>
  <label for="subject">Subject</label>
  <input type="text" id="subject" name="Subject" value="<%= H(subject) %>">
  <label for="bodytext">Message</label>
  <textarea id="bodytext" name="Body" rows="14">
<%= H(body) %></textarea>
  <fieldset id="files">
    <legend>Attachments</legend>
    <input type="file" id="file1" name="file1">
    <input type="file" id="file2" name="file2">
    <input type="file" id="file3" name="file3">
  </fieldset>
  <p class="actions">
    <button type="submit" id="send" class="primary">Send</button>
    <a id="cancel" class="button" href="inbox.asp">Cancel</a>
  </p>
  <div id="upload" hidden>
    <progress id="progress" max="1" value="0"></progress>
    <span id="progress-text" role="status"></span>
  </div>
</form>
<script src="compose.js"></script>
<% PageEnd %>
