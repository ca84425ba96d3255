<% Response.Write "SUB-INDEX-" & "ASP" %>
