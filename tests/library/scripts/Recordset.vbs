' The record set from a script: stored values read back through
' Fields(name).Value, filtered, counted and enumerated.
Option Explicit
Dim failures: failures = 0
Sub Check(label, actual, expected)
    If actual <> expected Then
        WScript.Echo "FAIL " & label & ": got [" & actual & "], expected [" & expected & "]"
        failures = failures + 1
    End If
End Sub

Dim fh, rs
Set fh = CreateObject("FillaheadLib.Fillahead")
Set rs = fh.Recordset
rs.Fields.Append "SavedStringField", 8, 255
rs.Open
rs.AddNew "SavedStringField", "London"
rs.Update
rs.AddNew
rs.Fields("SavedStringField").Value = "Leeds"
rs.Update
Check "RecordCount", rs.RecordCount, 2
Check "the engine's own record set", fh.Recordset Is rs, True

rs.MoveFirst
Check "first value", rs.Fields("SavedStringField").Value, "London"
Check "default member", rs.Fields("SavedStringField"), "London"
Check "by position", rs.Fields(0).Name, "SavedStringField"

rs.Filter = "SavedStringField Like 'lee*'"
Check "filtered count", rs.RecordCount, 1
Check "filtered value", rs.Fields("SavedStringField").Value, "Leeds"
Check "position", rs.AbsolutePosition, 1
rs.Filter = 0
Check "filter removed", rs.Filter, 0

Dim names, field
For Each field In rs.Fields
    names = names & field.Name & ";"
Next
Check "fields", names, "SavedStringField;"

Dim seen
rs.MoveFirst
Do Until rs.EOF
    seen = seen & rs.Fields("SavedStringField").Value & ";"
    rs.MoveNext
Loop
Check "rows", seen, "London;Leeds;"

fh.BoundColumn = "SavedStringField"
rs.MoveFirst
Check "BoundText", fh.BoundText, "London"

Set rs = Nothing
Set fh = Nothing
If failures = 0 Then WScript.Echo "RESULT: PASS" Else WScript.Echo "RESULT: FAIL " & failures
