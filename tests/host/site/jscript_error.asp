<%@ LANGUAGE=JScript %>
<%
Response.Write("JS-BEFORE-ERROR");
var nothing = null;
var broken = nothing.property;
%>
