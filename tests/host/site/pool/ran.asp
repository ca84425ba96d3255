<%
' Counts the times it ran.
Application.Lock
Application("ran") = Application("ran") + 1
Application.UnLock
Response.Write "ran=" & Application("ran") & ";"
%>
