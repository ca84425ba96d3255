' What a web-mail site does with Tarnwick, written as a report instead of a
' page. "page" stands in for the web server's page objects: it carries the
' posted form and collects what the objects write into the page.
Set page = CreateObject("TarnwickTest.PageHost")
report = ""
Sub Say(text)
    report = report & text & vbCrLf
End Sub

' --- the inbox
Set mail = CreateObject("Tarnwick.Mail")
mail.OnStartPage page.Context
mail.sMailPath = "C:\mail\"
mail.sUserName = "alice"
Say "Inbox of " & mail.sUserName & ": " & mail.MailCount & " messages"
For i = 0 To mail.MailCount - 1
    fields = Split(mail.GetTitleInfo(i), "||||")
    Say "  [" & i & "] From: " & fields(0) & " | Subject: " & fields(2) & " | Date: " & fields(3)
Next

' --- each message with its attachments
For i = 0 To mail.MailCount - 1
    Say ""
    Say "Message " & i & ":"
    Say mail.GetBody(i)
    list = mail.GetAllFileName(i)
    If list <> "" Then
        names = Split(list, "||")
        For Each name In names
            If name <> "" Then
                page.Reset
                ok = mail.GetFile(i, name)
                Say "  attachment " & name & " (sent to the browser as " & page.ContentType & "):"
                If Left(page.ContentType, 5) = "text/" Then
                    Say "    " & Replace(page.FromNarrowHex(page.OutputHex), vbLf, vbLf & "    ")
                Else
                    Say "    " & (Len(page.OutputHex) / 2) & " bytes"
                End If
            End If
        Next
    End If
Next
mail.OnEndPage

' --- sending: the composition form as a browser posts it
b = "----WebKitFormBoundaryDemo1234567890"
Function Field(name, value)
    Field = "--" & b & vbCrLf & "Content-Disposition: form-data; name=""" & name & """" & vbCrLf & vbCrLf & value & vbCrLf
End Function
body = Field("From", "alice@localhost") & Field("To", "Bob <bob@localhost>; carol@example.org") & _
    Field("Subject", "Re: Lunch on Friday?") & Field("Body", "Yes, gladly. My notes are attached.") & _
    "--" & b & vbCrLf & "Content-Disposition: form-data; name=""file1""; filename=""C:\Users\alice\notes.txt""" & vbCrLf & _
    "Content-Type: text/plain" & vbCrLf & vbCrLf & "Bring an umbrella." & vbCrLf & "--" & b & "--" & vbCrLf
page.Reset
page.SetBodyText body
Set sender = CreateObject("Tarnwick.SendMail")
sender.OnStartPage page.Context
sender.sMailPath = "C:\mail"
Say ""
Say "Send to Bob (local) and Carol (elsewhere): bSendSucceed = " & sender.Send()
sender.OnEndPage

' --- HZ text to GB2312
Set hz = CreateObject("Tarnwick.HanZi")
Say ""
Say "HZ2GB(""~{<:Ky2;S{#,NpJ)l6HK!#~}"") = " & hz.HZ2GB("~{<:Ky2;S{#,NpJ)l6HK!#~}")

page.WriteFileNarrow "C:\demo\report.txt", report
WScript.Echo "report written"
