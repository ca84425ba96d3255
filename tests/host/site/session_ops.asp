<%
Session.Contents("a") = 1
Session.Contents("b") = "two"
Session.Value("c") = 3
Response.Write "count=" & Session.Contents.Count & ";c=" & Session.Value("c") & ";b=" & Session.Contents("b")
keys = ""
For Each k In Session.Contents
    keys = keys & k & ","
Next
Response.Write ";keys=" & keys
Session.Contents.Remove "b"
Response.Write ";removed=" & Session.Contents.Count & "," & TypeName(Session.Contents("b"))
Session.Contents.RemoveAll
Response.Write ";all=" & Session.Contents.Count
Session.Timeout = 5
Response.Write ";timeout=" & Session.Timeout & ";"
%>
