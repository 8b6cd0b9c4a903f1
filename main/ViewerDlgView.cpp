// The view switches: the two tool windows, Clear and AutoDel.

#include "main/ViewerDlg.h"
#include "tools/InfoDlg.h"
#include "tools/TablesDlg.h"
#include "ui_IDD_MAIN.h"

void CViewerDlg::OnClear()
{
    if (m_pInfoDlg)
        m_pInfoDlg->ClearLines();
}

void CViewerDlg::OnAutoDel()
{
    m_bAutoDel = !m_bAutoDel;
    m_pChkAutoDel->setChecked(m_bAutoDel);
}

void CViewerDlg::OnInfoCheck()
{
    SetShowInfo(!m_bShowInfo);
}

void CViewerDlg::OnTabsCheck()
{
    SetShowTabs(!m_bShowTabs);
}

void CViewerDlg::SetShowInfo(bool show)
{
    m_bShowInfo = show;
    UpdateToolWindows();
}

void CViewerDlg::SetShowTabs(bool show)
{
    m_bShowTabs = show;
    UpdateToolWindows();
}

void CViewerDlg::OnInfoWindowClosed()
{
    m_bShowInfo = false;
    UpdateToolWindows();
}

void CViewerDlg::OnTablesWindowClosed()
{
    m_bShowTabs = false;
    UpdateToolWindows();
}

void CViewerDlg::UpdateToolWindows()
{
    auto apply = [](bool& wanted, QWidget* window) {
        if (wanted) {
            if (window)
                window->showNormal();
            else
                wanted = false;
        } else if (window) {
            window->hide();
        }
    };
    apply(m_bShowInfo, m_pInfoDlg.get());
    apply(m_bShowTabs, m_pTablesDlg.get());
    m_ui->IDC_INFO->setChecked(m_bShowInfo);
    m_ui->IDC_TABS->setChecked(m_bShowTabs);
}
