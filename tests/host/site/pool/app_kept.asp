<%
' The Application object of an earlier page, kept in Session, reached from
' a later page (mostly on another page thread): its lock ended with its page.
If Request.QueryString("step") = "1" Then
    Set Session("app") = Application
    Response.Write "stored;"
Else
    On Error Resume Next
    Session("app").Lock
    Response.Write "lock=" & Err.Description & ";"
    Err.Clear
    Application("kept") = "through the page's own"
    Response.Write "kept=" & Application("kept") & ";"
End If
%>
