#include "platform/linux/qt_settings.h"

#include "common/log.h"

#include <QSettings>
#include <QStandardPaths>

namespace twk {

std::string QtSettings::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
           "/tarnwick/tarnwick.conf";
}

QtSettings::QtSettings() : QtSettings(defaultFilePath()) {}

QtSettings::QtSettings(const std::string& filePath)
    : settings_(std::make_unique<QSettings>(QString::fromStdString(filePath), QSettings::IniFormat))
{
}

QtSettings::~QtSettings() = default;

std::optional<std::string> QtSettings::string(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    const QVariant v = settings_->value(QString::fromStdString(key));
    if (!v.isValid()) return std::nullopt;
    return v.toString().toStdString();
}

void QtSettings::setString(const std::string& key, const std::string& value)
{
    std::lock_guard lock(mutex_);
    settings_->setValue(QString::fromStdString(key), QString::fromStdString(value));
    flush();
}

void QtSettings::remove(const std::string& key)
{
    std::lock_guard lock(mutex_);
    settings_->remove(QString::fromStdString(key));
    flush();
}

std::string QtSettings::filePath() const
{
    std::lock_guard lock(mutex_);
    return settings_->fileName().toStdString();
}

void QtSettings::flush()
{
    settings_->sync();
    if (settings_->status() != QSettings::NoError)
        logLine("[twk] could not save settings to " + settings_->fileName().toStdString());
}

} // namespace twk
