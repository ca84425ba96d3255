<html><body>
<h1>Basic</h1>
<ul>
<% For i = 1 To 3 %><li>item <%= i * 10 %></li>
<% Next %></ul>
<% If 2 > 1 Then %>branch-taken<% Else %>branch-skipped<% End If %>
<%= "a" & "b" %>|<%="no space"%>|<% Response.Write "written" %>
<p>percent sign 100% and a lone <% %>empty block</p>
</body></html>
