// Quelle offers the configured data sources as the user types, and all of them on Alt+Down.

#include "main/ViewerDlg.h"
#include "ui_IDD_MAIN.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItemModel>
#include <algorithm>

void CViewerDlg::SetUpSourceCompleter()
{
    m_pSourceModel = new QStandardItemModel(this);
    auto* completer = new QCompleter(m_pSourceModel, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    // The list shows each name with its driver; choosing one puts the name alone into Quelle.
    completer->setCompletionRole(Qt::UserRole);
    m_ui->IDC_SOURCE->setCompleter(completer);
    m_ui->IDC_SOURCE->installEventFilter(this);
    ReadDataSources();
}

void CViewerDlg::ReadDataSources()
{
    m_pSourceModel->clear();
    QAbstractItemView* popup = m_ui->IDC_SOURCE->completer()->popup();
    int width = 0;
    for (const auto& [name, driver] : COdbcConnection::DataSources()) {
        auto* item = new QStandardItem(QString::fromStdString(name + " — " + driver));
        item->setData(QString::fromStdString(name), Qt::UserRole);
        width = std::max(width, popup->fontMetrics().horizontalAdvance(item->text()));
        m_pSourceModel->appendRow(item);
    }
    // The field is narrower than most names with their drivers.
    popup->setMinimumWidth(width + 2 * popup->frameWidth() +
                           popup->verticalScrollBar()->sizeHint().width() + 8);
}

bool CViewerDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->IDC_SOURCE) {
        // Data sources added meanwhile are offered the next time the user comes to the field.
        if (event->type() == QEvent::FocusIn &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            ReadDataSources();
        const auto* key =
            event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
        if (key && key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier) {
            QCompleter* completer = m_ui->IDC_SOURCE->completer();
            completer->setCompletionPrefix("");
            completer->complete();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
