<%
Response.Write "method=" & Request.ServerVariables("REQUEST_METHOD") & vbLf
Response.Write "x=[" & Request.Form("x") & "]" & vbLf
Response.Write "sp=[" & Request.Form("sp") & "]" & vbLf
Response.Write "cn=[" & Request.Form("cn") & "]" & vbLf
Response.Write "cnlen=" & Len(Request.Form("cn")) & vbLf
Response.Write "count=" & Request.Form.Count & vbLf
Response.Write "raw=" & Request.Form & vbLf
Response.Write "q=[" & Request.QueryString("q") & "]" & vbLf
%>
