// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace bil {

namespace {

const QString Group = QStringLiteral("Software/VRK");

QString key(const QString& name) {
    return Group + QLatin1Char('/') + name;
}

std::optional<int32_t> toInt32(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const int result = value.toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return int32_t(result);
}

Status writeFailed(const QString& name, const QString& where) {
    if (name.isEmpty())
        return Status::Error(QStringLiteral("Не удалось сохранить настройки в %1")
                                 .arg(QDir::toNativeSeparators(where)));
    return Status::Error(QStringLiteral("Не удалось сохранить настройку %1 в %2")
                             .arg(name, QDir::toNativeSeparators(where)));
}

} // namespace

QSettingsStore::QSettingsStore() : QSettingsStore(defaultPath()) {}

QSettingsStore::QSettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QSettingsStore::~QSettingsStore() = default;

QString QSettingsStore::defaultPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("biletoria/VRK.ini"));
}

QString QSettingsStore::path() const {
    return m_settings->fileName();
}

bool QSettingsStore::keyExists() const {
    m_settings->beginGroup(Group);
    const bool exists = !m_settings->childKeys().isEmpty();
    m_settings->endGroup();
    return exists;
}

Status QSettingsStore::createKey() {
    // An INI group cannot exist empty; what matters here is that the file can be written.
    if (!m_settings->isWritable())
        return Status::Error(QStringLiteral("Не удалось создать файл настроек %1")
                                 .arg(QDir::toNativeSeparators(path())));
    return Status::Ok();
}

bool QSettingsStore::hasValue(const QString& name) const {
    return m_settings->contains(key(name));
}

std::optional<int32_t> QSettingsStore::readInt(const QString& name) const {
    return toInt32(m_settings->value(key(name)));
}

Status QSettingsStore::writeInt(const QString& name, int32_t value) {
    return write(name, QVariant(int(value)));
}

QString QSettingsStore::readString(const QString& name) const {
    return m_settings->value(key(name)).toString();
}

Status QSettingsStore::writeString(const QString& name, const QString& value) {
    return write(name, QVariant(value));
}

Status QSettingsStore::write(const QString& name, const QVariant& value) {
    // Start-up stores settings the file already holds; rewriting it unchanged (a new file and
    // two disk syncs) only made every start slower.
    const QString k = key(name);
    if (m_settings->status() == QSettings::NoError && m_settings->contains(k) &&
        m_settings->value(k).toString() == value.toString())
        return Status::Ok();
    m_settings->setValue(k, value);
    return m_deferred ? Status::Ok() : sync(name);
}

Status QSettingsStore::flush() {
    m_deferred = false;
    return sync(QString());
}

Status QSettingsStore::sync(const QString& name) {
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        return writeFailed(name, path());
    return Status::Ok();
}

} // namespace bil
