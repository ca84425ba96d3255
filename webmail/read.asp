<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/sha256.inc" -->
<%
Dim mail, i, f, names, name, subject

Set mail = OpenMailbox()
i = MessageIndex(Request.QueryString("i"), mail.MailCount)
If i < 0 Then Fail "404 Not Found", "There is no such message."

f = MessageFields(mail, i)
names = AttachmentNames(mail, i)
subject = f(2)
If Trim(subject) = "" Then subject = "(no subject)"

PageStart subject
%>
<dl id="headers">
  <dt>From</dt><dd id="from"><%= H(f(0)) %></dd>
  <dt>To</dt><dd id="to"><%= H(f(1)) %></dd>
  <dt>Subject</dt><dd id="subject"><%= H(f(2)) %></dd>
  <dt>Date</dt><dd id="date"><%= H(f(3)) %></dd>
</dl>
<p class="toolbar">
  <a id="reply" class="button" href="compose.asp?reply=<%= i %>">Reply</a>
  <a id="forward" class="button" href="compose.asp?forward=<%= i %>">Forward</a>
  <a id="inbox-link" class="button" href="inbox.asp">Inbox</a>
</p>
<pre id="body"><%= H(mail.GetBody(CLng(i))) %></pre>
<% If UBound(names) >= 0 Then %>
<h2>Attachments</h2>
<ul id="attachments">
<% For Each name In names %>
  <li><a href="attachment.asp?i=<%= i %>&amp;name=<%= H(U(name)) %>"><%= H(name) %></a></li>
<% Next %>
</ul>
<% End If %>
<%
' The message's summary travels with the form as a hash: should the mailbox
' change meanwhile and the number point at another message, nothing is deleted.
%>
<form id="deleteform" method="post" action="delete.asp">
  <input type="hidden" name="i" value="<%= i %>">
  <input type="hidden" name="check" value="<%= Sha256Hex(mail.GetTitleInfo(CLng(i))) %>">
  <input type="hidden" name="token" value="<%= H(Session("token")) %>">
  <button type="submit" id="delete" class="danger">Delete</button>
</form>
<% PageEnd %>
