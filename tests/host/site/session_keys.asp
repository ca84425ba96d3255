<%@ LANGUAGE=JScript %>
<%
// Keys that differ only in case are one key, also outside ASCII: each pair
// stores twice under one key; then Remove by index.
var pairs = [[0x3C3, 0x3A3], [0xE9, 0xC9], [0x61, 0x41], [0x0436, 0x0416], [0xFF41, 0xFF21]];
for (var i = 0; i < pairs.length; i++) {
    Session(String.fromCharCode(pairs[i][0]) + "key" + i) = 1;
    Session(String.fromCharCode(pairs[i][1]) + "KEY" + i) = 2;
}
var values = "";
for (var i = 1; i <= Session.Contents.Count; i++) values += Session.Contents(i);
Response.Write("count=" + Session.Contents.Count + ";values=" + values + ";");
Session.Contents.Remove(1);
Response.Write("after=" + Session.Contents.Count + ";first=" + Session.Contents.Key(1).substr(1) + ";");
%>
