<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/sha256.inc" -->
<!-- #include file="lib/passwd.inc" -->
<!-- #include file="lib/signin.inc" -->
<%
Dim user, password, name, problem
problem = ""
user = ""

If IsPost() Then
    user = Trim(Request.Form("user") & "")
    password = Request.Form("password") & ""
    If Not TokenIsValid(Request.Form("token")) Then
        ' Made by another site, or the session ended while the form was open.
        Response.Status = "403 Forbidden"
        problem = "This sign-in form has expired. Please sign in again."
    ElseIf PasswordTooLong(password) Then
        problem = "Passwords are at most " & MAX_PASSWORD_BYTES & " bytes long."
    Else
        name = CheckPassword(user, password)
        If name <> "" Then StartSignIn name
        problem = "Wrong user name or password."
    End If
ElseIf CurrentUser() <> "" Then
    Response.Redirect "inbox.asp"
Else
    FinishSignIn
End If
EnsureToken

PageStart "Sign in"
If problem <> "" Then
%>
<p id="error" class="notice error"><%= H(problem) %></p>
<% End If %>
<form id="signin" class="panel narrow" method="post" action="default.asp">
  <input type="hidden" name="token" value="<%= H(Session("token")) %>">
  <label for="user">User name</label>
  <input type="text" id="user" name="user" value="<%= H(user) %>" autocomplete="username" autofocus required>
  <label for="password">Password</label>
  <input type="password" id="password" name="password" maxlength="<%= MAX_PASSWORD_BYTES %>" autocomplete="current-password" required>
  <button type="submit" id="signin-button" class="primary">Sign in</button>
</form>
<% PageEnd %>
