#include "tools/StructDlg.h"

#include "main/WindowPlacement.h"
#include "ui_IDD_STRUCT.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QRect>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

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

void CStructDlg::FitColumns()
{
    const int count = m_list->columnCount();
    const QTreeWidgetItem* row = m_list->topLevelItem(0);
    if (count < 1)
        return;
    const QFontMetrics headerFont(m_list->header()->font());
    const QFontMetrics cellFont(m_list->font());
    // Room for the margins a header section and a cell draw around their text.
    const int padding = 2 * m_list->style()->pixelMetric(QStyle::PM_HeaderMargin) + 12;
    int widest = 0;
    for (int k = 0; k < count; ++k) {
        widest = std::max(widest, headerFont.horizontalAdvance(m_list->headerItem()->text(k)));
        if (row)
            widest = std::max(widest, cellFont.horizontalAdvance(row->text(k)));
    }
    // Everything of the window that is not the list's viewport.
    const int chrome = width() - m_list->maximumViewportSize().width();
    const long wanted = static_cast<long>(count) * (widest + padding) + chrome;
    const QRect client = geometry();
    const QRect fitted = WindowPlacement::FitToScreen(
        client.left(), client.top(), std::max<long>(wanted, client.width()), client.height());
    setGeometry(fitted);
    const int columnWidth = (fitted.width() - chrome) / count;
    for (int k = 0; k < count; ++k)
        m_list->setColumnWidth(k, columnWidth);
}

void CStructDlg::OnToolClose()
{
    if (m_pMainDlg && m_posClient)
        m_pMainDlg->RemoveClientWindow(*m_posClient);
}
