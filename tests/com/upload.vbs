' Upload: reading a posted multipart/form-data body through the page.
RequireTarnwick

' A bound Upload over the given body text (UTF-16 units < 256 become bytes).
Function Posted(body)
    host.Reset
    host.SetBodyText body
    Dim u
    Set u = CreateObject("Tarnwick.Upload")
    u.OnStartPage host.Context
    Set Posted = u
End Function

' --- a Chromium-style body: two text fields, a file with its own Content-Type, an empty file
b = "----WebKitFormBoundary7MA4YWxkTrZu0gW"
body = Crlf(Array("--" & b, "Content-Disposition: form-data; name=""To""", "", "ann@localhost; bob@localhost", _
    "--" & b, "Content-Disposition: form-data; name=""f1""; filename=""D:\up\x.txt""", "Content-Type: text/plain", "", _
    "line one" & vbCrLf & "line two", _
    "--" & b, "Content-Disposition: form-data; name=""empty""; filename=""""", "Content-Type: application/octet-stream", "", "", _
    "--" & b, "Content-Disposition: form-data; name=""To""", "", "second", _
    "--" & b & "--"))
Set u = Posted(body)
CheckEqual "no failure text", host.OutputText, ""
CheckEqual "request read once", host.RequestLog, "TotalBytes,BinaryRead=" & Len(body)
CheckEqual "TotalCount counts every part", u.TotalCount, 4
CheckEqual "Form by name: the first of two", u.Form("To"), "ann@localhost; bob@localhost"
CheckEqual "Form by index sees the second", u.Form(3), "second"
CheckEqual "Form of a file field is the client's file name", u.Form("f1"), "D:\up\x.txt"
CheckEqual "IsFile of a file field", CInt(u.IsFile("f1")), -1
CheckEqual "IsFile of a text field", CInt(u.IsFile("To")), 0
CheckEqual "IsFile of an absent field", CInt(u.IsFile("nope")), 0
CheckEqual "FileSize", u.FileSize("f1"), 18
CheckHex "GetFileData", u.GetFileData("f1"), Str2Hex("line one" & vbCrLf & "line two")
CheckEqual "GetFileData is a byte array", host.ArrayInfo(u.GetFileData("f1")), "vt=8209 dims=1 lbound=0 count=18"
CheckEqual "FormName 0", u.FormName(0), "To"
CheckEqual "FormName 1", u.FormName(1), "f1"
CheckEqual "FormName past the end", u.FormName(9), ""
CheckEqual "Form by index past the end is empty", u.Form(9), ""
CheckHr "Form by index past the end is no error", HrOfForm(u, 9), "00000000"
CheckEqual "an absent name leaves the result unset", u.Form("missing"), ""
CheckEqual "an empty upload is a file field", CInt(u.IsFile("empty")), -1
CheckEqual "an empty upload's Form is empty", u.Form("empty"), ""
CheckHr "a non-numeric index fails the coercion", HrOfForm(u, Array(1)), "80020005"

' --- SaveFile
dir = ScratchDir & "saved\"
host.MakeDirs dir
u.TargetDir = dir
u.SaveFile "f1"
CheckEqual "SaveFile writes the base name into TargetDir", host.ReadFileHex(dir & "x.txt"), Str2Hex("line one" & vbCrLf & "line two")
CheckEqual "TargetDir loses its trailing backslash", u.TargetDir, Left(dir, Len(dir) - 1)
host.WriteFileText dir & "x.txt", "old"
u.SaveFile "f1"
CheckEqual "saving again replaces the file", host.FileSize(dir & "x.txt"), 18
u.SaveFile "empty"
u.SaveFile "To"
u.SaveFile "missing"
CheckEqual "empty uploads, text fields and absent fields write nothing", host.ListDir(dir), "x.txt"
u.OnEndPage
CheckEqual "fields outlive the page", u.Form("To"), "ann@localhost; bob@localhost"

' --- hostile file names never leave TargetDir
ff = "-----------------------------9051914041544843365972754266"
Set u = Posted(Crlf(Array(ff, "Content-Disposition: form-data; name=""a""; filename=""..\..\evil.txt""", "", "A", _
    ff, "Content-Disposition: form-data; name=""b""; filename=""C:boot.ini""", "", "B", _
    ff, "Content-Disposition: form-data; name=""c""; filename=""dir\""", "", "C", _
    ff, "Content-Disposition: form-data; name=""d""; filename=""x/../..""", "", "D", ff & "--")))
