<%
' One request of a session: writes "[n" when it starts and "n]" when it
' ends into the session's log, with a busy wait between. Requests that
' overlapped, or ran out of order, leave a log other than [1 1][2 2]...
n = Request.QueryString("n")
Session("log") = Session("log") & "[" & n
t = Timer
Do While (Timer - t) * 1000 < 300 And Timer >= t
Loop
Session("log") = Session("log") & " " & n & "]"
Response.Write "log=" & Session("log") & ";"
%>
