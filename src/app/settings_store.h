// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

namespace bil {

// The persistent copy of the settings: the one key Software\VRK with named values
// (32-bit integers, and the string Bas).
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Whether the key exists, i.e. the program has run before.
    virtual bool keyExists() const = 0;
    // Creates the key (nothing when it exists).
    virtual Status createKey() = 0;
    // Whether the value is present, whatever its type.
    virtual bool hasValue(const QString& name) const = 0;
    // The integer value; nothing when missing or not an integer.
    virtual std::optional<int32_t> readInt(const QString& name) const = 0;
    virtual Status writeInt(const QString& name, int32_t value) = 0;
    // The string value; empty when missing.
    virtual QString readString(const QString& name) const = 0;
    virtual Status writeString(const QString& name, const QString& value) = 0;
    // Holds the following writes until flush(): loading writes many values at once, and one
    // flush to disk costs far more than all of them.
    virtual void deferWrites() {}
    // Writes what was held back; reports a failure of any of those writes.
    virtual Status flush() { return Status::Ok(); }
};

// The settings in an INI file ("VRK.ini"), group Software/VRK; every write reaches the disk at
// once. The key exists as soon as it holds one value.
class QSettingsStore : public SettingsStore {
public:
    // The user's file: <config folder>/biletoria/VRK.ini.
    QSettingsStore();
    explicit QSettingsStore(const QString& iniPath);
    ~QSettingsStore() override;

    static QString defaultPath();
    QString path() const;

    bool keyExists() const override;
    Status createKey() override;
    bool hasValue(const QString& name) const override;
    std::optional<int32_t> readInt(const QString& name) const override;
    Status writeInt(const QString& name, int32_t value) override;
    QString readString(const QString& name) const override;
    Status writeString(const QString& name, const QString& value) override;
    void deferWrites() override { m_deferred = true; }
    Status flush() override;

private:
    Status write(const QString& name, const QVariant& value);
    Status sync(const QString& name);

    std::unique_ptr<QSettings> m_settings;
    bool m_deferred = false;
};

} // namespace bil
