<%@ CODEPAGE=65001 %>
<p>中文页面</p>
<%
s = "汉字"
q = Request.QueryString("q")
Response.Write "len=" & Len(s) & ";text=" & s & ";url=" & Server.URLEncode(s)
Response.Write ";qlen=" & Len(q) & ";q=" & q & ";same=" & CInt(q = s) & ";"
%>
