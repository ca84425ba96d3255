<%
n = Session.Contents("count")
If IsEmpty(n) Then n = 0
n = n + 1
Session.Contents("count") = n
Response.Write "count=" & n & ";id=" & Session.SessionID & ";"
%>
