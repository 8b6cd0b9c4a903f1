#include "main/RegistryKey.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

std::unique_ptr<QSettings> SettingsFor(const std::string& path)
{
    QStringList parts = QString::fromStdString(path).split('\\', Qt::SkipEmptyParts);
    QString application = parts.value(parts.size() - 1);
    QString organisation = parts.value(parts.size() - 2);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation,
                                       application);
}

} // namespace

CRegistryKey::CRegistryKey() = default;

CRegistryKey::~CRegistryKey()
{
    Close();
}

long CRegistryKey::Open(const std::string& path)
{
    std::unique_ptr<QSettings> settings = SettingsFor(path);
    if (!QFileInfo::exists(settings->fileName()))
        return NotFound;
    if (settings->status() == QSettings::AccessError)
        return AccessDenied;
    Close();
    m_settings = std::move(settings);
    return Success;
}

long CRegistryKey::Create(const std::string& path)
{
    std::unique_ptr<QSettings> settings = SettingsFor(path);
    if (!settings->isWritable())
        return AccessDenied;
    Close();
    m_settings = std::move(settings);
    return Success;
}

long CRegistryKey::QueryValue(std::string& value, const std::string& name, std::size_t& size) const
{
    if (!m_settings)
        return NotFound;
    QVariant stored = m_settings->value(QString::fromStdString(name));
    if (!stored.isValid())
        return NotFound;
    std::string text;
    // An unquoted text with commas comes back from the file as a list.
    if (stored.typeId() == QMetaType::QStringList)
        text = stored.toStringList().join(',').toStdString();
    else if (stored.typeId() == QMetaType::QByteArray)
        text = stored.toByteArray().toStdString();
    else if (stored.canConvert<QString>())
        text = stored.toString().toStdString();
    else
        return NotFound;
    if (text.size() + 1 > size) {
        size = text.size() + 1;
        return MoreData;
    }
    size = text.size() + 1;
    value = std::move(text);
    return Success;
}

long CRegistryKey::SetString(const std::string& text, const std::string& name)
{
    if (!m_settings)
        return NotFound;
    m_settings->setValue(QString::fromStdString(name), QString::fromStdString(text));
    return Success;
}

long CRegistryKey::Close()
{
    if (!m_settings)
        return Success;
    m_settings->sync();
    bool ok = m_settings->status() == QSettings::NoError;
    m_settings.reset();
    return ok ? Success : AccessDenied;
}
