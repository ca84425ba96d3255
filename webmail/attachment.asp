<%@ LANGUAGE=VBScript CODEPAGE=936 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<%
Dim mail, i, wanted, names, name, found

Set mail = OpenMailbox()
i = MessageIndex(Request.QueryString("i"), mail.MailCount)
wanted = Request.QueryString("name") & ""
found = ""
If i >= 0 And wanted <> "" Then
    names = AttachmentNames(mail, i)
    For Each name In names
        If LCase(name) = LCase(wanted) Then found = name
    Next
End If
If found = "" Then Fail "404 Not Found", "There is no such attachment."

' Always a download: an HTML attachment shown inline would run in the site's pages.
Response.AddHeader "Content-Disposition", "attachment; filename=""" & Replace(Replace(Replace(found, """", "'"), vbCr, ""), vbLf, "") & """"
Response.AddHeader "X-Content-Type-Options", "nosniff"
If mail.GetFile(CLng(i), CStr(found)) = 1 Then Response.End
Fail "404 Not Found", "There is no such attachment."
%>
