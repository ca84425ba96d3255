<%
Response.Write "a=[" & Request.Cookies("a") & "]" & vbLf
Response.Write "b=[" & Request.Cookies("b") & "]" & vbLf
Response.Write "cn=[" & Request.Cookies("cn") & "]" & vbLf
Response.Write "missing=" & TypeName(Request.Cookies("nope")) & vbLf
If Request.QueryString("set") = "1" Then
    Response.Cookies("plain") = "a b;c=d"
    Response.Cookies("dated") = "x"
    Response.Cookies("dated").Expires = DateSerial(2031, 1, 15) + TimeSerial(12, 0, 0)
    Response.Cookies("dated").Path = "/sub"
    Response.Cookies("dated").Domain = "localhost"
    Response.Cookies("safe") = "1"
    Response.Cookies("safe").Secure = True
    Response.Cookies("ticket") = "t"
    Response.Cookies("ticket").HttpOnly = True
    Response.Cookies("ticket").SameSite = "lax"
    Response.Cookies("cn") = Request.Cookies("cn")
End If
%>
