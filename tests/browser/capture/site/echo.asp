<%
' Sends back the posted body unchanged, as a download, with the Content-Type
' it came with. (Wine's VBScript has no byte functions and its ADODB.Stream no
' type library, so a page cannot write the bytes to a file; the capture script
' stores what this page answers. A download keeps the bytes as they are, where
' the browser would decode a page's text.)
Response.ContentType = "application/octet-stream"
Response.AddHeader "Content-Disposition", "attachment; filename=body.bin"
Response.AddHeader "X-Posted-Content-Type", Request.ServerVariables("CONTENT_TYPE")
Response.BinaryWrite Request.BinaryRead(Request.TotalBytes)
Response.End
%>
