<%
' Objects kept in Session are used again on later requests, which may run
' on other page threads.
If Request.QueryString("step") = "1" Then
    Set d = Server.CreateObject("Scripting.Dictionary")
    d("first") = "one"
    Set Session("dict") = d
    Set Session("mail") = Server.CreateObject("Tarnwick.Mail")
    Response.Write "stored;"
Else
    Set d = Session("dict")
    d(Request.QueryString("step")) = "x"
    Response.Write "count=" & d.Count & ";first=" & d("first") & ";"
    Response.Write "encode=" & Session("mail").Encode("abc") & ";"
End If
%>
