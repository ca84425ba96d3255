<%
Select Case Request.QueryString("case")
Case "status"
    Response.Status = "404 Not Found"
    Response.Write "custom missing page"
Case "reason"
    Response.Status = "202 Taken Into Account"
    Response.Write "accepted"
Case "bad_status"
    Response.Status = "not a status"
Case "headers"
    Response.AddHeader "X-Page-One", "one two"
    Response.AddHeader "X-Page-Two", "2"
    Response.Write "headers added"
Case "header_crlf"
    Response.AddHeader "X-Split", "a" & vbCrLf & "Set-Cookie: injected=1"
Case "redirect"
    Response.Write "BEFORE-REDIRECT"
    Response.Redirect "target.asp?x=1&y=2"
    Response.Write "AFTER-REDIRECT"
Case "redirect_crlf"
    Response.Redirect "a.asp" & vbCrLf & "X-Injected: 1"
Case "type"
    Response.ContentType = "text/plain"
    Response.Charset = "gb2312"
    Response.Write "type=" & Response.ContentType & ";charset=" & Response.Charset
Case "clear"
    Response.Write "DISCARDED"
    Response.Clear
    Response.Write "kept"
Case "expires"
    Response.Expires = 0
    Response.Write "expired"
Case "cache"
    Response.CacheControl = "no-store"
    Response.Write "cache=" & Response.CacheControl
Case "buffer"
    Response.Buffer = True
    Response.Write "buffer=" & CInt(Response.Buffer)
    Response.Flush
    Response.Write ";after-flush"
End Select
%>
