#pragma once

// Numeric identifiers of the dialogs, controls and strings. The widgets carry the symbolic names
// as their objectName; the numbers name the same things where a number is wanted.

#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_MESSAGE 130
#define IDD_SQL 133
#define IDD_TABLES 134
#define IDD_INFO 135
#define IDD_STRUCT 136
#define IDD_DEDICATION 152

#define IDS_ABOUTBOX 101
#define IDS_DATABASE_QUERY 103
#define IDR_MAINFRAME 128
#define IDR_AVI_ABOUT 137
#define IDR_AVI_DEDICATION 138
#define IDM_ABOUTBOX 16
#define ID_HELP 57670

#define IDC_LOG 1001
#define IDC_INFOTEXT 1004
#define IDC_LOGFILE 1005
#define IDC_SOURCE 1008
#define IDC_USER 1009
#define IDC_PASSWORD 1010
#define IDC_DATABASE 1012
#define IDC_CONNECT 1013
#define IDC_SELECT 1014
#define IDC_LIST 1015
#define IDC_DISCONNECT 1016
#define IDC_EXPORT 1017
#define IDC_STRUCT 1018
#define IDC_QUIT 1020
#define IDC_SQL 1021
#define IDC_CLEAR 1022
#define IDC_AUTODEL 1029
#define IDC_INFO 1037
#define IDC_TABS 1038
#define IDC_CLIENTS 1040

// The program's strings.
#define IDS_ABOUTBOX_TEXT "Inf&o über Tavrin..."
#define IDS_DATABASE_QUERY_TEXT "Select * from all_tables"
