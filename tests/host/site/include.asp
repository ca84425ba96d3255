<!-- #include file="inc/header.inc" -->
<p>body</p>
<% For i = 1 To 3 %>[<!-- #include virtual="/inc/item.inc" -->]<% Next %>
<%= Greet("you") %>
<!--#include file='inc\nested.inc'-->
<!-- a comment that names no include -->
