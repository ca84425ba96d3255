<%@ LANGUAGE=VBScript CODEPAGE=65001 %><% Option Explicit %>
<!-- #include file="config.inc" -->
<!-- #include file="lib/common.inc" -->
<!-- #include file="lib/auth.inc" -->
<!-- #include file="lib/compose.inc" -->
<%
Dim sender, problem, recipientCount
Const MAX_RECIPIENT_FIELD = 10000

' text without the blanks (spaces, tabs, line breaks) around it; one Mid at
' the end, so a long run of blanks costs no more than its length.
Function WithoutBlanks(text)
    Dim s, first, last
    s = CStr(text & "")
    first = 1
    Do While first <= Len(s)
        If InStr(" " & vbTab & vbCr & vbLf, Mid(s, first, 1)) = 0 Then Exit Do
        first = first + 1
    Loop
    last = Len(s)
    Do While last >= first
        If InStr(" " & vbTab & vbCr & vbLf, Mid(s, last, 1)) = 0 Then Exit Do
        last = last - 1
    Loop
    WithoutBlanks = Mid(s, first, last - first + 1)
End Function

Function IsLocalDomain(domain)
    Dim names, k
    names = Split(LOCAL_DOMAINS, ",")
    IsLocalDomain = False
    For k = 0 To UBound(names)
        If LCase(Trim(names(k))) = LCase(domain) Then IsLocalDomain = True
    Next
End Function

' Whether MAIL_STORE has a mailbox for the user (the user's folder with its
' mailbox folder, as Send looks for it). A name with "\", "/" or ":", or
' ending in "." or a space (Windows would drop those), counts as none.
' Without a FileSystemObject the answer is yes: Send then finds out itself.
Function HasMailFolder(user)
    Dim fso
    HasMailFolder = True
    If user = "" Or Right(user, 1) = "." Or Right(user, 1) = " " Or InStr(user, "\") > 0 Or _
       InStr(user, "/") > 0 Or InStr(user, ":") > 0 Then
        HasMailFolder = False
        Exit Function
    End If
    On Error Resume Next
    Set fso = Server.CreateObject("Scripting.FileSystemObject")
    If Err.Number = 0 Then HasMailFolder = fso.FolderExists(MAIL_STORE & user & "\mailbox")
    On Error GoTo 0
End Function

' An address Send can write: one "@" with something on each side, at most
' 254 characters, all printable ASCII but for < > ( ) , ; : \ and quotes.
Function IsAddress(address)
    Dim k, c, at
    IsAddress = False
    at = InStr(address, "@")
    If Len(address) > 254 Or at <= 1 Or at = Len(address) Or InStr(at + 1, address, "@") > 0 Then Exit Function
    For k = 1 To Len(address)
        c = Mid(address, k, 1)
        If Not IsAsciiChar(c) Then Exit Function
        If Asc(c) <= 32 Or Asc(c) >= 127 Or InStr("<>(),;:\""", c) > 0 Then Exit Function
    Next
    IsAddress = True
End Function

' What Send would refuse in one recipient ("Name <address>" or an address,
' the name perhaps a quoted string), or "" when it would take it.
Function MailboxProblem(token)
    Dim k, c, quoted, opening, closing, address, at, user
    MailboxProblem = ""
    ' The "<" that opens the address is the last one outside quotes.
    opening = 0
    quoted = False
    k = 1
    Do While k <= Len(token)
        c = Mid(token, k, 1)
        If quoted And c = "\" And k < Len(token) Then
            k = k + 1
        ElseIf c = """" Then
            quoted = Not quoted
        ElseIf Not quoted And c = "<" Then
            opening = k
        End If
        k = k + 1
    Loop
    address = token
    If opening > 0 Then
        closing = InStr(opening, token, ">")
        If closing = 0 Then
            MailboxProblem = "The address """ & token & """ cannot be read: its ""<"" has no "">"" after it."
            Exit Function
        End If
        If WithoutBlanks(Mid(token, closing + 1)) <> "" Then
            MailboxProblem = "The address """ & token & """ cannot be read: there is more after its "">""."
            Exit Function
        End If
        address = WithoutBlanks(Mid(token, opening + 1, closing - opening - 1))
    End If
    If Not IsAddress(address) Then
        MailboxProblem = "The address """ & token & """ cannot be read: write it as name@domain (with a name, as Name <name@domain>)."
        Exit Function
    End If
    at = InStr(address, "@")
    user = Left(address, at - 1)
    If IsLocalDomain(Mid(address, at + 1)) Then
        If Not HasMailFolder(user) Then
            MailboxProblem = "Unknown local recipient: " & address & " (there is no mailbox of that name here)."
        End If
    End If
End Function

' The recipients of one field as Tarnwick.MailWriter reads them: separated by
' commas or semicolons outside a quoted name ("Wang, Ming") and outside
' <...>, blanks around each ignored. Counts them in recipientCount; gives the
' first one Send would refuse, or "" when it would take them all.
Function RecipientProblem(fieldText)
    Dim s, k, c, quoted, inAngle, start, token
    RecipientProblem = ""
    s = CStr(fieldText & "")
    ' Read a character at a time: a field this long is no list of recipients.
    If Len(s) > MAX_RECIPIENT_FIELD Then
        RecipientProblem = "A recipient field holds at most " & MAX_RECIPIENT_FIELD & " characters."
        Exit Function
    End If
    quoted = False
    inAngle = False
    start = 1
    k = 1
    Do While k <= Len(s) + 1
        c = ""
        If k <= Len(s) Then c = Mid(s, k, 1)
        If quoted And c = "\" And k < Len(s) Then
            k = k + 1
        Else
            If c = """" And Not inAngle Then quoted = Not quoted
            If Not quoted And c = "<" Then inAngle = True
            If Not quoted And c = ">" Then inAngle = False
            If c = "" Or (Not quoted And Not inAngle And (c = "," Or c = ";")) Then
                token = WithoutBlanks(Mid(s, start, k - start))
                If token <> "" Then
                    recipientCount = recipientCount + 1
                    RecipientProblem = MailboxProblem(token)
                    If RecipientProblem <> "" Then Exit Function
                End If
                start = k + 1
            End If
        End If
        k = k + 1
    Loop
End Function

If Not IsPost() Then Response.Redirect "compose.asp"

' The compose form is multipart, which Request.Form does not read: the
' MailWriter object reads the posted fields (as UTF-8) and files itself.
Set sender = Server.CreateObject("Tarnwick.MailWriter")
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
recipientCount = 0
problem = RecipientProblem(sender.Form("To"))
If problem = "" Then problem = RecipientProblem(sender.Form("Cc"))
If problem = "" Then problem = RecipientProblem(sender.Form("Bcc"))
If problem = "" And recipientCount = 0 Then problem = "Enter at least one recipient."
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
<p id="result" class="notice error"><%= H(problem) %></p>
<%
    ComposeForm H(sender.Form("To")), H(sender.Form("Cc")), H(sender.Form("Bcc")), H(sender.Form("Subject")), _
        H(sender.Form("Body")), True
End If
PageEnd
%>
