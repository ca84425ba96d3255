<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/sha256.inc" -->
<!-- #include file="lib/inline.inc" -->
<%
Dim mail, i, f, names, name, subject, html, formatted

' The HTML of a message with every cid: image source (src=cid:..., in any
' letter case, quoted either way or not at all) pointing at inline.asp, which
' sends that part of the message (the link carries a view key: see
' lib/inline.inc). Other sources are left as they are: the view's
' Content-Security-Policy keeps them from loading.
Function InlineSources(text, n)
    Dim lower, out, pos, p, q, quote, valueEnd, value, link
    link = "inline.asp?i=" & n & "&amp;u=" & U(CurrentUser()) & "&amp;k=" & InlineKey() & "&amp;cid="
    lower = LCase(text)
    out = ""
    pos = 1
    Do
        p = InStr(pos, lower, "src")
        If p = 0 Then Exit Do
        q = p + 3
        Do While q <= Len(lower) And InStr(" " & vbTab & vbCr & vbLf, Mid(lower, q, 1)) > 0
            q = q + 1
        Loop
        If Mid(lower, q, 1) = "=" Then
            q = q + 1
            Do While q <= Len(lower) And InStr(" " & vbTab & vbCr & vbLf, Mid(lower, q, 1)) > 0
                q = q + 1
            Loop
            quote = Mid(lower, q, 1)
            If quote = """" Or quote = "'" Then q = q + 1 Else quote = ""
            If Mid(lower, q, 4) = "cid:" Then
                valueEnd = q + 4
                Do While valueEnd <= Len(lower)
                    If quote <> "" Then
                        If Mid(lower, valueEnd, 1) = quote Then Exit Do
                    ElseIf InStr(" " & vbTab & vbCr & vbLf & ">", Mid(lower, valueEnd, 1)) > 0 Then
                        Exit Do
                    End If
                    valueEnd = valueEnd + 1
                Loop
                value = Replace(Mid(text, q + 4, valueEnd - q - 4), "&amp;", "&")
                out = out & Mid(text, pos, q - pos) & link & U(value)
                pos = valueEnd
            Else
                out = out & Mid(text, pos, q - pos)
                pos = q
            End If
        Else
            out = out & Mid(text, pos, q - pos)
            pos = q
        End If
    Loop
    InlineSources = out & Mid(text, pos)
End Function

Set mail = OpenMailbox()
i = MessageIndex(Request.QueryString("i"), mail.MailCount)
If i < 0 Then Fail "404 Not Found", "There is no such message."

f = MessageFields(mail, i)
names = AttachmentNames(mail, i)
subject = f(2)
If Trim(subject) = "" Then subject = "(no subject)"
html = mail.GetHtmlBody(CLng(i))
formatted = (html <> "" And Request.QueryString("view") = "formatted")

' The formatted view: the message's HTML in a sandboxed frame (no script, no
' same origin), under a policy that runs no script and fetches nothing but
' this site's images and data: URLs, so a message cannot tell anyone it was
' read. The frame's document inherits the policy; the page's own style sheet
' comes inline, as the policy allows no other.
If formatted Then
    Response.AddHeader "Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data:"
    pageInlineStyle = True
End If

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
<% If formatted Then %>
  <a id="show-text" class="button" href="read.asp?i=<%= i %>">Show text</a>
<% ElseIf html <> "" Then %>
  <a id="show-formatted" class="button" href="read.asp?i=<%= i %>&amp;view=formatted">Show formatted</a>
<% End If %>
</p>
<% If formatted Then %>
<p id="remote-note" class="notice">Images and other content from other servers are not loaded, so the sender cannot
tell that you read this message. Scripts in the message do not run.</p>
<iframe id="htmlbody" sandbox srcdoc="<%= H(InlineSources(html, i)) %>" title="The message, formatted"></iframe>
<% Else %>
<pre id="body"><%= H(mail.GetBody(CLng(i))) %></pre>
<% End If %>
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
