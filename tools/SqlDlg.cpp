#include "tools/SqlDlg.h"

#include "main/ViewerDlg.h"
#include "ui_IDD_SQL.h"

#include <QFile>
#include <QFileDialog>
#include <QPixmap>
#include <QSaveFile>
#include <QTextDocument>

// The statement text breaks its lines with CR LF, as a Windows edit control does: that is the
// form the main dialog executes and logs, the history keeps and script files hold. Qt's document
// breaks them with LF, so the text is converted where it enters or leaves the editor, and nowhere
// else.

namespace {

QStringList ScriptFilters()
{
    return {"Sql-Files (*.sql)", "Text-Files (*.txt)"};
}

QString ToEditor(QString statement)
{
    return statement.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

std::string FromEditor(const QPlainTextEdit& edit)
{
    // The raw text, not toPlainText(): that would turn every no-break space into a plain one.
    // Blocks end with a paragraph separator; Shift+Enter puts a line separator inside a block.
    const QString raw = edit.document()->toRawText();
    QString text;
    text.reserve(raw.size() + raw.size() / 8);
    for (const QChar ch : raw) {
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator || ch == u'\n')
            text += u"\r\n";
        else
            text += ch;
    }
    return text.toStdString();
}

// Every line of a script followed by one break. A line ends at LF or CR LF, and also at a lone
// CR: a script saved on an old Mac would otherwise arrive as a single line. Bytes that are not
// UTF-8 become replacement characters; the text after them is kept.
QString ScriptToEditor(const QByteArray& bytes)
{
    QByteArray text;
    text.reserve(bytes.size() + 1);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char ch = bytes.at(i);
        if (ch != '\r') {
            text += ch;
            continue;
        }
        if (i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        text += '\n';
    }
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    return QString::fromUtf8(text);
}

// Entries in the order of a sorted list box, which ignores letter case; equal texts keep the
// order in which they came.
void InsertSorted(QComboBox& combo, const QString& entry)
{
    int pos = 0;
    while (pos < combo.count() &&
           QString::compare(combo.itemText(pos), entry, Qt::CaseInsensitive) <= 0)
        ++pos;
    combo.insertItem(pos, entry);
}

} // namespace

CSqlDlg::CSqlDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::IDD_SQL>())
{
    m_ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    m_ui->IDC_STATIC_1011->setPixmap(QPixmap(":/tavrin.png"));
    m_pHistoryCombo = m_ui->IDC_HISTORY;

    connect(m_pHistoryCombo, &QComboBox::activated, this, &CSqlDlg::OnSelChangeHistory);
    connect(m_ui->IDOK, &QPushButton::clicked, this, &CSqlDlg::OnOK);
    connect(m_ui->IDC_LOADSCRIPT, &QPushButton::clicked, this, &CSqlDlg::OnLoadScript);
    connect(m_ui->IDC_SAVESCRIPT, &QPushButton::clicked, this, &CSqlDlg::OnSaveScript);
    connect(m_ui->IDCANCEL, &QPushButton::clicked, this, &QDialog::reject);

    // Wrapping at word boundaries takes time that grows with the square of a word's length, so a
    // megabyte literal would freeze the window; big texts wrap anywhere. The signal comes before
    // the editor lays the new text out.
    QPlainTextEdit* edit = m_ui->IDC_SQLTEXT;
    connect(edit->document(), &QTextDocument::contentsChange, this, [edit] {
        QTextOption::WrapMode wanted = edit->document()->characterCount() > 65536
                                           ? QTextOption::WrapAnywhere
                                           : QTextOption::WrapAtWordBoundaryOrAnywhere;
        if (edit->wordWrapMode() != wanted)
            edit->setWordWrapMode(wanted);
    });
}

CSqlDlg::~CSqlDlg() = default;

int CSqlDlg::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CSqlDlg::OnInitDialog()
{
    setWindowTitle(QString::fromStdString(m_strCaption));
    m_ui->IDC_GROUP->setTitle(QString::fromStdString(m_strHeading));

    m_pHistoryCombo->clear();
    std::string entry;
    for (int i = 0; m_pMainDlg && m_pMainDlg->GetHistoryEntry(i, entry); ++i)
        InsertSorted(*m_pHistoryCombo, QString::fromStdString(entry));
    // Filling an empty combo box selects its first entry; the list only offers the entries.
    m_pHistoryCombo->setCurrentIndex(-1);

    m_ui->IDC_SQLTEXT->clear();
    m_ui->IDC_SQLTEXT->setFocus();
}

void CSqlDlg::OnSelChangeHistory(int index)
{
    if (index < 0)
        return;
    const QString entry = m_pHistoryCombo->itemText(index);
    if (entry.toUtf8().size() > static_cast<qsizetype>(CViewerDlg::HISTORY_MAX_LENGTH))
        return;
    m_ui->IDC_SQLTEXT->setPlainText(ToEditor(entry));
}

void CSqlDlg::OnLoadScript()
{
    QFileDialog chooser(this);
    chooser.setObjectName("IDD_SCRIPTFILE");
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilters(ScriptFilters());
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;

    QFile file(chooser.selectedFiles().constFirst());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    m_ui->IDC_SQLTEXT->setPlainText(ScriptToEditor(bytes));
}

void CSqlDlg::OnSaveScript()
{
    QFileDialog chooser(this);
    chooser.setObjectName("IDD_SCRIPTFILE");
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setOption(QFileDialog::DontConfirmOverwrite);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilters(ScriptFilters());
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;

    // Written beside the target and renamed over it, so a failed write leaves no half script
    // and an existing one untouched.
    QSaveFile file(chooser.selectedFiles().constFirst());
    if (!file.open(QIODevice::WriteOnly))
        return;
    const std::string text = FromEditor(*m_ui->IDC_SQLTEXT);
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.commit();
}

void CSqlDlg::OnOK()
{
    std::string text = FromEditor(*m_ui->IDC_SQLTEXT);
    if (m_pMainDlg) {
        m_pMainDlg->SetSqlText(text);
        m_pMainDlg->AddToHistory(text);
    }
    accept();
}
