<p>one</p>
<p>two</p>
<% x = 1 %>
<%
y = (2 +
%>
