<%
Response.Write "CREATE-BEFORE-ERROR"
Set thing = Server.CreateObject("Tarnwick.NoSuchObject")
Response.Write "CREATED"
%>
