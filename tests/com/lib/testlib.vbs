' Test library of the VBScript suites. tests/com/run.sh puts this file in
' front of every *.vbs test before running it with cscript.
'
' Protocol: one line "ok <name>" or "not ok <name> # <detail>" per check, and
' "done" (printed by Finish) as the last line; a script that stops early (Wine
' ends it silently on any error) is counted as a failure by the runner.
' Everything printed goes through host.Printable: Wine's script host can crash
' when echoing Chinese text, so non-ASCII units are shown as \uXXXX.
'
' Globals:
'   host          the TarnwickTest.PageHost of this script
'   TarnwickDir   Windows folder holding the DLLs, ending in "\"
'   TarnwickDll   Windows path of the registered Tarnwick.dll ("" if absent)
'   HaveTarnwick  True when Tarnwick.dll was registered
'   SourceDir     tests/com as a Windows path, ending in "\"
'   ScratchDir    a fresh empty folder for this script, ending in "\"

Dim host, TarnwickDir, TarnwickDll, HaveTarnwick, SourceDir, ScratchDir
Dim TestsPassed, TestsFailed

Set host = CreateObject("TarnwickTest.PageHost")
TarnwickDir = host.GetEnv("TARNWICK_DIR")
TarnwickDll = host.GetEnv("TARNWICK_DLL")
If TarnwickDll = "<missing>" Then TarnwickDll = ""
HaveTarnwick = (TarnwickDll <> "")
SourceDir = host.GetEnv("TARNWICK_SOURCE_DIR")
ScratchDir = host.NewScratchDir()
TestsPassed = 0
TestsFailed = 0

Sub Pass(name)
    TestsPassed = TestsPassed + 1
    WScript.Echo "ok " & host.Printable(name)
End Sub

Sub Fail(name, detail)
    TestsFailed = TestsFailed + 1
    WScript.Echo "not ok " & host.Printable(name) & " # " & host.Printable(detail)
End Sub

' A diagnostic line; the runner shows it with the script's name.
Sub Diag(text)
    WScript.Echo "# " & host.Printable(text)
End Sub

Sub Check(name, condition)
    If IsNull(condition) Then
        Fail name, "condition is Null"
    ElseIf condition Then
        Pass name
    Else
        Fail name, "condition is false"
    End If
End Sub

' Equal values of the same kind: strings only equal strings, Empty only Empty,
' Null only Null, objects the same object; numbers and booleans compare by value.
Function SameValue(a, b)
    SameValue = False
    If IsObject(a) Or IsObject(b) Then
        If IsObject(a) And IsObject(b) Then SameValue = (a Is b)
        Exit Function
    End If
    If IsArray(a) Or IsArray(b) Then Exit Function
    If IsNull(a) Or IsNull(b) Then
        SameValue = (IsNull(a) And IsNull(b))
        Exit Function
    End If
    If IsEmpty(a) Or IsEmpty(b) Then
        SameValue = (IsEmpty(a) And IsEmpty(b))
        Exit Function
    End If
    If (VarType(a) = vbString) <> (VarType(b) = vbString) Then Exit Function
    SameValue = (a = b)
End Function

Sub CheckEqual(name, actual, expected)
    If SameValue(actual, expected) Then
        Pass name
    Else
        Fail name, "got " & Describe(actual) & ", expected " & Describe(expected)
    End If
End Sub

' A byte array (VT_ARRAY|VT_UI1, also by reference) against lowercase or
' uppercase hex.
Sub CheckHex(name, bytes, expectedHex)
    CheckEqual name, host.BytesToHex(bytes), LCase(Replace(expectedHex, " ", ""))
End Sub

' Null strings. Two things on Wine hide a null BSTR: Wine's IDispatch::Invoke
' through a type library returns it as an empty string, and VBScript turns it
' into an empty string as soon as it copies it (into a variable, or as an
' argument of a script Sub or Function). host.DirectGet calls a property
' getter through the vtable instead, and a COM call that gets its result
' directly sees it unchanged, so:
'   CheckNullProperty "fresh name is null", mail, "sUserName"
' which is CheckEqual name, host.IsNull(host.DirectGet(obj, prop)), 1.
Sub CheckNullProperty(name, obj, propertyName)
    Dim isNullString
    isNullString = host.IsNull(host.DirectGet(obj, propertyName))
    If isNullString = 1 Then
        Pass name
    Else
        Fail name, "got " & Describe(host.DirectGet(obj, propertyName)) & ", expected a null string"
    End If
End Sub

' The opposite: the property is a string but not a null one (empty is fine).
Sub CheckNotNullProperty(name, obj, propertyName)
    If host.IsNull(host.DirectGet(obj, propertyName)) = 0 And host.VarType(host.DirectGet(obj, propertyName)) = vbString Then
        Pass name
    Else
        Fail name, "got " & Describe(host.DirectGet(obj, propertyName)) & ", expected a string that is not null"
    End If
