<%@ LANGUAGE="JScript" %>
<%
var squares = [];
for (var i = 1; i <= 4; i++) squares.push(i * i);
var name = Request.QueryString("name");
Session.Contents.Item("fromjs") = "js-" + name;
var mail = Server.CreateObject("Tarnwick.Mail");
Response.Write("squares=" + squares.join(",") + ";name=" + name + ";upper=" + String(name).toUpperCase() +
               ";session=" + Session.Contents("fromjs") + ";b64=" + mail.Encode("abc") + ";");
%>
<% for (var k = 1; k <= 2; k++) { %><i><%= k * 7 %></i><% } %>
