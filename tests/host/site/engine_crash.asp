<%
' Wine's VBScript faults on this (a page fault in the engine):
' the host must come back and serve the next request.
Dim b()
ReDim b(3)
b(1) = 2
%>not reached
