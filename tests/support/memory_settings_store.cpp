// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory_settings_store.h"

namespace bil {

Status MemorySettingsStore::createKey() {
    if (m_failWrites)
        return Status::Error(QStringLiteral("Не удалось создать ключ настроек"));
    m_keyExists = true;
    return Status::Ok();
}

std::optional<int32_t> MemorySettingsStore::readInt(const QString& name) const {
    const auto found = m_values.constFind(name);
    if (found == m_values.constEnd())
        return std::nullopt;
    bool ok = false;
    const int value = found->trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return int32_t(value);
}

Status MemorySettingsStore::writeInt(const QString& name, int32_t value) {
    return writeString(name, QString::number(value));
}

Status MemorySettingsStore::writeString(const QString& name, const QString& value) {
    if (m_failWrites)
        return Status::Error(QStringLiteral("Не удалось сохранить настройку %1").arg(name));
    m_keyExists = true;
    m_values.insert(name, value);
    ++m_writes;
    return Status::Ok();
}

} // namespace bil
