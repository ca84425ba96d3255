<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<%
' POST only, with the form token: a link or an image elsewhere cannot sign anyone out.
If Not IsPost() Then
    Response.AddHeader "Allow", "POST"
    Fail "405 Method Not Allowed", "Sign out with the Sign out button at the top of the page."
End If
If CurrentUser() <> "" And Not TokenIsValid(Request.Form("token")) Then
    Fail "403 Forbidden", "This form has expired. Open the inbox again and sign out from there."
End If
Session.Abandon
Response.Redirect "default.asp"
%>
