<%
Response.Write "html=" & Server.HTMLEncode("<a href=""x"">&'") & vbLf
Response.Write "url=" & Server.URLEncode("a b&c/d=e?f-g_h.i~j%k+9") & vbLf
Response.Write "root=" & Server.MapPath("/") & vbLf
Response.Write "abs=" & Server.MapPath("/static/pixel.png") & vbLf
Response.Write "rel=" & Server.MapPath("notes.txt") & vbLf
Server.ScriptTimeout = 123
Response.Write "timeout=" & Server.ScriptTimeout & vbLf
%>
