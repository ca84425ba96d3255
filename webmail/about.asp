<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
Dim mail

PageStart "About"
Set mail = Server.CreateObject("Tarnwick.MailReader")
%>
<p>This site reads and sends mail with the Tarnwick component. Its own notice:</p>
<div id="about">
<% mail.About %>
</div>
<% PageEnd %>
