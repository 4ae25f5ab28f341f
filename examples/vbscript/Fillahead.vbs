' Using the Fillahead engine from VBScript.
'
' Register the library once (as administrator):  regsvr32 FillaheadLib2.dll
' Run:                                            cscript //nologo Fillahead.vbs
'
' A host forwards what happens in its text box to the engine: the focus
' arriving (OnControlChange), every change of the text (OnTextChange), every
' key (OnKeyDown) and the focus leaving (CloseList, which stores the value).
' Here a "text box" named City on a form named Address is played by hand.
Option Explicit

Dim fso, folder
Set fso = CreateObject("Scripting.FileSystemObject")
folder = fso.BuildPath(fso.GetSpecialFolder(2), "FillaheadExample")
If fso.FolderExists(folder) Then fso.DeleteFolder folder, True

Dim engine
Set engine = CreateObject("FillaheadLib.Fillahead")
engine.PrivateBufferLocation = folder      ' where the history files go
engine.BufferUsage = 1                     ' buePrivate: use that folder
engine.ControlGroupName = "Address"        ' the form: part of the file name

' The user fills the City box three times; each value is stored on leaving.
Dim city
For Each city In Array("London", "Lyon", "Leeds")
    engine.OnControlChange "City", ""
    engine.OnTextChange city
    engine.CloseList
Next
WScript.Echo "Stored in " & fso.GetFileName(fso.BuildPath(folder, "Address-City.xml"))

' The history as a record set.
Dim rs, values
engine.OnControlChange "City", ""
engine.OnTextChange "l"                    ' typing loads the history and shows the list
Set rs = engine.Recordset
rs.Filter = 0
rs.MoveFirst
Do Until rs.EOF
    values = values & rs.Fields("SavedStringField").Value & " "
    rs.MoveNext
Loop
WScript.Echo "History: " & Trim(values)

' Keys go in as variables and come back changed: 0 means the engine used the
' key and the text box must not see it.
engine.OnTextChange "ly"
Dim keyCode, shift
keyCode = 40: shift = 0                    ' Down
engine.OnKeyDown keyCode, shift
WScript.Echo "Down while the list is shown: key code now " & keyCode
keyCode = 13                               ' Return takes the highlighted value
engine.OnKeyDown keyCode, shift
WScript.Echo "Return took """ & engine.Text & """"

engine.CloseList
Dim ok
ok = (Trim(values) = "London Lyon Leeds") And engine.Text = "Lyon"
Set rs = Nothing
Set engine = Nothing
fso.DeleteFolder folder, True
If ok Then WScript.Echo "RESULT: PASS" Else WScript.Echo "RESULT: FAIL"
