<%@ LANGUAGE="JScript" %><%
// The page objects' default members with arguments in JScript:
// Session("a"), Session("a") = v, Application("a"), Request("a"), the
// collections' keys, and Response.Cookies("a") = v.
function line(name, value) { Response.Write(name + "=" + value + "\n"); }
switch (String(Request.QueryString("case"))) {
case "session":
    if (typeof Session("visits") == "undefined") Session("visits") = 0;
    Session("visits") = Session("visits") + 1;
    if (Request.QueryString("user")) Session("user") = Request.QueryString("user");
    line("visits", Session("visits"));
    line("user", Session("user"));
    line("contents", Session.Contents("user"));
    line("item", Session.Contents.Item("user"));
    line("missing", typeof Session("nothing-here"));
    break;
case "application":
    Application.Lock();
    Application("dm-hits") = (typeof Application("dm-hits") == "undefined" ? 0 : Application("dm-hits")) + 1;
    Application.UnLock();
    if (Request.QueryString("note")) Application("dm-note") = Request.QueryString("note");
    line("hits", Application("dm-hits"));
    line("note", Application("dm-note"));
    line("contents", Application.Contents("dm-note"));
    break;
case "request":
    line("a", "[" + Request("a") + "][" + Request.QueryString("a") + "]");
    line("b", "[" + Request("b") + "][" + Request.QueryString("b") + "][" + Request.Form("b") + "]");
    line("f", "[" + Request("f") + "][" + Request.Form("f") + "][" + Request.Form.Item("f") + "]");
    line("c", "[" + Request("c") + "][" + Request.Cookies("c") + "][" + Request.Cookies.Item("c") + "]");
    line("method", "[" + Request("REQUEST_METHOD") + "]");
    line("missing", typeof Request("nothing-here") + "," + typeof Request.Form("nothing-here"));
    line("item", "[" + Request.Item("a") + "][" + Request.QueryString.Item("a") + "]");
    break;
case "cookie":
    Session("user") = Request("user");
    Response.Cookies("dm-user") = Session("user");
    Response.Cookies("dm-form") = Request.Form("v");
    line("cookie-in", "[" + Request.Cookies("dm-in") + "]");
    break;
}
%>
