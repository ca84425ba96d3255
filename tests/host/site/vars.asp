<%
For Each name In Array("REQUEST_METHOD", "QUERY_STRING", "CONTENT_TYPE", "CONTENT_LENGTH", "SCRIPT_NAME", "URL", _
        "PATH_INFO", "PATH_TRANSLATED", "SERVER_NAME", "SERVER_PORT", "SERVER_PROTOCOL", "REMOTE_ADDR", _
        "HTTP_USER_AGENT", "HTTP_X_CUSTOM_PROBE", "HTTP_HOST")
    Response.Write name & "=" & Request.ServerVariables(name) & vbLf
Next
%>
