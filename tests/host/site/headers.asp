<%
' Whether an empty header (X-Empty) arrived, the length of X-Name, and two
' cookies.
If InStr(Request.ServerVariables("ALL_RAW"), "X-Empty:") > 0 Then
    Response.Write "empty=1;"
Else
    Response.Write "empty=0;"
End If
Response.Write "name=" & Len(Request.ServerVariables("HTTP_X_NAME")) & ";"
Response.Write "cookies=" & Request.Cookies("a") & "," & Len(Request.Cookies("u")) & ";"
If Request.QueryString("status") <> "" Then
    Response.Status = Request.QueryString("status")
    Response.Write "a body the status does not allow"
End If
%>
