// The settings that survive a restart; the password is never among them.

#include "main/RegistryKey.h"
#include "main/ViewerDlg.h"
#include "main/WindowPlacement.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"

#include <QRect>
#include <algorithm>

namespace {

const char* const kKeyPath = "Software\\Brenkow\\Tavrin";
constexpr std::size_t kValueBuffer = 1031;

// The size the tool windows get when nothing is stored for them: big enough to work in.
constexpr int kToolHeight = 300;
constexpr int kInfoWidth = 600;
constexpr int kMinInfoWidth = 200;
constexpr int kGap = 8;

const char* Switch(bool on)
{
    return on ? "1" : "0";
}

} // namespace

bool CViewerDlg::ParsePlacement(const std::string& text, WindowPlacement& placement)
{
    return WindowPlacement::Parse(text, placement);
}

void CViewerDlg::LoadSettings()
{
    CRegistryKey key;
    std::string mainPlacement, infoPlacement, tabsPlacement;
    // Without a store (the first start) every value keeps its default, but the tool windows
    // are made all the same.
    if (key.Open(kKeyPath) == CRegistryKey::Success) {
        auto read = [&key](const char* name, std::string& target) {
            std::size_t size = kValueBuffer;
            std::string value;
            if (key.QueryValue(value, name, size) == CRegistryKey::Success)
                target = std::move(value);
        };
        auto readSwitch = [&read](const char* name, bool& target) {
            std::string value = Switch(target);
            read(name, value);
            target = value == "1";
        };
        read("Logging", m_strLogPath);
        readSwitch("Logset", m_bLogging);
        readSwitch("Info", m_bShowInfo);
        readSwitch("Tabs", m_bShowTabs);
        readSwitch("AutoDel", m_bAutoDel);
        read("ODBC", m_strSource);
        read("User", m_strUser);
        read("Database", m_strDatabase);
        read("MainWP", mainPlacement);
        read("InfoWP", infoPlacement);
        read("TabsWP", tabsPlacement);
    }

    WindowPlacement placement;
    if (ParsePlacement(mainPlacement, placement)) {
        placement.ApplyTo(this);
    } else {
        const QRect area = WindowPlacement::ClientArea(0, 0);
        move(area.left() + kGap, area.top() + kGap);
    }
    CreateToolWindows(infoPlacement, tabsPlacement);
    UpdateToolWindows();
    key.Close();
    WriteLoginFields();
}

void CViewerDlg::CreateToolWindows(const std::string& infoPlacement,
                                   const std::string& tabsPlacement)
{
    // A window with nothing stored goes beside the main window, so that none hides another:
    // Tabellen below it, Information to its right.
    const QRect main = geometry();
    const int below =
        main.top() + main.height() + WindowPlacement::kBorder + kGap + WindowPlacement::kTitleBar;
    WindowPlacement placement;
    m_pInfoDlg = std::make_unique<CInfoDlg>();
    if (ParsePlacement(infoPlacement, placement))
        placement.ApplyTo(m_pInfoDlg.get());
    else {
        // As wide as the room beside the main window allows, within reason.
        const int left = main.left() + main.width() + 2 * WindowPlacement::kBorder + kGap;
        const QRect area = WindowPlacement::ClientArea(left, main.top());
        const int width = std::clamp(area.left() + area.width() - left, kMinInfoWidth, kInfoWidth);
        m_pInfoDlg->setGeometry(WindowPlacement::FitToScreen(left, main.top(), width,
                                                             below - main.top() + kToolHeight));
    }
    m_pInfoDlg->hide();
    m_pInfoDlg->SetMainDialog(this);

    m_pTablesDlg = std::make_unique<CTablesDlg>();
    if (ParsePlacement(tabsPlacement, placement))
        placement.ApplyTo(m_pTablesDlg.get());
    else
        m_pTablesDlg->setGeometry(
            WindowPlacement::FitToScreen(main.left(), below, main.width(), kToolHeight));
    m_pTablesDlg->hide();
    m_pTablesDlg->SetMainDialog(this);
}

void CViewerDlg::SaveSettings()
{
    std::string mainPlacement = WindowPlacement::Of(this).Format();
    std::string infoPlacement = m_pInfoDlg ? WindowPlacement::Of(m_pInfoDlg.get()).Format() : "";
    std::string tabsPlacement =
        m_pTablesDlg ? WindowPlacement::Of(m_pTablesDlg.get()).Format() : "";

    CRegistryKey key;
    if (key.Create(kKeyPath) != CRegistryKey::Success)
        return;
    key.SetString(m_strLogPath, "Logging");
    key.SetString(Switch(m_bLogging), "Logset");
    key.SetString(Switch(m_bAutoDel), "AutoDel");
    key.SetString(Switch(m_bShowInfo), "Info");
    key.SetString(Switch(m_bShowTabs), "Tabs");
    key.SetString(COdbcConnection::WithoutPassword(m_strSource), "ODBC");
    key.SetString(m_strUser, "User");
    key.SetString(m_strDatabase, "Database");
    key.SetString(mainPlacement, "MainWP");
    key.SetString(infoPlacement, "InfoWP");
    key.SetString(tabsPlacement, "TabsWP");
    key.Close();
}
