<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
' Newest first: the mail server names its files in order of arrival, so the
' store's last message is the newest. Positions (first, last) count from the
' newest; i is a message's index in the store.
Dim mail, count, pages, page, first, last, k, i, f, subject

Set mail = OpenMailbox()
count = mail.MailCount
pages = (count + PAGE_SIZE - 1) \ PAGE_SIZE
If pages < 1 Then pages = 1
page = MessageIndex(Request.QueryString("page"), 1000000)
If page < 1 Then page = 1
If page > pages Then page = pages
first = (page - 1) * PAGE_SIZE
last = first + PAGE_SIZE - 1
If last > count - 1 Then last = count - 1

PageStart "Inbox"
If Request.QueryString("deleted") = "1" Then
%>
<p id="notice" class="notice">Message deleted.</p>
<% End If %>
<p class="toolbar">
  <span id="count"><%= count %> <% If count = 1 Then %>message<% Else %>messages<% End If %></span>
  <a id="compose" class="button primary" href="compose.asp">Compose</a>
</p>
<% If count = 0 Then %>
<p id="empty" class="empty">Your inbox is empty.</p>
<% Else %>
<table id="inbox">
  <thead><tr><th class="from">From</th><th class="subject">Subject</th><th class="date">Date</th></tr></thead>
  <tbody>
<%
    For k = first To last
        i = count - 1 - k
        f = MessageFields(mail, i)
        subject = f(2)
        If Trim(subject) = "" Then subject = "(no subject)"
%>
    <tr class="message" id="m<%= i %>">
      <td class="from"><%= H(f(0)) %></td>
      <td class="subject"><a href="read.asp?i=<%= i %>"><%= H(subject) %></a></td>
      <td class="date"><%= H(f(3)) %></td>
    </tr>
<%
    Next
%>
  </tbody>
</table>
<p class="pager">
<% If page > 1 Then %>  <a id="prev" class="button" href="inbox.asp?page=<%= page - 1 %>">Previous page</a>
<% End If %>  <span id="pageinfo">Messages <%= first + 1 %>-<%= last + 1 %> of <%= count %>, page <%= page %> of <%= pages %></span>
<% If page < pages Then %>  <a id="next" class="button" href="inbox.asp?page=<%= page + 1 %>">Next page</a>
<% End If %></p>
<% End If %>
<% PageEnd %>
