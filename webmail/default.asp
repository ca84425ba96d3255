<%@ LANGUAGE=VBScript CODEPAGE=936 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/sha256.inc" -->
<!-- #include file="lib/passwd.inc" -->
<%
Dim user, name, failed
failed = False
user = ""

If IsPost() Then
    user = Trim(Request.Form("user") & "")
    name = CheckPassword(user, Request.Form("password") & "")
    If name <> "" Then
        Session.Contents("user") = name
        ' A per-session secret that every changing form carries back.
        Randomize
        Session.Contents("token") = Sha256Hex(Session.SessionID & ":" & name & ":" & Now & ":" & Timer & ":" & Rnd & ":" & Rnd)
        Response.Redirect "inbox.asp"
    End If
    failed = True
ElseIf CurrentUser() <> "" Then
    Response.Redirect "inbox.asp"
End If

PageStart "Sign in"
If failed Then
%>
<p id="error" class="notice error">Wrong user name or password.</p>
<% End If %>
<form id="signin" class="panel narrow" method="post" action="default.asp">
  <label for="user">User name</label>
  <input type="text" id="user" name="user" value="<%= H(user) %>" autocomplete="username" autofocus required>
  <label for="password">Password</label>
  <input type="password" id="password" name="password" autocomplete="current-password" required>
  <button type="submit" id="signin-button" class="primary">Sign in</button>
</form>
<% PageEnd %>
