<%
total = Request.TotalBytes
If Request.QueryString("mode") = "echo" Then
    n = total
    data = Request.BinaryRead(n)
    Response.ContentType = "application/octet-stream"
    Response.BinaryWrite data
    Response.End
Else
    ' Read in pieces: each count argument receives the number of bytes read.
    c1 = 3
    p1 = Request.BinaryRead(c1)
    c2 = 1000000
    p2 = Request.BinaryRead(c2)
    c3 = 10
    p3 = Request.BinaryRead(c3)
    Response.Write "total=" & total & ";c1=" & c1 & ";c2=" & c2 & ";c3=" & c3 & ";len=" & Request.ServerVariables("CONTENT_LENGTH") & vbLf
    Response.BinaryWrite p1
    Response.Write "|"
    Response.BinaryWrite p2
End If
%>
