<%
' Locks Application and never unlocks: the lock ends with the page.
Application.Lock
Application("kept") = "locked"
Response.Write "kept=" & Application("kept") & ";"
%>
