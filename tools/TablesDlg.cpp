#include "tools/TablesDlg.h"

#include "main/ViewerDlg.h"
#include "ui_IDD_TABLES.h"

#include <QAction>
#include <QHeaderView>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <map>

namespace {

constexpr int kSchemaRole = Qt::UserRole + 1;
constexpr int kCatalogRole = Qt::UserRole + 2;

} // namespace

CTablesDlg::CTablesDlg(QWidget* parent) : CToolDlg(parent), m_ui(std::make_unique<Ui::IDD_TABLES>())
{
    m_ui->setupUi(this);
    m_list = m_ui->IDC_LIST;
    InitTool(m_list);
    ClearTables();
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({QStringLiteral("Tabellen"), QStringLiteral("Ort")});
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(false);
    // The column is as wide as the empty list's viewport is now and stays so when the window is
    // resized. The viewport itself is laid out only when the window is first shown, so ask the
    // list what it will be.
    m_list->setColumnWidth(0, m_list->maximumViewportSize().width());

    m_list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* toFile = new QAction(QStringLiteral("Export in &Datei..."), m_list);
    toFile->setObjectName("IDM_EXPORTFILE");
    connect(toFile, &QAction::triggered, this, [this] {
        if (m_pMainDlg)
            m_pMainDlg->OnExportToFile();
    });
    m_list->addAction(toFile);
}

CTablesDlg::~CTablesDlg() = default;

bool CTablesDlg::FillTables(const std::vector<std::string>& names,
                            const std::vector<std::string>& schemas,
                            const std::vector<std::string>& catalogs)
{
    m_list->clear();
    m_nTables = static_cast<int>(names.size());
    // Namesakes in other schemas or databases are told apart by their place beside the name.
    std::map<std::string, int> count;
    for (const std::string& name : names)
        ++count[name];
    const bool namesakes = count.size() < names.size();
    m_list->setColumnCount(namesakes ? 2 : 1);
    const int width = m_list->maximumViewportSize().width();
    m_list->setColumnWidth(0, namesakes ? width * 2 / 3 : width);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string place;
        if (count[names[i]] > 1) {
            const std::string catalog = i < catalogs.size() ? catalogs[i] : "";
            const std::string schema = i < schemas.size() ? schemas[i] : "";
            place = catalog + (catalog.empty() || schema.empty() ? "" : ".") + schema;
        }
        auto* item = new QTreeWidgetItem(
            m_list, {QString::fromStdString(names[i]), QString::fromStdString(place)});
        if (!place.empty())
            item->setToolTip(0, QString::fromStdString(place + "." + names[i]));
        // A catalog name need not be valid UTF-8; the commands get back the bytes it sent.
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(names[i]));
        if (i < schemas.size())
            item->setData(0, kSchemaRole, QByteArray::fromStdString(schemas[i]));
        if (i < catalogs.size())
            item->setData(0, kCatalogRole, QByteArray::fromStdString(catalogs[i]));
    }
    return m_list->topLevelItemCount() > 0;
}

void CTablesDlg::ClearTables()
{
    m_list->clear();
}

std::vector<std::string> CTablesDlg::SelectedTables(std::vector<std::string>* schemas,
                                                    std::vector<std::string>* catalogs) const
{
    std::vector<std::string> names;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (!item->isSelected())
            continue;
        names.push_back(item->data(0, Qt::UserRole).toByteArray().toStdString());
        if (schemas)
            schemas->push_back(item->data(0, kSchemaRole).toByteArray().toStdString());
        if (catalogs)
            catalogs->push_back(item->data(0, kCatalogRole).toByteArray().toStdString());
    }
    return names;
}

void CTablesDlg::OnToolClose()
{
    if (m_pMainDlg)
        m_pMainDlg->OnTablesWindowClosed();
}
