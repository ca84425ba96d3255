<%@ LANGUAGE=VBScript CODEPAGE=936 %><% Option Explicit %>
<%
Session.Abandon
Response.Redirect "default.asp"
%>
