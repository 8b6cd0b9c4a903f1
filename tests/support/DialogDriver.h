#pragma once

#include "tests/support/OdbcEnvironment.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

class CViewerDlg;

using Lines = std::vector<std::string>;

// A text cut at its CR LF line ends; a last piece without one is dropped.
Lines SplitLines(const std::string& text);
std::string ReadFileBytes(const QString& path);
void WriteFileBytes(const QString& path, const std::string& content);

QString SettingsFile();

template <typename T = QWidget> T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}
// Hands the modal dialog that action brings up (other than current) to handler, then closes it
// lest a failing test hang. Gives how many came up: 0 or 1.
int Modals(const std::function<void()>& action, const std::function<void(QWidget*)>& handler = {},
           QWidget* current = nullptr);

void FillLogin(CViewerDlg& dlg, const DataSource& source, const std::string& password);
void ClickButton(CViewerDlg& dlg, const char* name);
