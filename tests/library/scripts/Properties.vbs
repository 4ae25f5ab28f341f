' The engine from a script: created by its ProgID, its defaults at once, and
' every kind of property written and read back.
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
Check "MaxDisplayRows", fh.MaxDisplayRows, 8
Check "PrivateBufferSize", fh.PrivateBufferSize, 1
Check "BufferUsage", fh.BufferUsage, 0
Check "ListField", fh.ListField, "SavedStringField"
Check "BoundColumn", fh.BoundColumn, "SavedStringField"
Check "ControlGroupName", fh.ControlGroupName, ""
Check "Visible", fh.Visible, False
Check "BackColor is the system's window colour", fh.BackColor, &H80000005
Check "Recordset.State", fh.Recordset.State, 0
Check "location ends in Fillahead\", Right(fh.PrivateBufferLocation, 10), "Fillahead\"

fh.PrivateBufferLocation = folder
Check "PrivateBufferLocation", fh.PrivateBufferLocation, folder & "\"
fh.ControlGroupName = "Orders"
Check "ControlGroupName", fh.ControlGroupName, "Orders"
fh.MaxDisplayRows = 12
Check "MaxDisplayRows", fh.MaxDisplayRows, 12
fh.BufferUsage = 5
Check "BufferUsage unchecked", fh.BufferUsage, 5
fh.Alignment = 7
Check "Alignment unchecked", fh.Alignment, 7
fh.Left = 12.5
Check "Left", fh.Left, 12.5
fh.BackColor = &HFF
Check "BackColor", fh.BackColor, 255
fh.BuddyControl = "Text1"
Check "BuddyControl", fh.BuddyControl, "Text1"

Set fh = Nothing
fso.DeleteFolder folder, True
If failures = 0 Then WScript.Echo "RESULT: PASS" Else WScript.Echo "RESULT: FAIL " & failures
