// Tarnwick.MailWriter from JScript: the class by both ProgIDs, a form posted
// in UTF-8 (and an old one in GBK), Cc and Bcc delivery, and a delivered
// copy read back with Tarnwick.MailReader. Strings are compared as UTF-16
// code units.
requireTarnwick();

// UTF-8 bytes of a string as hex (Wine's encodeURIComponent stops the script
// at an emoji).
function utf8Hex(s) {
    var out = [];
    function put(b) { out.push(("0" + b.toString(16)).slice(-2)); }
    for (var i = 0; i < s.length; i++) {
        var c = s.charCodeAt(i);
        if (c >= 0xd800 && c < 0xdc00) c = 0x10000 + (c - 0xd800) * 0x400 + (s.charCodeAt(++i) - 0xdc00);
        if (c < 0x80) put(c);
        else if (c < 0x800) { put(0xc0 | c >> 6); put(0x80 | c & 63); }
        else if (c < 0x10000) { put(0xe0 | c >> 12); put(0x80 | c >> 6 & 63); put(0x80 | c & 63); }
        else { put(0xf0 | c >> 18); put(0x80 | c >> 12 & 63); put(0x80 | c >> 6 & 63); put(0x80 | c & 63); }
    }
    return out.join("");
}

function units(s) {
    var out = [];
    for (var i = 0; i < s.length; i++) out.push(("000" + s.charCodeAt(i).toString(16)).slice(-4));
    return out.join("");
}

// A multipart/form-data body as hex: fields [[name, text]], files [[name, bytes as hex]].
var B = "----WebKitFormBoundary3hQy8Vn0Kd5Ws2Rx";
function formHex(fields, files) {
    var r = "";
    for (var i = 0; i < fields.length; i++)
        r += utf8Hex("--" + B + "\r\nContent-Disposition: form-data; name=\"" + fields[i][0] + "\"\r\n\r\n" +
                     fields[i][1] + "\r\n");
    for (i = 0; i < (files || []).length; i++)
        r += utf8Hex("--" + B + "\r\nContent-Disposition: form-data; name=\"f" + i + "\"; filename=\"" + files[i][0] +
                     "\"\r\nContent-Type: application/octet-stream\r\n\r\n") + files[i][1] + "0d0a";
    return r + utf8Hex("--" + B + "--\r\n");
}

// A user of the store is a folder holding a mailbox folder, where the mail
// server collects what is delivered into the user's folder.
var mailRoot = ScratchDir + "mail";
var users = ["ann", "bob", "carl"];
for (var i = 0; i < users.length; i++) host.MakeDirs(mailRoot + "\\" + users[i] + "\\mailbox");
var temp = ScratchDir + "temp\\";
host.MakeDirs(temp);

function sendHex(bodyHex) {
    host.Reset();
    host.SetBodyHex(bodyHex);
    var w = new ActiveXObject("Tarnwick.MailWriter");
    w.OnStartPage(host.Context);
    w.sMailPath = mailRoot;
    w.sTempPath = temp;
    var sent = w.Send();
    w.OnEndPage();
    return sent;
}

// The names of the copies delivered into a user's folder.
function delivered(user) {
    var names = host.ListDir(mailRoot + "\\" + user).split("|"), r = [];
    for (var i = 0; i < names.length; i++) if (names[i] != "" && names[i] != "mailbox") r.push(names[i]);
    return r;
}

// How many copies each user got, "ann=1 bob=0 carl=0 ", and what is left
// under the temp path.
function copies() {
    var r = "";
    for (var i = 0; i < users.length; i++) r += users[i] + "=" + delivered(users[i]).length + " ";
    return r + "temp=" + host.ListDir(temp);
}

function copyOf(user) { return mailRoot + "\\" + user + "\\" + delivered(user).join("|"); }

// --- the class by both ProgIDs, with SendMail's members
var plain = new ActiveXObject("Tarnwick.SendMail");
var progIds = ["Tarnwick.MailWriter", "Tarnwick.MailWriter.1"];
for (i = 0; i < progIds.length; i++) {
    var w = null;
    try { w = new ActiveXObject(progIds[i]); } catch (e) {}
    if (!w) { fail("new ActiveXObject " + progIds[i], "failed"); continue; }
    checkEqual(progIds[i] + ": sTempPath starts as SendMail's", w.sTempPath, plain.sTempPath);
    w.sTempPath = "D:\\tmp\\";
    w.sMailPath = "D:\\mail";
    checkEqual(progIds[i] + ": paths read back", w.sTempPath + "|" + w.sMailPath, "D:\\tmp\\|D:\\mail");
    checkEqual(progIds[i] + ": Send without a page", w.Send(), 0);
    checkEqual(progIds[i] + ": Form without a page", hrOf(function () { w.Form("To"); }), "8000FFFF");
}

