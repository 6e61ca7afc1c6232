// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "help/ui/chm_file.h"

#include <QTextBrowser>
#include <QUrl>

#include <functional>
#include <memory>

namespace bil {

// Opens a web address outside the program (the user's browser); tests record the calls.
using UrlOpener = std::function<void(const QUrl&)>;

// Scheme of the pages read from the help file: "chm:///pdd5.html#p5.1".
inline const QString ChmScheme = QStringLiteral("chm");
// Scheme of the help pack's pages: "pack:///zn3.html#z3.20".
inline const QString PackScheme = QStringLiteral("pack");
// Folder of the program's own help pages among the Qt resources.
inline const QString OwnPagesRoot = QStringLiteral("qrc:/help/pages/");

// The program's own pages, shown when no other help has the page asked for; the first is the
// home page.
struct OwnPage {
    QString File;
    QString Title; // in the help window's contents
};
extern const OwnPage OwnPages[3];
// The own page standing in for `page`: the page of the same name, else the home page.
QUrl OwnPageUrl(const QString& page);

// Address of a page of the help file or of the pack.
QUrl ChmUrl(const QString& page, const QString& anchor = {});
QUrl PackUrl(const QString& page, const QString& anchor = {});

// A picture for the page: SVG drawn through Qt SVG at up to `longSide` pixels on its longer
// side; other formats as their bytes. Nothing for an SVG that cannot be drawn.
QVariant HelpPicture(const QByteArray& bytes, int longSide = 240);

// Shows pages of the help file (chm:), of the help pack (pack:) and the program's own pages
// (qrc:); fetches nothing from the network or elsewhere on disk, hands external links to the
// opener when clicked.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void setFile(std::shared_ptr<ChmFile> file) { m_file = std::move(file); }
    const std::shared_ptr<ChmFile>& file() const { return m_file; }
    void setPackFolder(const QString& folder) { m_packFolder = folder; }
    const QString& packFolder() const { return m_packFolder; }
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    // Shows `html` as if it were read from `base`: its pictures and links resolve there.
    void showHtml(const QString& html, const QUrl& base);
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    std::shared_ptr<ChmFile> m_file;
    QString m_packFolder;
    QUrl m_base; // of text shown by showHtml
    UrlOpener m_openUrl;
};

} // namespace bil
