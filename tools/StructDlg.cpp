#include "tools/StructDlg.h"

#include "ui_IDD_STRUCT.h"

#include <QHeaderView>
#include <QTreeWidget>

CStructDlg::CStructDlg(QWidget* parent) : CToolDlg(parent), m_ui(std::make_unique<Ui::IDD_STRUCT>())
{
    m_ui->setupUi(this);
    m_list = m_ui->IDC_LIST;
    m_list->setColumnCount(0);
    m_list->header()->setSectionsClickable(false);
    InitTool(m_list);
}

CStructDlg::~CStructDlg() = default;

void CStructDlg::SetTitle(const std::string& title)
{
    setWindowTitle(QString::fromStdString(title));
}

void CStructDlg::InsertColumns(int count)
{
    if (count < 1)
        return;
    int width = m_list->maximumViewportSize().width() / count;
    m_list->setColumnCount(count);
    for (int k = 0; k < count; ++k) {
        m_list->headerItem()->setText(k, QString());
        m_list->setColumnWidth(k, width);
    }
}

void CStructDlg::SetColumnText(int column, const std::string& text)
{
    m_list->headerItem()->setText(column, QString::fromStdString(text));
}

void CStructDlg::SetCellText(int column, const std::string& text)
{
    if (column == 0)
        new QTreeWidgetItem(m_list); // the one row; the list owns it
    if (QTreeWidgetItem* row = m_list->topLevelItem(0))
        row->setText(column, QString::fromStdString(text));
}

void CStructDlg::OnToolClose()
{
    if (m_pMainDlg && m_posClient)
        m_pMainDlg->RemoveClientWindow(*m_posClient);
}