End Sub

' CheckNullString cannot work under Wine (see above). It stays so that a script
' using it fails with this hint instead of stopping at an unknown name.
Sub CheckNullString(name, value)
    Fail name, "cannot be checked this way under Wine (got " & Describe(value) & _
        "); use CheckNullProperty name, obj, ""PropertyName"""
End Sub

' What Err.Number shows in VBScript when a COM call fails with the HRESULT
' written as hex ("80004002"). VBScript turns some HRESULTs into its own error
' numbers (under Wine 8: E_NOINTERFACE 430, E_INVALIDARG 5, E_OUTOFMEMORY 7,
' DISP_E_TYPEMISMATCH 13, E_NOTIMPL 445, 800A00xx to xx, ...); the host's
' FailWith returns the HRESULT the same way a component does, so asking it is
' exact on any engine. Clears Err.
Function VbsErrorOf(hrHex)
    Dim code
    code = host.HResultFromHex(hrHex)
    VbsErrorOf = 0
    If code = 0 Then Exit Function
    On Error Resume Next
    host.FailWith code
    VbsErrorOf = Err.Number
    Err.Clear
End Function

' An error number from Err.Number against an HRESULT written as 8 hex digits,
' e.g. CheckHr "no context", hr, "80004003"; "00000000" expects no error.
' Accepts the HRESULT itself and the VBScript error number it becomes.
Sub CheckHr(name, errNumber, expectedHex)
    Dim mapped
    mapped = VbsErrorOf(expectedHex)
    If errNumber = mapped Or host.HResultHex(errNumber) = UCase(expectedHex) Then
        Pass name
    Else
        Fail name, "got error " & errNumber & " (" & host.HResultHex(errNumber) & "), expected HRESULT " & _
            UCase(expectedHex) & " (VBScript error " & mapped & ")"
    End If
End Sub

' For scripts that cannot test anything without Tarnwick.dll.
Sub RequireTarnwick()
    If Not HaveTarnwick Then
        Fail "Tarnwick.dll registered", "Tarnwick.dll was not built or not registered"
        Finish
        WScript.Quit 0
    End If
End Sub

Sub Finish()
    WScript.Echo "done"
End Sub

' A value as ASCII text for a failure detail.
Function Describe(v)
    If IsObject(v) Then
        If v Is Nothing Then
            Describe = "Nothing"
        Else
            Describe = "object " & TypeName(v)
        End If
        Exit Function
    End If
    If IsArray(v) Then
        Describe = "array (" & host.ArrayInfo(v) & ")"
        Exit Function
    End If
    Select Case VarType(v)
    Case vbEmpty
        Describe = "Empty"
    Case vbNull
        Describe = "Null"
    Case vbString
        If host.IsNull(v) = 1 Then
            Describe = "null string"
        Else
            Describe = "'" & Abbrev(host.Printable(v)) & "'"
        End If
    Case vbBoolean
        If v Then
            Describe = "True"
        Else
            Describe = "False"
        End If
    Case vbInteger, vbLong, vbSingle, vbDouble, vbCurrency, vbByte
        Describe = CStr(v)
    Case Else
        Describe = "vartype " & VarType(v)
    End Select
End Function

Function Abbrev(s)
    If Len(s) > 400 Then
        Abbrev = Left(s, 400) & "... (" & Len(s) & " chars)"
    Else
        Abbrev = s
    End If
End Function

'' The error number of obj.Form(field), 0 when it succeeds (Upload and SendMail).
' The extra parentheses pass the field by value: a variable passed by
' reference reaches Form as a reference, which Form reads as an index.
Function HrOfForm(obj, field)
    Dim value
    On Error Resume Next
    Err.Clear
    value = obj.Form((field))
    HrOfForm = Err.Number
    On Error GoTo 0
End Function

' Lines each ended by CR LF, as messages and form bodies are written.
Function Crlf(lines)
    Dim text, line
    text = ""
    For Each line In lines
        text = text & line & vbCrLf
    Next
    Crlf = text
End Function

' Text from hex of bytes in the ANSI code page (GBK here): Hex2Str("d6d0cec4").
Function Hex2Str(hexText)
    Hex2Str = host.FromNarrowHex(hexText)
End Function

' Hex of the ANSI code page bytes of a string.
Function Str2Hex(s)
    Str2Hex = host.NarrowHex(s)
End Function

' Text from UTF-16 units, 4 hex digits each (Wine's VBScript has no ChrW):
' Wide("4e2d6587").
Function Wide(hexUnits)
    Wide = host.FromWideHex(hexUnits)
End Function

' An error number as 8 hex digits (a mapped VBScript number stays small:
' 430 gives "000001AE").
Function HrHex(errNumber)
    HrHex = host.HResultHex(errNumber)
End Function
