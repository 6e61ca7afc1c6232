// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/settings_store.h"

#include <QHash>
#include <QString>

namespace bil {

// Settings held in memory; values are kept as text, as the INI file keeps them, and writes
// can be made to fail.
class MemorySettingsStore : public SettingsStore {
public:
    bool keyExists() const override { return m_keyExists; }
    Status createKey() override;
    bool hasValue(const QString& name) const override { return m_values.contains(name); }
    std::optional<int32_t> readInt(const QString& name) const override;
    Status writeInt(const QString& name, int32_t value) override;
    QString readString(const QString& name) const override { return m_values.value(name); }
    Status writeString(const QString& name, const QString& value) override;

    void remove(const QString& name) { m_values.remove(name); }
    void setFailWrites(bool fail) { m_failWrites = fail; }
    int writeCount() const { return m_writes; }

private:
    bool m_keyExists = false;
    bool m_failWrites = false;
    int m_writes = 0;
    QHash<QString, QString> m_values;
};

} // namespace bil
