<%
Response.Write "a=[" & Request.QueryString("a") & "]" & vbLf
Response.Write "b=[" & Request.QueryString("b") & "]" & vbLf
Response.Write "c=[" & Request.QueryString("c") & "]" & vbLf
Response.Write "name=[" & Request.QueryString("NAME") & "]" & vbLf
Response.Write "missing=" & TypeName(Request.QueryString("nope")) & vbLf
Response.Write "raw=" & Request.QueryString & vbLf
Response.Write "var=" & Request.ServerVariables("QUERY_STRING") & vbLf
Response.Write "count=" & Request.QueryString.Count & vbLf
keys = ""
For Each k In Request.QueryString
    keys = keys & k & ","
Next
Response.Write "keys=" & keys & vbLf
Response.Write "key1=" & Request.QueryString.Key(1) & vbLf
%>
