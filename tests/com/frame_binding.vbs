' Creation by ProgID, fresh property values and page binding of the objects.
RequireTarnwick

Function HrOfStartPage(obj, arg)
    On Error Resume Next
    Err.Clear
    obj.OnStartPage arg
    HrOfStartPage = Err.Number
    On Error GoTo 0
End Function

' --- creation and fresh values
Set mail = CreateObject("Tarnwick.Mail")
Set mail1 = CreateObject("Tarnwick.Mail.1")
Check "Tarnwick.Mail and Tarnwick.Mail.1 both create", IsObject(mail) And IsObject(mail1)
CheckNullProperty "fresh sUserName is null", mail, "sUserName"
CheckNullProperty "fresh sPassWord is null", mail, "sPassWord"
CheckNullProperty "fresh sMailPath is null", mail, "sMailPath"
CheckEqual "fresh bDebug", mail.bDebug, 0
mail.sUserName = ""
CheckEqual "sUserName set to empty reads empty", mail.sUserName, ""
mail.sUserName = "Alice Lee"
CheckEqual "sUserName keeps the value", mail.sUserName, "Alice Lee"
mail.sPassWord = Hex2Str("d6d0cec4")
CheckEqual "sPassWord keeps Chinese text", Str2Hex(mail.sPassWord), "d6d0cec4"
mail.bDebug = 7
CheckEqual "bDebug keeps the value", mail.bDebug, 7

Set hz = CreateObject("Tarnwick.HanZi.1")
Check "HanZi creates", IsObject(hz)
Set sender = CreateObject("Tarnwick.SendMail")
CheckEqual "fresh sTempPath is the temp directory", sender.sTempPath, host.TempDir
CheckEqual "fresh SendMail sMailPath is empty", sender.sMailPath, ""
Set up = CreateObject("Tarnwick.Upload.1")
CheckEqual "fresh TargetDir is the temp directory", up.TargetDir, host.TempDir
CheckEqual "fresh Upload has no fields", up.TotalCount, 0

' --- narrow-buffer properties
long255 = String(255, "a")
sender.sMailPath = long255
CheckEqual "255-byte sMailPath stored whole", sender.sMailPath, long255
sender.sMailPath = String(300, "b")
CheckEqual "longer sMailPath cut to 255 bytes", Len(sender.sMailPath), 255
chinese = ""
For i = 1 To 128
    chinese = chinese & Hex2Str("cec4")
Next
up.TargetDir = chinese
CheckEqual "TargetDir cut without splitting a character", Str2Hex(up.TargetDir), Left(Str2Hex(chinese), 254 * 2)
up.TargetDir = ""
CheckEqual "TargetDir set empty", up.TargetDir, ""

' --- OnStartPage arguments
CheckHr "OnStartPage(Nothing) gives E_POINTER", HrOfStartPage(mail, Nothing), "80004003"
CheckHr "OnStartPage(non-context) gives E_NOINTERFACE", HrOfStartPage(mail, host), "80004002"
CheckEqual "nothing held after a refused binding", host.HeldPageObjects, 0

' --- binding and unbinding
CheckHr "Mail binds", HrOfStartPage(mail, host.Context), "00000000"
CheckEqual "Mail holds the five page objects", host.HeldPageObjects, 5
CheckEqual "the context is released", host.LiveContexts, 0
CheckHr "Mail binds again", HrOfStartPage(mail, host.Context), "00000000"
CheckEqual "binding again releases the earlier binding", host.HeldPageObjects, 5
mail.OnEndPage
CheckEqual "OnEndPage releases the page objects", host.HeldPageObjects, 0
CheckEqual "properties survive unbinding", mail.sUserName, "Alice Lee"
Call HrOfStartPage(mail, host.Context)
Set mail = Nothing
CheckEqual "destroying a bound object releases its page objects", host.HeldPageObjects, 0

' --- a failing page property
For Each prop In Array("Request", "Response", "Server", "Session", "Application")
    host.FailProperty = prop
    Set m = CreateObject("Tarnwick.Mail")
    CheckHr "failing " & prop & " fails OnStartPage", HrOfStartPage(m, host.Context), "80004005"
    CheckEqual "nothing held after failing " & prop, host.HeldPageObjects, 0
    Set m = Nothing
Next
host.FailProperty = ""

' --- SendMail reads the posted form itself
Set sender = CreateObject("Tarnwick.SendMail")
hr = HrOfForm(sender, "From")
CheckHr "SendMail.Form without a page gives E_UNEXPECTED", hr, "8000FFFF"
host.SetBodyText ""
CheckHr "SendMail binds", HrOfStartPage(sender, host.Context), "00000000"
CheckEqual "SendMail holds the page objects once", host.HeldPageObjects, 5
sender.OnEndPage
CheckEqual "SendMail.OnEndPage releases them", host.HeldPageObjects, 0
Call HrOfStartPage(sender, host.Context)
Call HrOfStartPage(sender, host.Context)
CheckEqual "a second SendMail binding replaces the first", host.HeldPageObjects, 5
Set sender = Nothing
CheckEqual "destroying SendMail releases everything", host.HeldPageObjects, 0

' --- Upload failure texts
host.Reset
host.FailTotalBytes = 1
Set up = CreateObject("Tarnwick.Upload")
CheckHr "Upload binding with an unreadable body still succeeds", HrOfStartPage(up, host.Context), "00000000"
CheckEqual "InitPost failure text", Str2Hex(host.OutputText), Str2Hex("InitPost()") & "caa7b0dc"
CheckEqual "the response is ended", host.Ended, 1
CheckEqual "no fields", up.TotalCount, 0
up.OnEndPage
host.FailTotalBytes = 0
host.Reset
host.FailBinaryRead = 1
Set up = CreateObject("Tarnwick.Upload")
Call HrOfStartPage(up, host.Context)
CheckEqual "BinaryRead failure gives the InitPost text", Str2Hex(host.OutputText), Str2Hex("InitPost()") & "caa7b0dc"
up.OnEndPage
host.FailBinaryRead = 0
host.Reset

' SendMail with a failing body: its Upload reports, SendMail still binds.
host.FailTotalBytes = 1
Set sender = CreateObject("Tarnwick.SendMail")
CheckHr "SendMail binds though its Upload fails", HrOfStartPage(sender, host.Context), "00000000"
CheckEqual "the Upload's failure text is in the page", Str2Hex(host.OutputText), Str2Hex("InitPost()") & "caa7b0dc"
hr = HrOfForm(sender, "From")
CheckHr "SendMail.Form of a missing field is no error", hr, "00000000"
sender.OnEndPage
host.FailTotalBytes = 0
host.Reset

Finish
