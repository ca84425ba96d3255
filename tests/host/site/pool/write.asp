<%
Application.Lock
Application("kept") = "written"
Application.UnLock
Response.Write "kept=" & Application("kept") & ";"
%>
