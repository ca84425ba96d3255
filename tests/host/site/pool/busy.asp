<%
' Keeps its page thread busy for ms milliseconds (default 1000).
ms = 1000
If Request.QueryString("ms") <> "" Then ms = CLng(Request.QueryString("ms"))
t = Timer
Do While (Timer - t) * 1000 < ms And Timer >= t
Loop
Response.Write "busy=" & ms & ";"
%>
