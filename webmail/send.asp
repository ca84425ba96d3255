<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/compose.inc" -->
<%
Dim sender, recipients, problem

' text without the spaces and tabs around it.
Function WithoutBlanks(text)
    Dim s
    s = CStr(text & "")
    Do While Len(s) > 0 And (Left(s, 1) = " " Or Left(s, 1) = vbTab)
        s = Mid(s, 2)
    Loop
    Do While Len(s) > 0 And (Right(s, 1) = " " Or Right(s, 1) = vbTab)
        s = Left(s, Len(s) - 1)
    Loop
    WithoutBlanks = s
End Function

Function IsLocalDomain(domain)
    Dim names, k
    names = Split(LOCAL_DOMAINS, ",")
    IsLocalDomain = False
    For k = 0 To UBound(names)
        If LCase(Trim(names(k))) = LCase(domain) Then IsLocalDomain = True
    Next
End Function

' Whether MAIL_STORE has a folder for the user. Without a FileSystemObject
' the answer is yes: Send then finds out itself.
Function HasMailFolder(user)
    Dim fso
    HasMailFolder = True
    If user = "" Or user = "." Or user = ".." Or InStr(user, "\") > 0 Or InStr(user, "/") > 0 Or InStr(user, ":") > 0 Then
        HasMailFolder = False
        Exit Function
    End If
    On Error Resume Next
    Set fso = Server.CreateObject("Scripting.FileSystemObject")
    If Err.Number = 0 Then HasMailFolder = fso.FolderExists(MAIL_STORE & user)
    On Error GoTo 0
End Function

' The recipients as Tarnwick.SendMail reads them: separated by commas or
' semicolons, blanks around them ignored, "Name <address>" or an address;
' local when the domain (after the first "@") is one of LOCAL_DOMAINS.
' Gives what Send would refuse, naming the address, or "" when it would not.
Function RecipientProblem(toText)
    Dim tokens, k, token, address, opening, closing, at, domain, user, count
    RecipientProblem = ""
    count = 0
    tokens = Split(Replace(CStr(toText & ""), ";", ","), ",")
    For k = 0 To UBound(tokens)
        token = WithoutBlanks(tokens(k))
        If token <> "" Then
            count = count + 1
            address = token
            opening = InStr(token, "<")
            If opening > 0 Then
                closing = InStr(token, ">")
                If closing < opening Then
                    RecipientProblem = "The address """ & token & """ cannot be read: its ""<"" has no "">"" after it."
                    Exit Function
                End If
                address = WithoutBlanks(Mid(token, opening + 1, closing - opening - 1))
            End If
            at = InStr(address, "@")
            domain = Mid(address, at + 1)
            user = ""
            If at > 0 Then user = Left(address, at - 1)
            If IsLocalDomain(domain) Then
                If Not HasMailFolder(user) Then
                    RecipientProblem = "Unknown local recipient: " & address & " (there is no mailbox of that name here)."
                    Exit Function
                End If
            End If
        End If
    Next
    If count = 0 Then RecipientProblem = "Enter at least one recipient."
End Function

If Not IsPost() Then Response.Redirect "compose.asp"

' The compose form is multipart, which Request.Form does not read: the
' SendMail object reads the posted fields and files itself.
Set sender = Server.CreateObject("Tarnwick.SendMail")
If Not TokenIsValid(sender.Form("token")) Then
    Fail "403 Forbidden", "This form has expired. Open Compose again and retry."
End If
' Nobody sends in another user's name.
If LCase(Trim(sender.Form("From"))) <> LCase(UserAddress()) Then
    Fail "403 Forbidden", "Messages can only be sent from " & UserAddress() & "."
End If

' Send answers only 1 or 0, so the page checks the recipients first to tell
' which one is wrong; Send checks them again and delivers nothing unless
' every one passes.
recipients = sender.Form("To")
problem = RecipientProblem(recipients)
If problem <> "" Then
    Response.Status = "400 Bad Request"
Else
    sender.sMailPath = MAIL_STORE
    sender.sTempPath = TEMP_PATH
    If sender.Send() <> 1 Then
        problem = "The message could not be sent to every recipient. Try again; if it keeps failing, tell the site's administrator."
    End If
End If

If problem = "" Then
    PageStart "Send"
%>
<p id="result" class="notice ok">Message sent.</p>
<p><a id="back" class="button" href="inbox.asp">Back to the inbox</a></p>
<%
Else
    ' The form again as it was posted, so nothing typed is lost.
    PageStart "New message"
%>
<p id="result" class="notice error"><%= PostedText(problem) %></p>
<%
    ComposeForm PostedText(recipients), PostedText(sender.Form("Subject")), PostedText(sender.Form("Body")), True
End If
PageEnd
%>
