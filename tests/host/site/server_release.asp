<%
' step=hold: a Dictionary from Server.CreateObject keeps the only reference
' to a text file opened for writing (which opens it with no sharing).
' step=reopen: the file opens again only if that Dictionary was released.
Set fso = CreateObject("Scripting.FileSystemObject")
path = fso.GetSpecialFolder(2) & "\tarnwick-server-release.tmp"
If Request.QueryString("step") = "hold" Then
    Set d = Server.CreateObject("Scripting.Dictionary")
    d.Add "stream", fso.CreateTextFile(path, True)
    Response.Write "held=open" & vbLf
Else
    On Error Resume Next
    Set again = fso.OpenTextFile(path, 8)
    Response.Write "reopened=" & CInt(Err.Number = 0) * -1 & vbLf
    again.Close
    fso.DeleteFile path
End If
%>
