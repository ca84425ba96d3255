' The test page host itself, from VBScript: helpers, recorded page output,
' failure injection and reference counting. Needs no Tarnwick.dll.

Dim b, s, hr, n, d, ctx, q, r, dir, clsid

' --- Environment -----------------------------------------------------------
CheckEqual "host type", TypeName(host), "Object"
CheckEqual "TarnwickDir", TarnwickDir, "C:\tarnwick\"
CheckEqual "SourceDir ends with a backslash", Right(SourceDir, 1), "\"
CheckEqual "ScratchDir exists", host.DirExists(ScratchDir), 1
CheckEqual "ScratchDir is empty", host.ListDir(ScratchDir), ""
CheckEqual "TempDir ends with a backslash", Right(host.TempDir, 1), "\"
CheckEqual "TempDir exists", host.DirExists(host.TempDir), 1
CheckEqual "ScratchDir lies in TempDir", InStr(ScratchDir, host.TempDir), 1
Check "two scratch dirs differ", host.NewScratchDir() <> ScratchDir
CheckEqual "GetEnv missing", host.GetEnv("TARNWICK_NO_SUCH_VARIABLE"), "<missing>"

' --- Bytes and hex ---------------------------------------------------------
b = host.HexToBytes("00FF7f80")
CheckHex "HexToBytes/BytesToHex round trip", b, "00ff7f80"
CheckEqual "ArrayInfo of bytes", host.ArrayInfo(b), "vt=8209 dims=1 lbound=0 count=4"
CheckEqual "IsArray of bytes", IsArray(b), True
CheckEqual "VarType of bytes", host.VarType(b), 8209
b = host.HexToBytes("")
CheckEqual "ArrayInfo of no bytes", host.ArrayInfo(b), "vt=8209 dims=1 lbound=0 count=0"
CheckEqual "BytesToHex of no bytes", host.BytesToHex(b), ""
CheckEqual "BytesToHex of Empty", host.BytesToHex(Empty), ""
CheckEqual "BytesToHex of a string", host.BytesToHex("ab"), "<not bytes vt=8>"
CheckEqual "ArrayInfo of a number", host.ArrayInfo(5), "vt=2"
CheckEqual "HexToBytes ignores spaces", host.BytesToHex(host.HexToBytes("0d 0a")), "0d0a"
On Error Resume Next
b = host.HexToBytes("abc")
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckEqual "HexToBytes of an odd digit count fails", hr, 5

' --- Code page 936 and UTF-16 ----------------------------------------------
s = Chr(&HD6D0) & Chr(&HCEC4)
CheckEqual "NarrowHex of Chr(&HD6D0)&Chr(&HCEC4)", host.NarrowHex(s), "d6d0cec4"
CheckEqual "WideHex of the same", host.WideHex(s), "4e2d6587"
CheckEqual "FromNarrowHex", host.FromNarrowHex("d6d0cec4"), s
CheckEqual "FromWideHex", host.FromWideHex("4e2d6587"), s
CheckEqual "Hex2Str/Wide agree", Hex2Str("d6d0cec4"), Wide("4e2d6587")
CheckEqual "Str2Hex", Str2Hex(Wide("4e2d") & "A"), "d6d041"
CheckEqual "Printable", host.Printable("a" & Wide("4e2d") & vbCrLf), "a\u4e2d\u000d\u000a"
CheckEqual "Printable keeps ASCII", host.Printable("C:\x y"), "C:\x y"
CheckEqual "WideHex of ASCII", host.WideHex("A~"), "0041007e"
CheckEqual "NarrowHex of empty", host.NarrowHex(""), ""

