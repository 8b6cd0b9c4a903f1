#include "tools/TablesDlg.h"

#include "main/ViewerDlg.h"
#include "ui_IDD_TABLES.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
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
    m_filter = m_ui->IDC_FILTER;
    InitTool(m_ui->IDC_TABLESPANE);
    ClearTables();
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({QStringLiteral("Tabellen"), QStringLiteral("Ort")});
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(false);
    // The column is as wide as the empty list's viewport is now and stays so when the window is
    // resized. The viewport itself is laid out only when the window is first shown, so ask the
    // list what it will be.
    m_list->setColumnWidth(0, m_list->maximumViewportSize().width());

    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CTablesDlg::ShowContextMenu);
    connect(m_list, &QTreeWidget::itemActivated, this, &CTablesDlg::ShowData);

    m_filter->installEventFilter(this);
    connect(m_filter, &QLineEdit::textChanged, this, &CTablesDlg::ApplyFilter);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    addAction(find);
}

void CTablesDlg::ShowContextMenu(const QPoint& at)
{
    const bool ready = m_pMainDlg && m_pMainDlg->TableCommandsReady();
    const std::vector<std::string> selected = SelectedTables();
    QMenu menu(this);
    const auto add = [&menu](const char* text, const char* name, bool enabled, auto slot) {
        QAction* action = menu.addAction(QString::fromUtf8(text), slot);
        action->setObjectName(name);
        action->setEnabled(enabled);
    };
    QTreeWidgetItem* current = m_list->itemAt(at);
    add("&Daten anzeigen", "IDM_SHOWDATA", ready && current,
        [this, current] { ShowData(current); });
    add("&Export", "IDM_EXPORT", ready && !selected.empty(), [this] { m_pMainDlg->OnExport(); });
    add("&Struktur", "IDM_STRUCT", ready && !selected.empty(), [this] { m_pMainDlg->OnStruct(); });
    add("Export in &Datei...", "IDM_EXPORTFILE", ready && !selected.empty(),
        [this] { m_pMainDlg->OnExportToFile(); });
    add("Namen &kopieren", "IDM_COPYNAMES", !selected.empty(), [this] { CopyNames(); });
    menu.exec(m_list->viewport()->mapToGlobal(at));
}

void CTablesDlg::ShowData(QTreeWidgetItem* item)
{
    if (m_pMainDlg && m_pMainDlg->TableCommandsReady())
        m_pMainDlg->OpenDataWindow(item->data(0, Qt::UserRole).toByteArray().toStdString(),
                                   item->data(0, kSchemaRole).toByteArray().toStdString(),
                                   item->data(0, kCatalogRole).toByteArray().toStdString());
}

void CTablesDlg::CopyNames()
{
    QString text;
    for (const std::string& name : SelectedTables())
        text += QString::fromStdString(name) + '\n';
    QApplication::clipboard()->setText(text);
}

void CTablesDlg::ApplyFilter(const QString& text)
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        item->setHidden(!item->text(0).contains(text, Qt::CaseInsensitive));
    }
}

bool CTablesDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
            // On to the names the filter left, the first of them chosen.
            m_list->setFocus(Qt::TabFocusReason);
            for (int i = 0; !m_list->currentItem() || m_list->currentItem()->isHidden(); ++i) {
                if (i >= m_list->topLevelItemCount())
                    break;
                if (!m_list->topLevelItem(i)->isHidden())
                    m_list->setCurrentItem(m_list->topLevelItem(i));
            }
            return true;
        }
        if (key == Qt::Key_Escape && !m_filter->text().isEmpty()) {
            // The first Escape takes back the filter, the next one closes the window.
            m_filter->clear();
            return true;
        }
    }
    return CToolDlg::eventFilter(watched, event);
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
    ApplyFilter(m_filter->text());
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
        // A name the filter hides is out of the user's sight, and so out of the command.
        if (!item->isSelected() || item->isHidden())
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
