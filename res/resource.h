#pragma once

namespace res {

// Numeric identifiers of the dialogs, controls and strings. The widgets carry the symbolic names
// as their objectName; the numbers name the same things where a number is wanted.

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_MAIN = 102;
constexpr int IDD_MESSAGE = 130;
constexpr int IDD_SQL = 133;
constexpr int IDD_TABLES = 134;
constexpr int IDD_INFO = 135;
constexpr int IDD_STRUCT = 136;
constexpr int IDD_DEDICATION = 152;

constexpr int IDS_ABOUTBOX = 101;
constexpr int IDS_DATABASE_QUERY = 103;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDR_AVI_ABOUT = 137;
constexpr int IDR_AVI_DEDICATION = 138;
constexpr int IDM_ABOUTBOX = 16;
constexpr int ID_HELP = 57670;

constexpr int IDC_LOG = 1001;
constexpr int IDC_GROUP = 1009;
constexpr int IDC_INFOTEXT = 1004;
constexpr int IDC_LOGFILE = 1005;
constexpr int IDC_SOURCE = 1008;
constexpr int IDC_USER = 1009;
constexpr int IDC_PASSWORD = 1010;
constexpr int IDC_DATABASE = 1012;
constexpr int IDC_CONNECT = 1013;
constexpr int IDC_SELECT = 1014;
constexpr int IDC_LIST = 1015;
constexpr int IDC_DISCONNECT = 1016;
constexpr int IDC_EXPORT = 1017;
constexpr int IDC_STRUCT = 1018;
constexpr int IDC_QUIT = 1020;
constexpr int IDC_SQL = 1021;
constexpr int IDC_CLEAR = 1022;
constexpr int IDC_SQLTEXT = 1023;
constexpr int IDC_HISTORY = 1025;
constexpr int IDC_LOADSCRIPT = 1026;
constexpr int IDC_SAVESCRIPT = 1027;
constexpr int IDC_AUTODEL = 1029;
constexpr int IDC_INFO = 1037;
constexpr int IDC_TABS = 1038;
constexpr int IDC_CLIENTS = 1040;

// The program's strings.
constexpr const char* IDS_ABOUTBOX_TEXT = "Inf&o über Tavrin...";
constexpr const char* IDS_DATABASE_QUERY_TEXT = "Select * from all_tables";

} // namespace res
