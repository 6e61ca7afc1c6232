// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace bil {

// The line break of the program's own texts (answer lists, questions, exam summaries): LF then
// CR, as the stored texts have always had it. Windows show it through DisplayLines.
inline const QString LineBreak = QStringLiteral("\n\r");

} // namespace bil
