' Mailbox counting, message indexes and deletion.
RequireTarnwick

store = ScratchDir & "store\"
box = store & "alice\mailbox\"
host.MakeDirs box

Sub Msg(name, subject)
    host.WriteFileText box & name, "From: x" & vbCrLf & "Subject: " & subject & vbCrLf & vbCrLf & "body" & vbCrLf
End Sub

Set mail = CreateObject("Tarnwick.Mail")
mail.sMailPath = store
mail.sUserName = "alice"
CheckEqual "empty mailbox", mail.MailCount, 0

Msg "a.in", "A"
host.WriteFileText box & ".hidden", "x"
host.MakeDirs box & "old"
host.MakeDirs box & ".trash"
CheckEqual "hidden entries are skipped, subdirectories count", mail.MailCount, 2

' The subdirectory is a message that cannot be opened.
names = Split(host.ListDir(box), "|")
dirIndex = -1
n = 0
For Each name In names
    If Left(name, 1) <> "." Then
        If name = "old" Then dirIndex = n
        n = n + 1
    End If
Next
Check "the subdirectory has an index", dirIndex >= 0
CheckEqual "a subdirectory gives no summary", mail.GetTitleInfo(dirIndex), ""
CheckEqual "a regular message gives its summary", mail.GetTitleInfo(1 - dirIndex), "x||||A||||"
host.RemoveTree box & "old"

' Index rules
CheckEqual "index past the end gives nothing", mail.GetTitleInfo(1), ""
CheckEqual "index -1 gives nothing", mail.GetTitleInfo(-1), ""
host.WriteFileText box & "empty.in", ""
CheckEqual "two entries now", mail.MailCount, 2

' A missing mailbox
mail.sUserName = "nobody"
CheckEqual "missing mailbox counts 0", mail.MailCount, 0
CheckEqual "missing mailbox: no summary", mail.GetTitleInfo(0), ""
CheckEqual "missing mailbox: empty attachment list", mail.GetAllFileName(0), ""
CheckEqual "missing mailbox: GetFile fails", mail.GetFile(0, "x"), 0
mail.DeleteMail 0

' Without a trailing separator the user name is appended directly.
host.MakeDirs Left(store, Len(store) - 1) & "bob\mailbox"
host.WriteFileText Left(store, Len(store) - 1) & "bob\mailbox\m.in", "From: y" & vbCrLf & vbCrLf
mail.sMailPath = Left(store, Len(store) - 1)
mail.sUserName = "bob"
CheckEqual "sMailPath without separator", mail.MailCount, 1

' Deleting moves later messages down.
mail.sMailPath = store
mail.sUserName = "alice"
host.RemoveTree box
host.MakeDirs box
Msg "1.in", "one"
Msg "2.in", "two"
Msg "3.in", "three"
before0 = mail.GetTitleInfo(0)
before1 = mail.GetTitleInfo(1)
before2 = mail.GetTitleInfo(2)
mail.DeleteMail 0
CheckEqual "count after delete", mail.MailCount, 2
CheckEqual "former message 1 is message 0", mail.GetTitleInfo(0), before1
CheckEqual "former message 2 is message 1", mail.GetTitleInfo(1), before2
mail.DeleteMail 5
mail.DeleteMail -1
CheckEqual "deleting past the end changes nothing", mail.MailCount, 2

' Every handle is closed after a read: the message can be deleted at once.
b = mail.GetBody(0)
f = mail.GetAllFileName(0)
mail.DeleteMail 0
CheckEqual "a message read just before can be deleted", mail.MailCount, 1

' Changes by anyone are seen by the next call, within the same second: a
' delivery, another object's delete, a rename, a rewrite, another process.
Set reader = CreateObject("Tarnwick.MailReader")
reader.sMailPath = store
reader.sUserName = "alice"
host.RemoveTree box
host.MakeDirs box
Msg "1.in", "one"
CheckEqual "listed once", mail.MailCount, 1
Msg "2.in", "two"
CheckEqual "a delivery is seen at once", mail.MailCount, 2
reader.DeleteMail 0
CheckEqual "another object's delete is seen", mail.MailCount, 1
kept = mail.GetTitleInfo(0)
For Each name In Split(host.ListDir(box), "|")
    If Left(name, 1) <> "." Then CreateObject("Scripting.FileSystemObject").MoveFile box & name, box & "9.in"
Next
CheckEqual "a renamed message is still read", mail.GetTitleInfo(0), kept
Msg "9.in", "rewritten"
CheckEqual "a rewritten message is read anew", mail.GetTitleInfo(0), "x||||rewritten||||"
CreateObject("WScript.Shell").Run "cmd /c echo From: y> " & box & "8.in && del " & box & "9.in", 0, True
CheckEqual "another process's delivery and delete are seen", Left(reader.GetTitleInfo(0), 5), "y||||"
CheckEqual "by both objects", mail.MailCount, 1

Finish
