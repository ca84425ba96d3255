<%
Application.Lock
Application.Contents("hits") = Application.Contents("hits") + 1
hits = Application.Contents("hits")
Application.UnLock
If Request.QueryString("note") <> "" Then Application.Value("note") = Request.QueryString("note")
Response.Write "hits=" & hits & ";note=" & Application.Value("note") & ";"
%>
