// Identifiers of the property page's dialog template, shared by the
// resource script and the code. Plain #defines: the resource compiler reads
// this file too.
#pragma once

#define FILLAHEAD_IDD_PAGE 101

// The page in dialog units of its font, the shell's dialog font.
#define FILLAHEAD_PAGE_WIDTH 252
#define FILLAHEAD_PAGE_HEIGHT 139
#define FILLAHEAD_PAGE_FONT "MS Shell Dlg"
#define FILLAHEAD_PAGE_FONT_SIZE 8

// A field's control is FILLAHEAD_IDC_FIELD + its PageField value; the label
// of a text box is FILLAHEAD_IDC_LABEL + the PageField value of its box.
#define FILLAHEAD_IDC_FIELD 1000
#define FILLAHEAD_IDC_LABEL 1100
