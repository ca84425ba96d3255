<%
' The Application object of an earlier page, kept in Session, reached from
' a later page (mostly on another page thread): it only reads.
If Request.QueryString("step") = "1" Then
    Set Session("app") = Application
    Response.Write "stored;"
Else
    On Error Resume Next
    Session("app").Lock
    Response.Write "lock=" & Err.Description & ";"
    Err.Clear
    ' A write through it while this page holds the lock.
    Application.Lock
    Set old = Session("app")
    old("viaold") = "v"
    Response.Write "write=" & Err.Description & ";"
    Err.Clear
    Application.UnLock
    Application("kept") = "through the page's own"
    Response.Write "kept=" & old("kept") & ";"
End If
%>
