#pragma once

#include "tools/ToolDlg.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class IDD_INFO;
}

class QPlainTextEdit;

// The transcript window: the newest lines of everything the program reports. The line buffer is
// the truth; the text control catches up with it once per pass of the event loop, so a command
// that reports many lines spends its time on the lines, not on the window.
class CInfoDlg : public CToolDlg
{
    Q_OBJECT

public:
    static constexpr std::size_t MaxLines = 499;

    explicit CInfoDlg(QWidget* parent = nullptr);
    ~CInfoDlg() override;

    void AddLine(const std::string& line);
    void ClearLines();

    // Every entry as added, each followed by CR LF, oldest first.
    std::string Text() const;
    // Every entry as added, without the CR LF the window ends it with.
    std::vector<std::string> Entries() const;
    std::size_t LineCount() const { return m_lines.size(); }
    // Shows what the buffer holds now rather than at the next pass of the event loop.
    void CatchUp();

protected:
    void OnToolClose() override;
    void showEvent(QShowEvent* event) override;

private:
    void MarkStale();
    void UpdateText();
    void RebuildText();
    void PatchText(std::size_t dropped, std::size_t keptEnd);
    void ScrollToEnd();

    std::unique_ptr<Ui::IDD_INFO> m_ui;
    QPlainTextEdit* m_editText = nullptr;
    std::deque<std::string> m_lines;
    // Entries are numbered as they arrive, so the control knows which of them it still shows.
    std::uint64_t m_firstLine = 0;
    std::uint64_t m_shownFirst = 0;
    std::deque<int> m_shownBlocks; // text blocks each shown entry spans, oldest first
    bool m_stale = false;
    bool m_updateQueued = false;
    bool m_updating = false;
    bool m_userEdited = false;
};
