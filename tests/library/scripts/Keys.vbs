' OnKeyDown from a script: the key code goes in as a variable by reference
' and comes back changed (0 when the engine consumed the key).
Option Explicit
Dim failures: failures = 0
Sub Check(label, actual, expected)
    If actual <> expected Then
        WScript.Echo "FAIL " & label & ": got [" & actual & "], expected [" & expected & "]"
        failures = failures + 1
    End If
End Sub

Dim fso, folder
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.BuildPath(fso.GetSpecialFolder(2), fso.GetTempName())
fso.CreateFolder folder

Dim fh
Set fh = CreateObject("FillaheadLib.Fillahead")
fh.PrivateBufferLocation = folder
fh.BufferUsage = 1
fh.ControlGroupName = "Form1"

Dim value
For Each value In Array("Anna", "Annette", "Bob")
    fh.OnControlChange "Name", ""
    fh.OnTextChange value
    fh.CloseList
Next

fh.OnControlChange "Name", ""
fh.OnTextChange "ann"
Check "list shown", fh.Visible, True

Dim keyCode, shift
keyCode = 65: shift = 0
fh.OnKeyDown keyCode, shift
Check "a letter passes", keyCode, 65

keyCode = 40
fh.OnKeyDown keyCode, shift
Check "Down is consumed", keyCode, 0
Check "Down keeps its type", TypeName(keyCode), "Integer"

keyCode = 38
Call fh.OnKeyDown(keyCode, shift)
Check "Up is consumed", keyCode, 0

fh.OnKeyUp keyCode, shift
Check "OnKeyUp changes nothing", keyCode, 0

' A literal argument is accepted as well.
fh.OnKeyDown 27, 0
Check "Escape hides the list", fh.Visible, False

fh.CloseList
Set fh = Nothing
fso.DeleteFolder folder, True
If failures = 0 Then WScript.Echo "RESULT: PASS" Else WScript.Echo "RESULT: FAIL " & failures
