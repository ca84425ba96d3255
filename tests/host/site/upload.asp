<%
Set up = Server.CreateObject("Tarnwick.Upload")
If Request.QueryString("mode") = "data" Then
    Response.ContentType = "application/octet-stream"
    Response.BinaryWrite up.GetFileData("file")
    Response.End
End If
Response.Write "count=" & up.TotalCount & vbLf
Response.Write "title=" & up.Form("title") & vbLf
Response.Write "name0=" & up.FormName(0) & ";name1=" & up.FormName(1) & vbLf
Response.Write "isfile=" & CInt(up.IsFile("file")) & "," & CInt(up.IsFile("title")) & vbLf
Response.Write "size=" & up.FileSize("file") & vbLf
Response.Write "client=" & up.Form("file") & vbLf
target = Request.QueryString("dir")
If target <> "" Then
    up.TargetDir = target
    up.SaveFile "file"
    Response.Write "saved" & vbLf
End If
%>
