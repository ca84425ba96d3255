// Test library of the JScript suites. tests/com/run.sh puts this file in
// front of every *.js test before running it with cscript.
//
// Protocol: one line "ok <name>" or "not ok <name> # <detail>" per check, and
// "done" (printed by finish) as the last line; a script that stops early (Wine
// ends it silently on an uncaught error) is counted as a failure by the runner.
// Everything printed goes through host.Printable: Wine's script host can crash
// when echoing Chinese text, so non-ASCII units are shown as \uXXXX.
//
// Globals (same names as in testlib.vbs):
//   host          the TarnwickTest.PageHost of this script
//   TarnwickDir   Windows folder holding the DLLs, ending in "\"
//   TarnwickDll   Windows path of the registered Tarnwick.dll ("" if absent)
//   HaveTarnwick  true when Tarnwick.dll was registered
//   SourceDir     tests/com as a Windows path, ending in "\"
//   ScratchDir    a fresh empty folder for this script, ending in "\"
// Byte arrays: JScript can keep one in a variable and pass it to a call, but
// not index it or even apply typeof; look at it with host.BytesToHex.

var host = new ActiveXObject("TarnwickTest.PageHost");
var TarnwickDir = host.GetEnv("TARNWICK_DIR");
var TarnwickDll = host.GetEnv("TARNWICK_DLL");
if (TarnwickDll == "<missing>") TarnwickDll = "";
var HaveTarnwick = TarnwickDll != "";
var SourceDir = host.GetEnv("TARNWICK_SOURCE_DIR");
var ScratchDir = host.NewScratchDir();
var testsPassed = 0;
var testsFailed = 0;

function pass(name) {
    testsPassed++;
    WScript.Echo("ok " + host.Printable(String(name)));
}

function fail(name, detail) {
    testsFailed++;
    WScript.Echo("not ok " + host.Printable(String(name)) + " # " + host.Printable(String(detail)));
}

// A diagnostic line; the runner shows it with the script's name.
function diag(text) {
    WScript.Echo("# " + host.Printable(String(text)));
}

function check(name, condition) {
    if (condition) pass(name);
    else fail(name, "condition is false");
}

// Strict equality (===), so "1" and 1 differ and null differs from undefined.
function checkEqual(name, actual, expected) {
    if (actual === expected) pass(name);
    else fail(name, "got " + describe(actual) + ", expected " + describe(expected));
}

// A byte array (VT_ARRAY|VT_UI1) against lowercase or uppercase hex.
function checkHex(name, bytes, expectedHex) {
    checkEqual(name, host.BytesToHex(bytes), expectedHex.replace(/ /g, "").toLowerCase());
}

// Null strings: Wine's IDispatch::Invoke through a type library returns a
// null BSTR as an empty string, so a component's property reads as "" even
// when the component returned null. host.DirectGet calls the getter through
// the vtable instead:
//   checkNullProperty("fresh name is null", mail, "sUserName");
function checkNullProperty(name, obj, propertyName) {
    if (host.IsNull(host.DirectGet(obj, propertyName)) == 1) pass(name);
    else fail(name, "got " + describe(host.DirectGet(obj, propertyName)) + ", expected a null string");
}

// The opposite: the property is a string but not a null one (empty is fine).
function checkNotNullProperty(name, obj, propertyName) {
    var v = host.DirectGet(obj, propertyName);
    if (host.IsNull(v) == 0 && typeof v == "string") pass(name);
    else fail(name, "got " + describe(v) + ", expected a string that is not null");
}

// A string value that must be a null BSTR. JScript keeps a null BSTR it got
// (in variables too), but see above for values read through IDispatch.
function checkNullString(name, value) {
    if (host.IsNull(value) == 1) pass(name);
    else fail(name, "got " + describe(value) + ", expected a null string");
}

// The HRESULT (8 hex digits) a call throws, "00000000" when it does not throw:
//   checkEqual("no context", hrOf(function () { m.OnStartPage(null); }), "80004003");
function hrOf(fn) {
    try {
        fn();
    } catch (e) {
        return host.HResultHex(e.number);
    }
    return "00000000";
}

// For scripts that cannot test anything without Tarnwick.dll.
function requireTarnwick() {
    if (HaveTarnwick) return;
    fail("Tarnwick.dll registered", "Tarnwick.dll was not built or not registered");
    finish();
    WScript.Quit(0);
}

function finish() {
    WScript.Echo("done");
}

// A value as ASCII text for a failure detail. Wine's JScript can hold a
// SAFEARRAY in a variable and pass it on, but typeof, String() and if () on it
// throw (E_NOTIMPL); that is how an array is recognised here.
function describe(v) {
    var t;
    try {
        t = typeof v;
    } catch (e) {
        return "array (" + host.ArrayInfo(v) + ")";
    }
    if (v === null) return "null";
    if (t == "undefined") return "undefined";
    if (t == "string") {
        var p = host.Printable(v);
        if (p.length > 400) p = p.substr(0, 400) + "... (" + p.length + " chars)";
        return "'" + p + "'";
    }
    if (t == "number" || t == "boolean") return String(v);
    if (t == "unknown") return "unknown (" + host.ArrayInfo(v) + ")";
    return t;
}

// Text from hex of bytes in the ANSI code page (GBK here): hex2Str("d6d0cec4").
function hex2Str(hexText) {
    return host.FromNarrowHex(hexText);
}

// Hex of the ANSI code page bytes of a string.
function str2Hex(s) {
    return host.NarrowHex(s);
}

// Text from UTF-16 units, 4 hex digits each: wide("4e2d6587").
function wide(hexUnits) {
    return host.FromWideHex(hexUnits);
}
