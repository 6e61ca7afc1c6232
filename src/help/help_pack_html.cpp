// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_pack_html.h"

#include "help/help_pack_read.h"

namespace bil {

namespace {

QString Esc(const QString& text) {
    return text.toHtmlEscaped();
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The highlight of a cited number; an inline style, since popups show entries without the page.
const QString MarkOpen = QStringLiteral("<span style=\"background-color:#ffe58a\">");
const QString MarkClose = QStringLiteral("</span>");

} // namespace

const QString PackStyleSheet =
    QStringLiteral("body { font-family: sans-serif; }\n"
                   "h2 { margin-bottom: 6px; }\n"
                   "h3 { margin-top: 16px; margin-bottom: 6px; }\n"
                   "p.lead { font-weight: bold; margin-bottom: 2px; }\n"
                   "p.where { color: #505050; margin-top: 10px; margin-bottom: 2px; }\n"
                   "p.comment { color: #303030; margin-left: 12px; }\n"
                   "p.rule { margin-top: 4px; }\n"
                   "p.note { color: #707070; font-style: italic; }\n"
                   "p.source { color: #505050; font-size: small; }\n");

QString PackPage(const QString& title, const QString& body) {
    return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                          "<title>%1</title>\n<style>\n%2</style>\n</head>\n<body>\n<h2>%1</h2>\n"
                          "%3<p><a href=\"%4\">Содержание справки</a></p>\n</body>\n</html>\n")
        .arg(Esc(title), PackStyleSheet, body, PackContentsPage);
}

QString DescriptionHtml(const QString& description) {
    QString html;
    bool inList = false;
    for (const TextBlock& block : SplitDescription(description)) {
        const bool item = block.kind == TextBlock::Kind::ListItem;
        if (item != inList) {
            html += item ? QStringLiteral("<ul style=\"list-style-type:none\">\n")
                         : QStringLiteral("</ul>\n");
            inList = item;
        }
        switch (block.kind) {
        case TextBlock::Kind::ListItem:
            html += QStringLiteral("<li>%1</li>\n").arg(Esc(block.text));
            break;
        case TextBlock::Kind::Heading:
            html += QStringLiteral("<p class=\"lead\">%1</p>\n").arg(Esc(block.text));
            break;
        case TextBlock::Kind::Paragraph:
            html += QStringLiteral("<p>%1</p>\n").arg(Esc(block.text));
            break;
        }
    }
    if (inList)
        html += QStringLiteral("</ul>\n");
    return html;
}

QString HighlightNumber(const QString& text, const QString& number) {
    if (number.isEmpty())
        return Esc(text);
    QString html;
    qsizetype from = 0;
    qsizetype at = 0;
    while ((at = text.indexOf(number, at)) >= 0) {
        const qsizetype end = at + number.size();
        const bool before = at > 0 && (IsDigit(text[at - 1]) ||
                                       (text[at - 1] == u'.' && at > 1 && IsDigit(text[at - 2])));
        const bool after = end < text.size() &&
                           (IsDigit(text[end]) ||
                            (text[end] == u'.' && end + 1 < text.size() && IsDigit(text[end + 1])));
        if (before || after) {
            at = end;
            continue;
        }
        html += Esc(text.mid(from, at - from)) + MarkOpen + Esc(number) + MarkClose;
        from = at = end;
    }
    return html + Esc(text.mid(from));
}

QString SignEntryHtml(const QString& anchor, const QString& heading, const PackPicture* picture,
                      const QString& description) {
    QString html = EntryStart(anchor);
    html += QStringLiteral("\n<h3><a name=\"%1\"></a>%2</h3>\n").arg(anchor, Esc(heading));
    if (picture) {
        QString size;
        if (picture->Width > 0 && picture->Height > 0)
            size = QStringLiteral(" width=\"%1\" height=\"%2\"")
                       .arg(picture->Width)
                       .arg(picture->Height);
        html += QStringLiteral("<p><img src=\"%1\"%2 alt=\"%3\"></p>\n")
                    .arg(picture->Path, size, Esc(heading));
    }
    html += DescriptionHtml(description);
    return html + EntryEnd + u'\n';
}

QString RuleItemHtml(const QString& anchor, const QString& number, const RuleItem* rule,
                     const std::vector<CitingQuestion>& questions) {
    QString html = EntryStart(anchor);
    html += QStringLiteral("\n<h3><a name=\"%1\"></a>Пункт %2</h3>\n").arg(anchor, Esc(number));
    if (rule) {
        for (const QString& paragraph : rule->Paragraphs)
            html += QStringLiteral("<p class=\"rule\">%1</p>\n").arg(Esc(paragraph));
    } else {
        html += QStringLiteral("<p class=\"note\">Текст правил не загружен: его можно добавить при "
                               "загрузке билетов ПДД (файл «Текст ПДД…»).</p>\n");
    }
    if (!questions.empty()) {
        html += QStringLiteral("<p class=\"lead\">Вопросы билетов со ссылкой на этот пункт: "
                               "%1</p>\n")
                    .arg(questions.size());
        for (const CitingQuestion& q : questions) {
            html += QStringLiteral("<p class=\"where\"><b>%1</b></p>\n")
                        .arg(Esc(q.Places.join(QStringLiteral("; "))));
            html += QStringLiteral("<p>%1</p>\n").arg(Esc(q.Text));
            html += QStringLiteral("<p class=\"comment\">%1</p>\n")
                        .arg(HighlightNumber(q.Comment, number));
        }
    }
    return html + EntryEnd + u'\n';
}

QString FineEntryHtml(const QString& anchor, const Fine& fine) {
    QString html = EntryStart(anchor);
    html += QStringLiteral("\n<h3><a name=\"%1\"></a>КоАП РФ, статья %2</h3>\n")
                .arg(anchor, Esc(fine.ArticlePart));
    if (!fine.Text.isEmpty())
        html += QStringLiteral("<p>%1</p>\n").arg(Esc(fine.Text));
    if (!fine.Penalty.isEmpty())
        html += QStringLiteral("<p><b>Наказание:</b> %1</p>\n").arg(Esc(fine.Penalty));
    return html + EntryEnd + u'\n';
}

} // namespace bil
