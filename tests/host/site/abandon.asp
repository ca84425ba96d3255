<%
before = Session.Contents("count")
Session.Abandon
Response.Write "before=" & before & ";after=" & Session.Contents("count") & ";"
%>
