<%
' The page objects' default members with arguments, spelled as pages write
' them: Session("a"), Session("a") = v, Application("a"), Request("a"), and
' the collections' keys Request.QueryString("a"), Form("a"), Cookies("a"),
' Response.Cookies("a") = v.
Select Case Request.QueryString("case")
Case "session"
    If IsEmpty(Session("visits")) Then Session("visits") = 0
    Session("visits") = Session("visits") + 1
    If Request.QueryString("user") <> "" Then Session("user") = Request.QueryString("user")
    Response.Write "visits=" & Session("visits") & vbLf
    Response.Write "user=" & Session("user") & vbLf
    Response.Write "contents=" & Session.Contents("user") & vbLf
    Response.Write "value=" & Session.Value("user") & vbLf
    Response.Write "missing=" & TypeName(Session("nothing-here")) & vbLf
Case "application"
    Application.Lock
    Application("dm-hits") = Application("dm-hits") + 1
    Application.UnLock
    If Request.QueryString("note") <> "" Then Application("dm-note") = Request.QueryString("note")
    Response.Write "hits=" & Application("dm-hits") & vbLf
    Response.Write "note=" & Application("dm-note") & vbLf
    Response.Write "contents=" & Application.Contents("dm-note") & vbLf
Case "request"
    Response.Write "a=[" & Request("a") & "][" & Request.QueryString("a") & "]" & vbLf
    Response.Write "b=[" & Request("b") & "][" & Request.QueryString("b") & "][" & Request.Form("b") & "]" & vbLf
    Response.Write "f=[" & Request("f") & "][" & Request.Form("f") & "][" & Request.Form.Item("f") & "]" & vbLf
    Response.Write "c=[" & Request("c") & "][" & Request.Cookies("c") & "][" & Request.Cookies.Item("c") & "]" & vbLf
    Response.Write "method=[" & Request("REQUEST_METHOD") & "]" & vbLf
    Response.Write "missing=" & TypeName(Request("nothing-here")) & "," & TypeName(Request.Form("nothing-here")) & vbLf
    Response.Write "item=[" & Request.Item("a") & "][" & Request.QueryString.Item("a") & "]" & vbLf
Case "cookie"
    Session("user") = Request("user")
    Response.Cookies("dm-user") = Session("user")
    Response.Cookies("dm-form") = Request.Form("v")
    Response.Write "cookie-in=[" & Request.Cookies("dm-in") & "]" & vbLf
End Select
%>
