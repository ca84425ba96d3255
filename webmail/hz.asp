<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
Dim hz, text

text = ""
If IsPost() Then
    If Not TokenIsValid(Request.Form("token")) Then
        Fail "403 Forbidden", "This form has expired. Open the HZ page again and retry."
    End If
    text = Request.Form("hz") & ""
End If

PageStart "HZ text"
%>
<p>HZ text keeps Chinese in 7-bit ASCII between <code>~{</code> and <code>~}</code>. Paste some to read it.</p>
<form id="hzform" class="panel" method="post" action="hz.asp">
  <input type="hidden" name="token" value="<%= H(Session("token")) %>">
  <label for="hz">HZ text</label>
  <textarea id="hz" name="hz" rows="6" placeholder="~{&lt;:Ky2;S{#,NpJ)l6HK!#~}">
<%= H(text) %></textarea>
  <p class="actions"><button type="submit" id="convert" class="primary">Convert</button></p>
</form>
<% If IsPost() Then
    Set hz = Server.CreateObject("Tarnwick.HanZi")
%>
<h2>GB2312 text</h2>
<pre id="hzresult"><%= H(hz.HZ2GB(CStr(text))) %></pre>
<% End If %>
<% PageEnd %>
