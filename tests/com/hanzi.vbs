' HanZi: HZ text to GB2312.
RequireTarnwick

Set hz = CreateObject("Tarnwick.HanZi")
CheckEqual "plain ASCII is unchanged", hz.HZ2GB("Hello, world ~~ 1+1"), "Hello, world ~ 1+1"
CheckEqual "an empty string", hz.HZ2GB(""), ""
CheckEqual "a GB pair", Str2Hex(hz.HZ2GB("~{<?~}")), "bcbf"
CheckEqual "the classic sample", Str2Hex(hz.HZ2GB("This is ~{<:Ky2;S{#,NpJ)l6HK!#~} ok")), _
    Str2Hex("This is ") & "bcbacbf9b2bbd3fba3accef0caa9ecb6c8cba1a3" & Str2Hex(" ok")
CheckEqual "a line continuation is dropped", hz.HZ2GB("ab~" & vbLf & "cd"), "abcd"
CheckEqual "GB mode left open keeps its last pair", Str2Hex(hz.HZ2GB("~{<:Ky")), "bcbacbf9"
CheckEqual "GBK text before an HZ run stays", Str2Hex(hz.HZ2GB(Hex2Str("d6d07e7b3c3f7e7d"))), "d6d0bcbf"
CheckEqual "0x80 before an HZ run stays", Str2Hex(hz.HZ2GB(Hex2Str("3580207e7b3c3f7e7d"))), "358020bcbf"
CheckEqual "a GBK trail byte ~ is no escape", Str2Hex(hz.HZ2GB(Hex2Str("817e7b3c3f"))), "817e7b3c3f"
CheckEqual "a syntax error is recovered", hz.HZ2GB("a~xb"), "a~xb"
CheckEqual "a second call starts in ASCII mode", hz.HZ2GB("<:"), "<:"
Set hz2 = CreateObject("Tarnwick.HanZi.1")
CheckEqual "another object converts alike", Str2Hex(hz2.HZ2GB("~{<:~}")), "bcba"
Finish
