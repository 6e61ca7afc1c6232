// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace bil {

// The help file, named without a folder in every request.
inline const QString HelpFile = QStringLiteral("biltor.chm");

// Full-window pages opened by the help buttons.
inline const QString HelpPageMain = QStringLiteral("index.html"); // main window
inline const QString HelpPageStudy = QStringLiteral("h2.html");   // study window
inline const QString HelpPageStats = QStringLiteral("h8.html");   // statistics window

// Topic of a reference code: "p10.1" -> "pdd10.html#p10.1", "l1.1" -> "raz1.html#r1.1";
// empty for a code whose kind letter is not p, z, r or l.
QString TopicFromCode(QStringView code);
inline QString TopicFromCode(const QString& code) {
    return TopicFromCode(QStringView(code));
}

// Reference code of a link caption: "Знак 3.20" -> "z3.20", "Пункт 5.1" -> "p5.1",
// "Разметка 1.1" -> "l1.1"; any other caption is its own code.
QString CodeFromCaption(const QString& caption);

// "biltor.chm::/<page>>main": a page in the full help window.
QString HelpRequestMain(const QString& page);
// "biltor.chm::/<topic>>popup": one rule in a small popup window.
QString HelpRequestPopup(const QString& topic);

} // namespace bil
