<p>ึะฮฤาณรๆ</p>
<%
s = "บบืึ"
q = Request.QueryString("q")
Response.Write "len=" & Len(s) & ";hex=" & Hex(Asc(s)) & ";text=" & s & ";url=" & Server.URLEncode(s)
Response.Write ";html=" & Server.HTMLEncode("<บบ>") & ";qlen=" & Len(q) & ";q=" & q & ";same=" & CInt(q = s) & ";"
%>
