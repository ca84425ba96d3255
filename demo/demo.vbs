' What a web-mail page does with Tarnwick, printed instead of rendered.
Set mail = CreateObject("Tarnwick.Mail")
mail.sMailPath = "C:\mail\"
mail.sUserName = "alice"
WScript.Echo "Mailbox of " & mail.sUserName & " under " & mail.sMailPath
WScript.Echo "  MailCount = " & mail.MailCount
WScript.Echo "  bDebug    = " & mail.bDebug

mail.sUserName = "bob"
WScript.Echo "Mailbox of bob: MailCount = " & mail.MailCount

mail.sUserName = "nobody"
WScript.Echo "Mailbox of nobody (no directory): MailCount = " & mail.MailCount

Set sender = CreateObject("Tarnwick.SendMail")
WScript.Echo "SendMail.sTempPath = " & sender.sTempPath
Set upload = CreateObject("Tarnwick.Upload")
WScript.Echo "Upload.TargetDir   = " & upload.TargetDir
