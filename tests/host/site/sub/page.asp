<!-- #include file="../inc/nested.inc" -->
<%
Response.Write "here=" & Server.MapPath("x.txt") & vbLf
Response.Write "up=" & Server.MapPath("../x.txt") & vbLf
Response.Write "script=" & Request.ServerVariables("SCRIPT_NAME") & vbLf
%>
