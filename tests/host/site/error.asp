<p>LITERAL-BEFORE-ERROR</p>
<%
Response.Write "WRITTEN-BEFORE-ERROR"
divisor = 0 : Session.Contents("seen") = 1
quotient = 10 / divisor
Response.Write "NOT-REACHED"
%>
