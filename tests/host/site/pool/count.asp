<%
' Adds 1 to an Application counter n times, each under Application.Lock.
n = CLng(Request.QueryString("n"))
For i = 1 To n
    Application.Lock
    v = Application("counter")
    If IsEmpty(v) Then v = 0
    Application("counter") = v + 1
    Application.UnLock
Next
Response.Write "counter=" & Application("counter") & ";"
%>
