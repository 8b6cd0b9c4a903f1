#pragma once

#include <QDialog>

class CViewerDlg;

// A resizable top-level window whose one control fills it with a one-pixel margin. Its close box
// and Escape only tell the main dialog, which decides whether the window hides.
class CToolDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CToolDlg(QWidget* parent = nullptr);

    void SetMainDialog(CViewerDlg* mainDlg) { m_pMainDlg = mainDlg; }

protected:
    // Called by the derived class once its form is set up: from now on the control follows
    // every size change.
    void InitTool(QWidget* control);
    virtual void OnToolClose() = 0;

    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    CViewerDlg* m_pMainDlg = nullptr;
    bool m_bInitialized = false;

private:
    QWidget* m_control = nullptr;
};
