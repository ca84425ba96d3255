<p>start</p><% Response.Write "mid" : Response.End %>TAIL-LITERAL<% Response.Write "TAIL-SCRIPT" %>
