<%
' Application takes no object that only its own thread may call.
On Error Resume Next
Set Application("mail") = Server.CreateObject("Tarnwick.Mail")
Response.Write "number=" & Hex(Err.Number) & ";description=" & Err.Description & ";"
Err.Clear
Response.Write "stored=" & CInt(IsObject(Application("mail"))) & ";"
%>
