<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/inline.inc" -->
<%
Dim user, mail, i, cid

' The part of a message with the given Content-ID (a cid: image of its
' HTML), sent as attachment.asp sends an attachment: a type a browser could
' run goes out as application/octet-stream, and is never sniffed. The user
' is the signed-in one, or the one whose view key the link carries (see
' lib/inline.inc); anyone else goes to the sign-in page.
user = CurrentUser()
If user = "" Then user = InlineKeyUser(Request.QueryString("u"), Request.QueryString("k"))
If user = "" Then
    Response.Redirect "default.asp"
    Response.End
End If

Set mail = Server.CreateObject("Tarnwick.MailReader")
mail.sMailPath = MAIL_STORE
mail.sUserName = user
i = MessageIndex(Request.QueryString("i"), mail.MailCount)
cid = Request.QueryString("cid") & ""
If i < 0 Or cid = "" Then Fail "404 Not Found", "There is no such part."

Response.AddHeader "X-Content-Type-Options", "nosniff"
' Opened on its own, the part runs nothing and loads nothing.
Response.AddHeader "Content-Security-Policy", "default-src 'none'; sandbox"
If mail.GetInlineFile(CLng(i), CStr(cid)) = 1 Then Response.End
Fail "404 Not Found", "There is no such part."
%>
