#include "tools/InfoDlg.h"

#include "main/HistoryCut.h"
#include "main/ViewerDlg.h"
#include "ui_IDD_INFO.h"

#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

namespace {

// Qt starts a new text block at LF, CR, CR LF, the Unicode line and paragraph separators and its
// own frame markers. Writing every break of an entry as one LF makes the entry's block count its
// LF count, and no CR is ever drawn.
// Laying out a line of many megabytes would hold the window for seconds and cost a gigabyte;
// the window shows the start of such a line, the buffer and the log keep it whole.
constexpr std::size_t kShownBytes = 64 * 1024;

int AppendDisplayText(QString& out, const std::string& entry)
{
    const std::size_t shown =
        entry.size() > kShownBytes ? CutAtCharacter(entry, kShownBytes) : entry.size();
    const QString text = QString::fromUtf8(entry.data(), static_cast<qsizetype>(shown));
    int breaks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        if (ch == u'\r' || ch == u'\n' || ch == QChar::LineSeparator ||
            ch == QChar::ParagraphSeparator) {
            out += u'\n';
            ++breaks;
        } else if (ch == QChar(0xFDD0) || ch == QChar(0xFDD1)) {
            out += QChar::ReplacementCharacter;
        } else {
            out += ch;
        }
    }
    if (shown < entry.size()) {
        out +=
            QString(" ... [%L1 Bytes mehr]\n").arg(static_cast<qulonglong>(entry.size() - shown));
        ++breaks;
    }
    return breaks;
}

} // namespace

CInfoDlg::CInfoDlg(QWidget* parent) : CToolDlg(parent), m_ui(std::make_unique<Ui::IDD_INFO>())
{
    m_ui->setupUi(this);
    m_editText = m_ui->IDC_INFOTEXT;
    // Once the user has typed, the control no longer holds what we put there: rebuild it whole.
    connect(m_editText, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_updating)
            m_userEdited = true;
    });
    InitTool(m_editText);
}

CInfoDlg::~CInfoDlg() = default;

void CInfoDlg::AddLine(const std::string& line)
{
    // Once the buffer is full, a new entry takes over the storage of the one it pushes out, so a
    // command that reports a line per row allocates nothing per row.
    std::string entry;
    if (m_lines.size() >= MaxLines) {
        entry = std::move(m_lines.front());
        m_lines.pop_front();
        ++m_firstLine;
    }
    if (entry.capacity() < line.size() + 2)
        entry.reserve(line.size() + 2);
    entry.assign(line).append("\r\n", 2);
    m_lines.push_back(std::move(entry));
    MarkStale();
}

void CInfoDlg::ClearLines()
{
    m_firstLine += m_lines.size();
    m_lines.clear();
    m_shownFirst = m_firstLine;
    m_shownBlocks.clear();
    m_stale = false;
    QScopedValueRollback<bool> updating(m_updating, true);
    m_editText->clear();
    m_userEdited = false;
}

std::vector<std::string> CInfoDlg::Entries() const
{
    std::vector<std::string> entries;
    entries.reserve(m_lines.size());
    for (const std::string& entry : m_lines)
        entries.push_back(entry.substr(0, entry.size() - 2));
    return entries;
}

std::string CInfoDlg::Text() const
{
    std::size_t size = 0;
    for (const std::string& entry : m_lines)
        size += entry.size();
    std::string text;
    text.reserve(size);
    for (const std::string& entry : m_lines)
        text += entry;
    return text;
}

void CInfoDlg::OnToolClose()
{
    if (m_pMainDlg)
        m_pMainDlg->OnInfoWindowClosed();
}

void CInfoDlg::showEvent(QShowEvent* event)
{
    CToolDlg::showEvent(event);
    if (m_stale)
        UpdateText();
    else
        ScrollToEnd();
}

void CInfoDlg::MarkStale()
{
    m_stale = true;
    if (m_updateQueued)
        return;
    m_updateQueued = true;
    // A long command lets the events in twenty times a second so that the windows stay alive;
    // rewriting 499 long lines each time would cost it a fifth of its time, so while it runs
    // the control catches up once a second, and at its end.
    const bool busy = m_pMainDlg && m_pMainDlg->CommandRunning();
    QTimer::singleShot(busy ? 1000 : 0, this, [this] {
        m_updateQueued = false;
        if (m_stale)
            UpdateText();
    });
}

void CInfoDlg::CatchUp()
{
    if (m_stale)
        UpdateText();
}

void CInfoDlg::UpdateText()
{
    m_stale = false;
    // Entries only ever leave at the top and arrive at the bottom, so the control still shows a
    // run of them that starts at or before the buffer's first entry.
    const auto dropped = static_cast<std::size_t>(
        std::min<std::uint64_t>(m_firstLine - m_shownFirst, m_shownBlocks.size()));
    const std::size_t kept = m_shownBlocks.size() - dropped;
    const std::size_t added = m_lines.size() - kept;
    // Trimming and appending cost about three times as much per line as setting the whole text,
    // so a large batch is cheaper to set at once.
    if (m_userEdited || kept == 0 || 3 * (dropped + added) > m_lines.size())
        RebuildText();
    else
        PatchText(dropped, kept);
    ScrollToEnd();
}

void CInfoDlg::RebuildText()
{
    QString text;
    m_shownBlocks.clear();
    for (const std::string& entry : m_lines)
        m_shownBlocks.push_back(AppendDisplayText(text, entry));
    m_shownFirst = m_firstLine;
    QScopedValueRollback<bool> updating(m_updating, true);
    m_editText->setPlainText(text);
    m_userEdited = false;
}

void CInfoDlg::PatchText(std::size_t dropped, std::size_t kept)
{
    QTextCursor cursor(m_editText->document());
    QScopedValueRollback<bool> updating(m_updating, true);
    // One edit block, so the control lays itself out once for the whole batch.
    cursor.beginEditBlock();
    if (dropped > 0) {
        int blocks = 0;
        for (std::size_t i = 0; i < dropped; ++i)
            blocks += m_shownBlocks[i];
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, blocks);
        cursor.removeSelectedText();
        m_shownBlocks.erase(m_shownBlocks.begin(),
                            m_shownBlocks.begin() + static_cast<std::ptrdiff_t>(dropped));
        m_shownFirst += dropped;
    }
    QString text;
    for (std::size_t i = kept; i < m_lines.size(); ++i)
        m_shownBlocks.push_back(AppendDisplayText(text, m_lines[i]));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    cursor.endEditBlock();
}

void CInfoDlg::ScrollToEnd()
{
    m_editText->moveCursor(QTextCursor::End);
    QScrollBar* bar = m_editText->verticalScrollBar();
    bar->setValue(bar->maximum());
}
