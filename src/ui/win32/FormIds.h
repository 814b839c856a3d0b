#pragma once

// Resource and control identifiers of the forms, shared by Forms.rc and the code that binds
// them (the resource compiler reads only the #defines).

#define IDI_BRENZO 1

#define IDD_DURATION_EDITOR 100
#define IDC_LOAD 101  // Button1: "Load .dat15-file"
#define IDC_NAME_LABEL 102
#define IDC_NAME 103    // Memo1
#define IDC_TRACKS 104  // ListBox1
#define IDC_DURATION_LABEL 105
#define IDC_DURATION 106  // MaskEdit1
#define IDC_APPLY 107     // Button2

#define IDD_ABOUT 200
#define IDC_ABOUT_NAME 201
#define IDC_ABOUT_VERSION 202
#define IDC_ABOUT_CREDITS 203
#define IDC_ABOUT_LIBRARIES 204
#define IDC_ABOUT_PICTURE 205
