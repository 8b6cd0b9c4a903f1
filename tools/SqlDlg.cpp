#include "tools/SqlDlg.h"

#include "log/SystemError.h"
#include "main/ViewerDlg.h"
#include "tools/SaveFile.h"
#include "ui_IDD_SQL.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QSaveFile>
#include <QStringDecoder>
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

// Scripts written by Windows editors come in its code page: a file that is not valid UTF-8 is
// read as Windows-1252, which is Latin-1 except for the 32 printable characters at 0x80..0x9F.
QString FromWindows1252(const QByteArray& bytes)
{
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        *out++ = (byte >= 0x80 && byte < 0xA0) ? QChar(high[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString DecodeScript(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    return utf8.hasError() ? FromWindows1252(bytes) : text;
}

// Every line of a script followed by one break. A line ends at LF or CR LF, and also at a lone
// CR: a script saved on an old Mac would otherwise arrive as a single line.
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
    return DecodeScript(text);
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
    // Modal to the window that opened it only: the parentless tool windows stay usable.
    if (parent)
        setWindowModality(Qt::WindowModal);
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
    chooser.setWindowModality(Qt::WindowModal);
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
    chooser.setWindowModality(Qt::WindowModal);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilters(ScriptFilters());
    // A name typed without extension would not show in the Load dialog's filter; and an existing
    // script is replaced only when the user says so.
    chooser.setDefaultSuffix("sql");
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;

    // Written beside the target and renamed over it only when every byte is on the disk, so a
    // failed write leaves no half script and an existing one untouched. Unbuffered: the writes
    // are the system's own, and a short one is never taken for a whole one.
    const QString path = chooser.selectedFiles().constFirst();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    // A script the user believes saved would be lost with the dialog: a failed write is told.
    const auto notSaved = [this, &path](const std::string& reason) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        "Das Skript wurde nicht gespeichert.\n\n" + path + ": " +
                            QString::fromStdString(reason),
                        QMessageBox::Ok, this);
        box.setObjectName("IDD_SCRIPTNOTSAVED");
        box.exec();
    };
    const std::string text = FromEditor(*m_ui->IDC_SQLTEXT);
    int failure = WriteAll(file.handle(), text);
    if (failure == 0)
        failure = SyncData(file.handle());
    if (failure != 0) {
        file.cancelWriting();
        return notSaved(SystemErrorText(failure));
    }
    if (const std::string reason = CommitSaveFile(file); !reason.empty())
        notSaved(reason);
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