// --- Form: a UTF-8 form gives back the characters; an old GBK value still reads
var subject = String.fromCharCode(0xc548, 0xb155, 0x20, 0xd83c, 0xdf89);   // "hello" in Korean, a party popper
var reader = new ActiveXObject("Tarnwick.MailWriter");
host.Reset();
host.SetBodyHex(str2Hex("--" + B + "\r\nContent-Disposition: form-data; name=\"Old\"\r\n\r\n") + "d6d0cec4" +
                str2Hex("\r\n") + formHex([["Subject", subject]]));
reader.OnStartPage(host.Context);
checkEqual("Form: a Korean subject with an emoji", units(reader.Form("Subject")), units(subject));
checkEqual("Form: a GBK value", units(reader.Form("Old")), "4e2d6587");
reader.OnEndPage();

// --- ann in Cc and Bcc gets one copy; no copy names a Bcc recipient
checkEqual("Send to To, Cc and Bcc", sendHex(formHex([["From", "kim@example.kr"], ["To", "bob@localhost"],
    ["Cc", "\"Carl, C.\" <carl@localhost>; ann@localhost"], ["Bcc", "Ann@127.0.0.1"], ["Body", "x"]])), 1);
checkEqual("one copy each", copies(), "ann=1 bob=1 carl=1 temp=");
for (i = 0; i < users.length; i++) {
    var copy = host.ReadFileText(copyOf(users[i]));
    check(users[i] + "'s copy has the Cc line", copy.indexOf("\r\nCc: \"Carl, C.\" <carl@localhost>, ann@localhost\r\n") >= 0);
    checkEqual(users[i] + "'s copy has no Bcc line nor address", /bcc:|@127\.0\.0\.1/i.test(copy), false);
    host.RemoveTree(copyOf(users[i]));
}

// --- an unknown local user in Cc refuses the whole post
checkEqual("an unknown local user in Cc: Send", sendHex(formHex([["From", "kim@example.kr"],
    ["To", "ann@localhost"], ["Cc", "nobody@localhost"], ["Body", "x"]])), 0);
checkEqual("an unknown local user in Cc: nothing delivered", copies(), "ann=0 bob=0 carl=0 temp=");

// --- a copy read back with MailReader once the mail server collected it (up
// to the line "." alone, one leading "." off every other line)
var name = String.fromCharCode(0xd83d, 0xdcc4, 0xc790, 0xb8cc) + ".bin";   // a page emoji, "material"
var text = "\u00e9t\u00e9 " + String.fromCharCode(0xd83c, 0xdf89) + "\r\n.\r\nend";
checkEqual("a post with an attachment: Send", sendHex(formHex([["From", "Kim <kim@example.kr>"],
    ["To", "ann@localhost"], ["Subject", subject], ["Body", text]], [[name, "000102"]])), 1);
checkEqual("one copy for ann", copies(), "ann=1 bob=0 carl=0 temp=");
var raw = host.ReadFileText(copyOf("ann"));
var end = raw.indexOf("\r\n.\r\n");
checkEqual("the end-of-data line ends the copy", end + 5, raw.length);
host.WriteFileText(mailRoot + "\\ann\\mailbox\\m.in", raw.substr(0, end + 2).replace(/\r\n\./g, "\r\n"));
var r = new ActiveXObject("Tarnwick.MailReader");
r.sMailPath = mailRoot + "\\";
r.sUserName = "ann";
checkEqual("GetTitleInfo: From and Subject", units(r.GetTitleInfo(0).split("||||").slice(0, 3).join("|")),
           units("Kim <kim@example.kr>|ann@localhost|" + subject));
checkEqual("GetBody", units(r.GetBody(0)), units(text));
checkEqual("GetAllFileName", units(r.GetAllFileName(0)), units(name + "||"));
r.OnStartPage(host.Context);
host.Reset();
checkEqual("GetFile by the emoji name", r.GetFile(0, name) + " " + host.OutputHex, "1 000102");
r.OnEndPage();
finish();