' --- Null strings, variant types, HRESULTs --------------------------------
' A null BSTR is only visible when a call's result is passed on directly:
' Wine's VBScript turns it into an empty string when it stores it.
CheckEqual "IsNull of a null string", host.IsNull(host.NullString), 1
CheckEqual "a stored null string reads as empty", host.IsNull(StoreAndReturn(host.NullString)), 0
CheckEqual "IsNull of an empty string", host.IsNull(""), 0
CheckEqual "IsNull of Empty", host.IsNull(Empty), 0
CheckEqual "VarType of a string", host.VarType("x"), 8
CheckEqual "VarType of Empty", host.VarType(Empty), 0
CheckEqual "VarType of a long", host.VarType(100000), 3
CheckEqual "HResultHex", host.HResultHex(-2147467261), "80004003"
CheckEqual "HResultHex of zero", host.HResultHex(0), "00000000"
On Error Resume Next
host.FailWithException &H80004003
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "a failure through EXCEPINFO keeps its HRESULT", hr, "80004003"
On Error Resume Next
host.FailWith &H80004002
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckEqual "E_NOINTERFACE returned directly becomes error 430", hr, 430
CheckHr "CheckHr accepts the VBScript number of an HRESULT", hr, "80004002"
CheckEqual "VbsErrorOf", VbsErrorOf("80070057"), 5
CheckEqual "VbsErrorOf keeps E_FAIL", VbsErrorOf("80004005"), &H80004005
CheckEqual "HResultFromHex", host.HResultFromHex("80004003"), &H80004003
CheckEqual "HResultFromHex of a short number", host.HResultFromHex("1ae"), 430

Set d = CreateObject("Scripting.Dictionary")
d.Add "k", 1
CheckEqual "DirectGet reads a property through the vtable", host.DirectGet(d, "Count"), 1
On Error Resume Next
n = host.DirectGet(host, "Log")
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "DirectGet needs type information", hr, "8002000B"
Set d = Nothing

Function StoreAndReturn(v)
    StoreAndReturn = v
End Function

' --- Files -----------------------------------------------------------------
CheckEqual "ReadFileHex of a missing file", host.ReadFileHex(ScratchDir & "none.bin"), "<missing>"
CheckEqual "FileExists of a missing file", host.FileExists(ScratchDir & "none.bin"), 0
CheckEqual "FileSize of a missing file", host.FileSize(ScratchDir & "none.bin"), -1
host.WriteFileHex ScratchDir & "a.bin", "000d0aff"
CheckEqual "WriteFileHex/ReadFileHex", host.ReadFileHex(ScratchDir & "a.bin"), "000d0aff"
CheckEqual "FileSize", host.FileSize(ScratchDir & "a.bin"), 4
CheckEqual "FileExists", host.FileExists(ScratchDir & "a.bin"), 1
CheckEqual "FileExists of a directory", host.FileExists(ScratchDir), 0
host.WriteFileText ScratchDir & "b.txt", "Hi" & vbCrLf
CheckEqual "WriteFileText", host.ReadFileHex(ScratchDir & "b.txt"), "48690d0a"
CheckEqual "ReadFileText", host.ReadFileText(ScratchDir & "b.txt"), "Hi" & vbCrLf
host.WriteFileNarrow ScratchDir & "c.txt", Wide("4e2d6587")
CheckEqual "WriteFileNarrow writes GBK", host.ReadFileHex(ScratchDir & "c.txt"), "d6d0cec4"
CheckEqual "ReadFileNarrow", host.ReadFileNarrow(ScratchDir & "c.txt"), Wide("4e2d6587")
host.WriteFileHex ScratchDir & "a.bin", ""
CheckEqual "WriteFileHex replaces a file", host.FileSize(ScratchDir & "a.bin"), 0
dir = ScratchDir & "x\y\z"
host.MakeDirs dir
CheckEqual "MakeDirs creates every level", host.DirExists(dir), 1
host.MakeDirs dir & "\"
CheckEqual "MakeDirs of an existing dir", host.DirExists(dir), 1
n = host.ListDir(ScratchDir)
Check "ListDir names every entry", InStr("|" & n & "|", "|a.bin|") > 0 And InStr("|" & n & "|", "|x|") > 0 _
    And InStr("|" & n & "|", "|b.txt|") > 0 And InStr("|" & n & "|", "|c.txt|") > 0
CheckEqual "ListDir entry count", UBound(Split(n, "|")) + 1, 4
CheckEqual "ListDir of a missing dir", host.ListDir(ScratchDir & "none"), "<missing>"
host.WriteFileHex dir & "\f.bin", "01"
host.RemoveTree ScratchDir & "x"
CheckEqual "RemoveTree removes the tree", host.DirExists(ScratchDir & "x"), 0
host.RemoveTree ScratchDir & "b.txt"
CheckEqual "RemoveTree removes a file", host.FileExists(ScratchDir & "b.txt"), 0
host.RemoveTree ScratchDir & "none"
Pass "RemoveTree of a missing path is no error"

