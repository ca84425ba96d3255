// Upload and Mail from JScript: numbers as indexes, byte arrays held in
// variables, results of missing values.
requireTarnwick();

host.Reset();
host.SetBodyText("--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.bin\"\r\n\r\nxyz\r\n" +
                 "--B\r\nContent-Disposition: form-data; name=\"t\"\r\n\r\ntext\r\n--B--\r\n");
var u = new ActiveXObject("Tarnwick.Upload");
u.OnStartPage(host.Context);
checkEqual("TotalCount", u.TotalCount, 2);
checkEqual("Form by a JScript number", u.Form(1), "text");
// A string is always a name; a missing field leaves the result unset (read as "").
checkEqual("Form by a numeric string is a name lookup", u.Form("1"), "");
checkEqual("Form by name", u.Form("t"), "text");
var data = u.GetFileData("f");
checkEqual("a byte array held in a variable", host.BytesToHex(data), "78797a");
checkEqual("its shape", host.ArrayInfo(data), "vt=8209 dims=1 lbound=0 count=3");
checkEqual("FileSize", u.FileSize("f"), 3);
checkEqual("IsFile gives a boolean", u.IsFile("f"), true);
checkEqual("IsFile of a text field", u.IsFile("t"), false);
checkEqual("FormName", u.FormName(0), "f");

var m = new ActiveXObject("Tarnwick.Mail");
m.sMailPath = ScratchDir;
m.sUserName = "nobody";
checkEqual("MailCount of a missing mailbox", m.MailCount, 0);
checkEqual("GetFile without a message", m.GetFile(0, "a"), 0);
checkEqual("Encode", m.Encode("abc"), "YWJj");
checkEqual("Decode", m.Decode("YWJj"), "abc");
checkEqual("Login", m.Login(), 1);
finish();
