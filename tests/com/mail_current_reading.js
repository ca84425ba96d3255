// Tarnwick.MailReader from JScript: a summary of encoded words, a download
// by a Korean name, compared as UTF-16 code units, and IMailReader's members
// reached by name.
requireTarnwick();

var box = ScratchDir + "kim\\mailbox\\";
host.MakeDirs(box);
host.WriteFileText(box + "m.in", [
    "From: =?EUC-KR?B?sei5zrz2?= <kim@example.kr>",
    "Subject: =?UTF-8?B?7ZWc6rWt7Ja0?=",
    "  =?UTF-8?Q?_=F0=9F=98=80?=",
    "Content-Type: multipart/mixed; charset=us-ascii; boundary=b1",
    "",
    "--b1",
    "Content-Type: image/png",
    "Content-Disposition: attachment; filename*=euc-kr''%C7%D1%B1%DB.bin",
    "Content-Transfer-Encoding: base64",
    "",
    "AAEC/w==",
    "--b1--",
    ""].join("\r\n"));

var r = new ActiveXObject("Tarnwick.MailReader");
r.sMailPath = ScratchDir;
r.sUserName = "kim";

// UTF-16 code units of a string, as hex.
function units(s) {
    var out = [];
    for (var i = 0; i < s.length; i++) out.push(("000" + s.charCodeAt(i).toString(16)).slice(-4));
    return out.join("");
}

var kim = String.fromCharCode(0xae40, 0xbbfc, 0xc218);
var subject = String.fromCharCode(0xd55c, 0xad6d, 0xc5b4, 0x20, 0xd83d, 0xde00);
checkEqual("the summary of encoded words, the emoji kept", units(r.GetTitleInfo(0)),
           units(kim + " <kim@example.kr>||||||||" + subject + "||||||||"));

var name = String.fromCharCode(0xd55c, 0xae00) + ".bin";
checkEqual("the Korean name is listed", units(r.GetAllFileName(0)), units(name + "||"));
host.Reset();
r.OnStartPage(host.Context);
checkEqual("GetFile by the Korean name", r.GetFile(0, name), 1);
checkEqual("sends the decoded bytes", host.OutputHex, "000102ff");
checkEqual("as the part's media type", host.ContentType, "image/png");

// An HTML attachment with script goes out as bytes of no known kind.
host.WriteFileText(box + "m.in", [
    "Content-Type: multipart/mixed; boundary=b1",
    "",
    "--b1",
    "Content-Type: text/html",
    "Content-Disposition: attachment; filename=x.html",
    "",
    "<script>alert(1)</script>",
    "--b1--",
    ""].join("\r\n"));
host.Reset();
checkEqual("GetFile of an HTML attachment", r.GetFile(0, "x.html"), 1);
checkEqual("sends it as application/octet-stream", host.Log,
           "Clear,Buffer=0,ContentType=application/octet-stream,BinaryWrite,Flush");

// GetHtmlBody converts the HTML from its charset; GetInlineFile sends a part
// by its Content-ID, with or without the angle brackets, as GetFile would.
host.WriteFileText(box + "m.in", [
    "Content-Type: multipart/alternative; boundary=b1",
    "",
    "--b1",
    "Content-Type: text/plain",
    "",
    "plain",
    "--b1",
    "Content-Type: multipart/related; boundary=b2",
    "",
    "--b2",
    "Content-Type: text/html; charset=euc-kr",
    "Content-Transfer-Encoding: base64",
    "",
    "PGI+x9E8L2I+PGltZyBzcmM9Y2lkOmEuYkBjPg==",   // "<b>", EUC-KR C7 D1, "</b><img src=cid:a.b@c>"
    "--b2",
    "Content-Type: image/gif",
    "Content-ID: <a.b@c>",
    "Content-Transfer-Encoding: base64",
    "",
    "R0lG",
    "--b2",
    "Content-Type: text/html",
    "Content-ID: <h@c>",
    "",
    "<script>1</script>",
    "--b2--",
    "--b1--",
    ""].join("\r\n"));
checkEqual("GetHtmlBody: the first HTML part, converted", units(r.GetHtmlBody(0)),
           units("<b>" + String.fromCharCode(0xd55c) + "</b><img src=cid:a.b@c>"));
checkEqual("GetBody keeps the plain part", r.GetBody(0), "plain");
var inline = [["a.b@c", 1, "474946", "image/gif"], ["<a.b@c>", 1, "474946", "image/gif"],
              ["h@c", 1, "3c7363726970743e313c2f7363726970743e", "application/octet-stream"],
              ["x@c", 0, "", ""], ["", 0, "", ""]];
for (var i = 0; i < inline.length; i++) {
    var what = "GetInlineFile '" + inline[i][0] + "'";
    host.Reset();
    checkEqual(what + " answers " + inline[i][1], r.GetInlineFile(0, inline[i][0]), inline[i][1]);
    checkEqual(what + " sends its bytes", host.OutputHex, inline[i][2]);
    checkEqual(what + " as GetFile would", host.Log,
               inline[i][1] ? "Clear,Buffer=0,ContentType=" + inline[i][3] + ",BinaryWrite,Flush" : "");
}
host.WriteFileText(box + "m.in", "Subject: plain\r\n\r\nno html\r\n");
checkEqual("GetHtmlBody of a plain message", r.GetHtmlBody(0), "");
r.OnEndPage();
finish();