dir2 = ScratchDir & "inner\box\"
host.MakeDirs dir2
u.TargetDir = dir2
u.SaveFile "a"
u.SaveFile "b"
u.SaveFile "c"
u.SaveFile "d"
CheckEqual "only base names are written", host.FileExists(dir2 & "evil.txt") & host.FileExists(dir2 & "boot.ini") & UBound(Split(host.ListDir(dir2), "|")), "111"
CheckEqual "nothing above TargetDir", host.FileExists(ScratchDir & "evil.txt") + host.FileExists(ScratchDir & "inner\evil.txt"), 0

' --- a GBK name whose second bytes are 0x5C is saved whole; device names and
' a name Windows would change are refused (S_FALSE: nothing is written)
gbk = "815cd55c2e747874"
host.Reset
host.SetBodyHex Str2Hex("--B" & vbCrLf & "Content-Disposition: form-data; name=""g""; filename=""D:\up\") & gbk & _
    Str2Hex("""" & vbCrLf & vbCrLf & "G" & vbCrLf & Crlf(Array( _
    "--B", "Content-Disposition: form-data; name=""c""; filename=""COM1""", "", "C", _
    "--B", "Content-Disposition: form-data; name=""a""; filename=""aux.txt""", "", "A", _
    "--B", "Content-Disposition: form-data; name=""d""; filename=""x.txt.""", "", "D", "--B--")))
Set u = CreateObject("Tarnwick.Upload")
u.OnStartPage host.Context
dir3 = ScratchDir & "names\"
host.MakeDirs dir3
u.TargetDir = dir3
u.SaveFile "g"
CheckEqual "a GBK name with 0x5C second bytes is saved whole", host.ReadFileHex(dir3 & Hex2Str(gbk)), Str2Hex("G")
u.SaveFile "c"
u.SaveFile "a"
u.SaveFile "d"
CheckEqual "COM1, aux.txt and x.txt. write nothing", host.ListDir(dir3), Hex2Str(gbk)

' --- values with NUL, CR and LF; Chinese names
Set u = Posted("--B" & vbCrLf & "Content-Disposition: form-data; name=""v""" & vbCrLf & vbCrLf & "a" & vbCr & vbLf & "b" & vbCrLf & "--B--" & vbCrLf)
CheckEqual "a value keeps CR and LF", u.Form("v"), "a" & vbCrLf & "b"
host.Reset
host.SetBodyHex Str2Hex("--B" & vbCrLf & "Content-Disposition: form-data; name=""") & "d6d0cec4" & Str2Hex("""" & vbCrLf & vbCrLf & "x") & "00" & Str2Hex("y" & vbCrLf & "--B--" & vbCrLf)
Set u = CreateObject("Tarnwick.Upload")
u.OnStartPage host.Context
CheckEqual "a Chinese field name", Str2Hex(u.FormName(0)), "d6d0cec4"
CheckEqual "a value is handed out up to a NUL byte", u.Form(Hex2Str("d6d0cec4")), "x"

' --- bodies that yield no fields
Set u = Posted("")
CheckEqual "an empty body has no fields", u.TotalCount, 0
CheckEqual "and writes nothing", host.Log, ""
Set u = Posted("a=1&b=2")
CheckEqual "a url-encoded body has no fields", u.TotalCount, 0
Set u = Posted("--B" & vbLf & "Content-Disposition: form-data; name=""a""" & vbLf & vbLf & "x" & vbLf & "--B--" & vbLf)
CheckEqual "LF-only line ends give no fields", u.TotalCount, 0

' --- a short read stays within the bytes returned
host.Reset
host.SetBodyText Crlf(Array("--B", "Content-Disposition: form-data; name=""a""", "", "xyz", "--B--"))
host.ShortRead = 20
Set u = CreateObject("Tarnwick.Upload")
u.OnStartPage host.Context
Check "a short read parses what arrived", u.TotalCount <= 1
host.ShortRead = -1

Finish
