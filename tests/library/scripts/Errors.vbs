' Errors reach a script through Err: the record set's and the engine's
' numbers, descriptions and source.
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

On Error Resume Next
Dim count
count = rs.RecordCount
Check "closed: number", Err.Number, 3704
Check "closed: description", Err.Description, "Operation is not allowed when the object is closed."
Check "closed: source", Err.Source, "FillaheadLib.Recordset"
Err.Clear
On Error GoTo 0

rs.Fields.Append "SavedStringField"
rs.Open
rs.AddNew "SavedStringField", "O'Brien"
rs.Update
fh.BoundColumn = "NoSuchField"

On Error Resume Next
Dim text
text = fh.BoundText
Check "bound: number", Err.Number, 3265
Check "bound: source", Err.Source, "FillaheadLib.Fillahead"
Check "bound: description", Err.Description, _
    "Item cannot be found in the collection corresponding to the requested name or ordinal."
Err.Clear

rs.Filter = "SavedStringField = 'O'Brien'"
Check "filter: number", Err.Number, 3001
Err.Clear

Set fh.Recordset = fh
Check "not a record set: number", Err.Number, 13
Err.Clear
On Error GoTo 0

' A quote written doubled is found.
rs.Filter = "SavedStringField = 'O''Brien'"
Check "filter count", rs.RecordCount, 1

Set rs = Nothing
Set fh = Nothing
If failures = 0 Then WScript.Echo "RESULT: PASS" Else WScript.Echo "RESULT: FAIL " & failures