' --- Registry --------------------------------------------------------------
clsid = "{44DF9F18-09B6-448E-9956-18C750DD6688}"
CheckEqual "RegRead ProgID\CLSID", host.RegRead("HKCR\TarnwickTest.PageHost\CLSID", ""), clsid
CheckEqual "RegRead InprocServer32", LCase(host.RegRead("HKCR\CLSID\" & clsid & "\InprocServer32", "")), _
    LCase(TarnwickDir & "TarnwickTestHost.dll")
CheckEqual "RegRead ThreadingModel", host.RegRead("HKEY_CLASSES_ROOT\CLSID\" & clsid & "\InprocServer32", "ThreadingModel"), "Apartment"
CheckEqual "RegRead ProgID", host.RegRead("HKCR\CLSID\" & clsid & "\ProgID", ""), "TarnwickTest.PageHost"
CheckEqual "RegRead of a missing value", host.RegRead("HKCR\CLSID\" & clsid, "NoSuchValue"), "<missing>"
CheckEqual "RegRead of a missing key", host.RegRead("HKCR\NoSuch.Key.Here", ""), "<missing>"
CheckEqual "RegRead of a DWORD", host.RegRead("HKLM\System\CurrentControlSet\Control\Nls\CodePage", "ACP"), "936"
CheckEqual "RegKeyExists", host.RegKeyExists("HKCR\CLSID\" & clsid), 1
CheckEqual "RegKeyExists of a missing key", host.RegKeyExists("HKCR\CLSID\{00000000-0000-0000-0000-000000000001}"), 0
CheckEqual "RegSubkeyCount", host.RegSubkeyCount("HKCR\CLSID\" & clsid), 2
CheckEqual "RegSubkeyCount of a missing key", host.RegSubkeyCount("HKCR\NoSuch.Key.Here"), -1
CheckEqual "RegSubkeys", host.RegSubkeys("HKCR\CLSID\" & clsid), "InprocServer32|ProgID"

' --- Request body ----------------------------------------------------------
host.SetBodyHex "41420d0a"
CheckEqual "SetBodyHex/BodyLength", host.BodyLength, 4
CheckEqual "BodyHex", host.BodyHex, "41420d0a"
host.SetBodyText "abc" & Wide("00ff")
CheckEqual "SetBodyText", host.BodyHex, "616263ff"
host.WriteFileHex ScratchDir & "body.bin", "0102030405"
host.SetBodyFile ScratchDir & "body.bin"
CheckEqual "SetBodyFile", host.BodyHex, "0102030405"

Set ctx = host.Context
Check "Context is an object", IsObject(ctx)
CheckEqual "LiveContexts counts a held context", host.LiveContexts, 1
CheckEqual "holding a context holds no page object", host.HeldPageObjects, 0
Set q = ctx.Request
CheckEqual "HeldRefs of Request", host.HeldRefs("Request"), 1
CheckEqual "HeldPageObjects", host.HeldPageObjects, 1
CheckEqual "TotalBytes", q.TotalBytes, 5
n = 2
b = q.BinaryRead(n)
CheckHex "BinaryRead returns the first bytes", b, "0102"
CheckEqual "BinaryRead array", host.ArrayInfo(b), "vt=8209 dims=1 lbound=0 count=2"
CheckEqual "BinaryRead writes the count back", n, 2
CheckEqual "ReadPosition", host.ReadPosition, 2
n = 100
CheckHex "BinaryRead returns the rest", q.BinaryRead(n), "030405"
CheckEqual "count read at the end", n, 3
n = 10
CheckHex "BinaryRead after the end", q.BinaryRead(n), ""
CheckEqual "count read after the end", n, 0
host.ShortRead = 1
host.SetBodyHex "aabbcc"
n = 3
CheckHex "ShortRead limits a read", q.BinaryRead(n), "aa"
CheckEqual "ShortRead count", n, 1
host.ShortRead = -1
CheckEqual "RequestLog", host.RequestLog, "TotalBytes,BinaryRead=2,BinaryRead=3,BinaryRead=0,BinaryRead=1"
host.FailTotalBytes = 1
On Error Resume Next
n = q.TotalBytes
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "FailTotalBytes", hr, "80004005"
host.FailTotalBytes = 0
host.FailBinaryRead = 1
host.FailCode = &H8007001E
On Error Resume Next
b = q.BinaryRead(1)
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "FailBinaryRead with FailCode", hr, "8007001E"
host.FailBinaryRead = 0
host.FailCode = &H80004005
Set q = Nothing

' --- Response recording ----------------------------------------------------
host.Reset
CheckEqual "BufferValue before any Buffer", host.BufferValue, 1
CheckEqual "Ended before End", host.Ended, 0
CheckEqual "Log after Reset", host.Log, ""
CheckEqual "ContextLog after Reset", host.ContextLog, ""
Set r = ctx.Response
r.Clear
r.Buffer = False
r.ContentType = "application/octet-stream"
r.Write "x=" & Wide("4e2d")
r.Write 42
b = host.HexToBytes("00ff")
r.BinaryWrite b
r.BinaryWrite host.HexToBytes("10")
r.Flush
r.End
CheckEqual "Log", host.Log, "Clear,Buffer=0,ContentType=application/octet-stream,Write,Write,BinaryWrite,BinaryWrite,Flush,End"
CheckEqual "OutputText", host.OutputText, "x=" & Wide("4e2d") & "42"
CheckEqual "OutputHex", host.OutputHex, "00ff10"
CheckEqual "BinaryWriteType", host.BinaryWriteType, 8209
CheckEqual "WriteType of the last Write", host.WriteType, 2
CheckEqual "ContentType", host.ContentType, "application/octet-stream"
CheckEqual "BufferValue", host.BufferValue, 0
CheckEqual "Ended", host.Ended, 1
CheckEqual "ContextLog", host.ContextLog, "Response"
host.Reset
CheckEqual "Reset clears the text", host.OutputText, ""
CheckEqual "Reset clears the bytes", host.OutputHex, ""
CheckEqual "Reset clears Ended", host.Ended, 0
CheckEqual "Reset keeps the body", host.BodyHex, "aabbcc"
CheckEqual "Reset rewinds the body", host.ReadPosition, 0
Set r = Nothing
CheckEqual "page objects released", host.HeldPageObjects, 0
Set ctx = Nothing
CheckEqual "context released", host.LiveContexts, 0

' --- Binding the way a component does (vtable calls) -----------------------
host.Reset
host.ProbeBind host.Context
CheckEqual "a bound component holds all five", host.HeldPageObjects, 5
CheckEqual "each once", host.HeldRefs("Request") & host.HeldRefs("Response") & host.HeldRefs("Server") _
    & host.HeldRefs("Session") & host.HeldRefs("Application"), "11111"
CheckEqual "a context passed as a call's argument is released", host.LiveContexts, 0
CheckEqual "properties fetched in order", host.ContextLog, "Request,Response,Server,Session,Application"
host.ProbeWrite "from the vtable"
CheckEqual "Response.Write through the vtable", host.OutputText, "from the vtable"
CheckEqual "WriteType of a string", host.WriteType, 8
CheckEqual "Request read through the vtable", host.ProbeReadHex, "aabbcc"
CheckEqual "RequestLog of a vtable read", host.RequestLog, "TotalBytes,BinaryRead=3"
host.ProbeUnbind
CheckEqual "unbinding releases everything", host.HeldPageObjects, 0

host.Reset
host.FailProperty = "Session"
On Error Resume Next
host.ProbeBind host.Context
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "a failing context property fails the binding", hr, "80004005"
CheckEqual "ContextLog marks the failure", host.ContextLog, "Request,Response,Server,Session=fail"
CheckEqual "a failed binding releases what it got", host.HeldPageObjects, 0
host.FailProperty = ""
Set ctx = host.Context
host.FailProperty = "request"
On Error Resume Next
Set q = ctx.Request
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "FailProperty ignores case", hr, "80004005"
host.FailProperty = ""
On Error Resume Next
host.FailProperty = "Nothing"
hr = Err.Number
Err.Clear
On Error GoTo 0
CheckEqual "FailProperty refuses unknown names", hr, 5
CheckEqual "FailProperty kept", host.FailProperty, ""
Set ctx = Nothing

On Error Resume Next
host.ProbeBind host
hr = Err.Number
Err.Clear
host.ProbeBind Nothing
n = Err.Number
Err.Clear
On Error GoTo 0
CheckHr "an object that is no scripting context", hr, "80004002"
CheckHr "no object at all", n, "80004003"
CheckEqual "nothing held after failed bindings", host.HeldPageObjects, 0
CheckEqual "no context alive", host.LiveContexts, 0

Finish
