<%
Set mail = Server.CreateObject("Tarnwick.Mail")
mail.sMailPath = Request.QueryString("store")
mail.sUserName = Request.QueryString("user")
If Request.QueryString("op") = "list" Then
    Response.Write "count=" & mail.MailCount & ";files=" & mail.GetAllFileName(0) & ";"
    Response.End
End If
found = mail.GetFile(0, Request.QueryString("name"))
If found <> 1 Then Response.Write "no such attachment"
Response.End
%>
