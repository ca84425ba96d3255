// The test page host itself, from JScript: the same host as the VBScript
// self-test sees, through JScript's conversions. Needs no Tarnwick.dll.

var b, n, ctx, q, r;

// --- Environment -------------------------------------------------------------
checkEqual("TarnwickDir", TarnwickDir, "C:\\tarnwick\\");
checkEqual("ScratchDir exists", host.DirExists(ScratchDir), 1);
checkEqual("SourceDir ends with a backslash", SourceDir.charAt(SourceDir.length - 1), "\\");
checkEqual("HaveTarnwick is a boolean", typeof HaveTarnwick, "boolean");

// --- Bytes: a SAFEARRAY can be kept in a variable and passed on ---------------
b = host.HexToBytes("00ff7f80");
checkHex("byte array kept in a variable", b, "00FF7F80");
checkEqual("ArrayInfo", host.ArrayInfo(b), "vt=8209 dims=1 lbound=0 count=4");
checkEqual("describe of an array", describe(b), "array (vt=8209 dims=1 lbound=0 count=4)");
checkEqual("typeof of an array throws E_NOTIMPL", hrOf(function () { return typeof b; }), "80004001");
checkEqual("BytesToHex of undefined", host.BytesToHex(undefined), "");

// --- Code page 936 and UTF-16 -------------------------------------------------
var zhongwen = String.fromCharCode(0x4e2d, 0x6587);
checkEqual("NarrowHex", host.NarrowHex(zhongwen), "d6d0cec4");
checkEqual("WideHex", host.WideHex(zhongwen), "4e2d6587");
checkEqual("hex2Str", hex2Str("d6d0cec4"), zhongwen);
checkEqual("wide", wide("4e2d6587"), zhongwen);
checkEqual("str2Hex", str2Hex("A" + zhongwen), "41d6d0cec4");
checkEqual("Printable", host.Printable("a\u4e2d\n"), "a\\u4e2d\\u000a");

// --- Null strings and HRESULTs ------------------------------------------------
var nul = host.NullString;
checkNullString("a null string kept in a variable stays null", nul);
checkEqual("a null string reads as empty", nul, "");
checkEqual("IsNull of an empty string", host.IsNull(""), 0);
var dict = new ActiveXObject("Scripting.Dictionary");
dict.Add("k", 1);
dict.Add("l", 2);
checkEqual("DirectGet", host.DirectGet(dict, "Count"), 2);
checkEqual("DirectGet of an unknown name", hrOf(function () { host.DirectGet(dict, "NoSuchThing"); }), "80020006");
checkEqual("hrOf without a failure", hrOf(function () { host.Reset(); }), "00000000");
checkEqual("hrOf of E_POINTER", hrOf(function () { host.FailWith(0x80004003 | 0); }), "80004003");
checkEqual("hrOf of E_NOINTERFACE (JScript keeps the HRESULT)",
           hrOf(function () { host.FailWith(0x80004002 | 0); }), "80004002");
checkEqual("hrOf of a failure through EXCEPINFO",
           hrOf(function () { host.FailWithException(0x80070057 | 0); }), "80070057");

// --- Files and registry -------------------------------------------------------
host.WriteFileHex(ScratchDir + "j.bin", "cafe");
checkEqual("file round trip", host.ReadFileHex(ScratchDir + "j.bin"), "cafe");
host.WriteFileNarrow(ScratchDir + "k.txt", zhongwen);
checkEqual("WriteFileNarrow", host.ReadFileHex(ScratchDir + "k.txt"), "d6d0cec4");
checkEqual("ListDir", host.ListDir(ScratchDir).split("|").sort().join("|"), "j.bin|k.txt");
checkEqual("missing file", host.ReadFileHex(ScratchDir + "none"), "<missing>");
checkEqual("RegRead", host.RegRead("HKCR\\TarnwickTest.PageHost\\CLSID", ""),
           "{44DF9F18-09B6-448E-9956-18C750DD6688}");
checkEqual("RegRead default value by leaving the name out", host.RegRead("HKCR\\TarnwickTest.PageHost\\CLSID"),
           "{44DF9F18-09B6-448E-9956-18C750DD6688}");

// --- Page objects through their IDispatch -------------------------------------
host.SetBodyText("hello");
ctx = host.Context;
checkEqual("LiveContexts", host.LiveContexts, 1);
q = ctx.Request;
checkEqual("TotalBytes", q.TotalBytes, 5);
checkHex("BinaryRead", q.BinaryRead(3), "68656c");
checkHex("BinaryRead the rest", q.BinaryRead(10), "6c6f");
checkEqual("RequestLog", host.RequestLog, "TotalBytes,BinaryRead=3,BinaryRead=2");
r = ctx.Response;
checkEqual("HeldPageObjects", host.HeldPageObjects, 2);
r.ContentType = "text/plain";
r.Buffer = false;
r.Write("a" + zhongwen);
r.BinaryWrite(host.HexToBytes("0d0a"));
r.BinaryWrite(b);
r.End();
checkEqual("Log", host.Log, "ContentType=text/plain,Buffer=0,Write,BinaryWrite,BinaryWrite,End");
checkEqual("OutputText", host.OutputText, "a" + zhongwen);
checkEqual("OutputHex", host.OutputHex, "0d0a00ff7f80");
checkEqual("BinaryWriteType", host.BinaryWriteType, 8209);
checkEqual("Ended", host.Ended, 1);
checkEqual("BufferValue", host.BufferValue, 0);
q = null;
r = null;
ctx = null;
checkEqual("references dropped at once", host.HeldPageObjects, 0);
checkEqual("context dropped at once", host.LiveContexts, 0);

// --- Binding the way a component does -----------------------------------------
host.Reset();
host.ProbeBind(host.Context);
checkEqual("bound", host.HeldPageObjects, 5);
checkEqual("temporary context released", host.LiveContexts, 0);
host.ProbeUnbind();
checkEqual("unbound", host.HeldPageObjects, 0);
host.FailProperty = "Application";
checkEqual("failing Application", hrOf(function () { host.ProbeBind(host.Context); }), "80004005");
checkEqual("ContextLog", host.ContextLog, "Request,Response,Server,Session,Application,Request,Response,Server,Session,Application=fail");
checkEqual("nothing held after the failure", host.HeldPageObjects, 0);
host.FailProperty = "";
checkEqual("not a scripting context", hrOf(function () { host.ProbeBind(host); }), "80004002");
checkEqual("null", hrOf(function () { host.ProbeBind(null); }), "80004003");

finish();
