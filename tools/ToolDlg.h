#pragma once

#include <QDialog>
#include <list>
#include <memory>
#include <optional>

class CViewerDlg;

// A resizable top-level window whose one control fills it with a one-pixel margin. Its close box
// and Escape only tell the main dialog, which decides whether the window hides.
class CToolDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CToolDlg(QWidget* parent = nullptr);

    void SetMainDialog(CViewerDlg* mainDlg) { m_pMainDlg = mainDlg; }
    // Where the main dialog keeps a client window (Struktur-Info, data), which closes through it.
    using ClientPosition = std::list<std::unique_ptr<CToolDlg>>::iterator;
    void SetListPosition(ClientPosition pos) { m_posClient = pos; }

protected:
    // Called by the derived class once its form is set up: from now on the control follows
    // every size change.
    void InitTool(QWidget* control);
    virtual void OnToolClose() = 0;

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    CViewerDlg* m_pMainDlg = nullptr;
    std::optional<ClientPosition> m_posClient;
    bool m_bInitialized = false;

private:
    QWidget* m_control = nullptr;
};
