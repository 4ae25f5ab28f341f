// Identifiers of the control's resources in FillaheadLib2.dll, shared by the
// resource script, the code and the registration. Plain #defines: the
// resource compiler reads this file too.
#pragma once

// The picture a form designer shows for the control, 24 by 31 pixels.
#define FILLAHEAD_IDB_CONTROL_PICTURE 201
// The control's button in a designer's toolbox, 16 by 15 pixels.
#define FILLAHEAD_IDB_CONTROL_TOOLBOX 202
