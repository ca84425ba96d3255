<%
Response.Write "start"
p = Server.MapPath("../outside.txt")
Response.Write "ESCAPED=" & p
%>
