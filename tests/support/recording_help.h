// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <QStringList>

namespace bil::test {

// Keeps every help request instead of showing help.
class RecordingHelp final : public HelpEngine {
public:
    QStringList requests;
    void showHelp(const QString& request) override { requests << request; }
};

} // namespace bil::test
