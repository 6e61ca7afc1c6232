// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/help_browser.h"

#include "help/help_pack_html.h"
#include "help/help_pack_read.h"
#include "help/help_request.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace bil {

namespace {

// Links written for the help engine of the original platform ("ms-its:biltor.chm::/a.html")
// point into the same file.
QUrl MapChmLink(const QUrl& url) {
    if (url.scheme() == ChmScheme || url.isRelative())
        return url;
    const QString text = url.toString();
    const qsizetype at = text.indexOf(QStringLiteral("::/"));
    if (at < 0)
        return url;
    return QUrl(ChmScheme + QStringLiteral("://") + text.mid(at + 2));
}

bool IsTextResource(int type) {
    return type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource;
}

bool IsOwnScheme(const QUrl& url) {
    return url.scheme() == ChmScheme || url.scheme() == PackScheme ||
           url.scheme() == QStringLiteral("qrc");
}

bool LooksLikeSvg(const QByteArray& bytes) {
    const QByteArray head = bytes.left(1024);
    return head.contains("<svg") || head.contains(":svg");
}

QUrl WithAnchor(QUrl url, const QString& anchor) {
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

} // namespace

const OwnPage OwnPages[3] = {{QStringLiteral("index.html"), QStringLiteral("Главное окно")},
                             {QStringLiteral("h2.html"), QStringLiteral("Окно обучения")},
                             {QStringLiteral("h8.html"), QStringLiteral("Статистика")}};

QUrl OwnPageUrl(const QString& page) {
    for (const OwnPage& own : OwnPages)
        if (page.compare(own.File, Qt::CaseInsensitive) == 0)
            return QUrl(OwnPagesRoot + own.File);
    return QUrl(OwnPagesRoot + OwnPages[0].File);
}

QUrl ChmUrl(const QString& page, const QString& anchor) {
    return WithAnchor(QUrl(ChmScheme + QStringLiteral(":///") + page), anchor);
}

QUrl PackUrl(const QString& page, const QString& anchor) {
    return WithAnchor(QUrl(PackScheme + QStringLiteral(":///") + page), anchor);
}

QVariant HelpPicture(const QByteArray& bytes, int longSide) {
    if (!LooksLikeSvg(bytes))
        return bytes;
    QSvgRenderer renderer(bytes);
    if (!renderer.isValid())
        return {};
    QSizeF size = renderer.defaultSize();
    if (size.isEmpty())
        size = renderer.viewBoxF().size();
    if (size.isEmpty())
        size = QSizeF(longSide, longSide);
    const double scale = longSide / std::max(size.width(), size.height());
    QImage image(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), image.size()));
    painter.end();
    return image;
}

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(false);
    setOpenLinks(true);
    document()->setDefaultStyleSheet(PackStyleSheet);
}

void HelpBrowser::showHtml(const QString& html, const QUrl& base) {
    m_base = base;
    clearHistory();
    document()->setBaseUrl(base);
    setHtml(html);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl base = source().isEmpty() ? m_base : source();
    const QUrl url = MapChmLink(name.isRelative() ? base.resolved(name) : name);
    std::optional<QByteArray> bytes;
    if (url.scheme() == ChmScheme) {
        if (m_file)
            bytes = m_file->read(url.path());
    } else if (url.scheme() == PackScheme) {
        QString path = url.path();
        while (path.startsWith(u'/'))
            path.remove(0, 1);
        bytes = ReadPackFile(m_packFolder, path);
    } else if (url.scheme() == QStringLiteral("qrc")) {
        QFile file(QLatin1Char(':') + url.path());
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    // Anything else, remote images above all, is not fetched.
    if (!bytes)
        return {};
    if (IsTextResource(type))
        return DecodeHelpPage(*bytes);
    if (type == QTextDocument::ImageResource)
        return HelpPicture(*bytes);
    return *bytes;
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QUrl base = source().isEmpty() ? m_base : source();
    QUrl url = MapChmLink(name);
    if (url.isRelative() && !base.isEmpty() && !(url.path().isEmpty() && url.hasFragment()))
        url = base.resolved(url);
    if (!url.isRelative() && !IsOwnScheme(url)) {
        if (m_openUrl)
            m_openUrl(url);
        return;
    }
    m_base = QUrl();
    QTextBrowser::doSetSource(url, type);
}

} // namespace bil
