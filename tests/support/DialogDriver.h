#pragma once

#include "tests/support/OdbcEnvironment.h"

#include <QString>
#include <string>
#include <vector>

class CViewerDlg;

// Drives the real main dialog the way a user would, for the GUI tests.

using Lines = std::vector<std::string>;

// A text cut at its CR LF line ends; a last piece without one is dropped.
Lines SplitLines(const std::string& text);
std::string ReadFileBytes(const QString& path);

QString SettingsFile();
void WriteSettingsFile(const std::string& content);
void RemoveSettingsFile();

void FillLogin(CViewerDlg& dlg, const DataSource& source, const std::string& password);
void ClickButton(CViewerDlg& dlg, const char* name);
// Logs on with the fields filled in and lists the tables.
void ConnectAndSelect(CViewerDlg& dlg, const DataSource& source, const std::string& password);
void SelectTables(CViewerDlg& dlg, const std::vector<std::string>& names);
// What the Information window holds after Clear and one press of the button.
Lines RunCommand(CViewerDlg& dlg, const char* button);
// The SQL command with the statement typed into its dialog and executed.
Lines RunSqlCommand(CViewerDlg& dlg, const std::string& statement);
