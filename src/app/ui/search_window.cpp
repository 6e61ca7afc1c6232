// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/search_window.h"

#include "data/themes.h"
#include "ui/measure_text.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

namespace bil {

namespace {

constexpr int ResultPadding = 4;
constexpr int ResultLines = 3; // the heading and two lines of the question

// Draws a result's rich text; every row has the same height, so thousands of rows lay out at
// once and longer questions are cut at the row's end (the tooltip holds the whole text).
class ResultDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        QTextDocument doc;
        doc.setDefaultFont(opt.font);
        doc.setDocumentMargin(ResultPadding);
        doc.setHtml(index.data(SearchWindow::HtmlRole).toString());
        doc.setTextWidth(opt.rect.width());
        painter->save();
        painter->translate(opt.rect.topLeft());
        painter->setClipRect(QRect(QPoint(0, 0), opt.rect.size()));
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette = opt.palette;
        if (opt.state & QStyle::State_Selected)
            ctx.palette.setColor(QPalette::Text, opt.palette.color(QPalette::HighlightedText));
        doc.documentLayout()->draw(painter, ctx);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QFontMetrics fm(option.font);
        return {200, fm.lineSpacing() * ResultLines + 2 * ResultPadding + 2};
    }
};

} // namespace

QString SearchResultHtml(int number, const QString& themeName, const QString& text,
                         const std::vector<TextRange>& highlights) {
    QString html =
        QStringLiteral("<b>Билет %1, вопрос %2</b>").arg(TicketOf(number)).arg(PositionOf(number));
    if (!themeName.isEmpty())
        html += QStringLiteral(" &nbsp;<i>") + themeName.toHtmlEscaped() + QStringLiteral("</i>");
    html += QStringLiteral("<br>");
    int at = 0;
    for (const TextRange& r : highlights) {
        if (r.Start < at || r.Start + r.Length > text.size())
            continue;
        html += text.mid(at, r.Start - at).toHtmlEscaped();
        html += QStringLiteral("<span style=\"background-color:#ffd54f; color:black\">") +
                text.mid(r.Start, r.Length).toHtmlEscaped() + QStringLiteral("</span>");
        at = r.Start + r.Length;
    }
    html += text.mid(at).toHtmlEscaped();
    return html;
}

SearchWindow::SearchWindow(AppState& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("Поиск вопросов"));
    resize(680, 520);
    setFont(PixelFont(QStringLiteral("Liberation Sans"), 13));

    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(
        QStringLiteral(
            "Слова из вопроса, ответов или комментария (все, в любом порядке и любой форме):"),
        this);
    layout->addWidget(prompt);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setClearButtonEnabled(true);
    Edit1->setPlaceholderText(QStringLiteral("например: обгон перекресток"));
    Edit1->installEventFilter(this);
    layout->addWidget(Edit1);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(Label1);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setWordWrap(true);
    ListBox1->setItemDelegate(new ResultDelegate(ListBox1));
    ListBox1->setAlternatingRowColors(true);
    ListBox1->installEventFilter(this);
    layout->addWidget(ListBox1, 1);
    auto* hint = new QLabel(
        QStringLiteral("Enter или двойной щелчок — обучение по найденным вопросам."), this);
    layout->addWidget(hint);

    connect(Edit1, &QLineEdit::textChanged, this, &SearchWindow::runQuery);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { startLearning(ListBox1->row(item)); });
    runQuery(QString());
}

void SearchWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The texts of a database opened or imported since the last search are read now.
    if (!SearchWords(Edit1->text()).isEmpty() && !m_app.Search.upToDate(m_app.Db))
        runQuery(Edit1->text());
    Edit1->setFocus();
    Edit1->selectAll();
}

void SearchWindow::runQuery(const QString& query) {
    m_query = query;
    const bool empty = SearchWords(query).isEmpty();
    m_hits.clear();
    // An empty field needs no index: the window opens without waiting for it.
    if (!empty) {
        m_app.Search.ensureBuilt(m_app.Db);
        m_hits = m_app.Search.find(query);
    }
    ListBox1->setUpdatesEnabled(false);
    ListBox1->clear();
    for (const SearchHit& hit : m_hits) {
        const QString& text = m_app.Search.questionText(hit.Number);
        auto* item = new QListWidgetItem(ListBox1);
        item->setData(NumberRole, hit.Number);
        item->setData(HtmlRole,
                      SearchResultHtml(hit.Number, ThemeNames(m_app.Themes.theme(hit.Number)), text,
                                       hit.Highlights));
        item->setToolTip(text);
    }
    ListBox1->setUpdatesEnabled(true);
    if (!m_hits.empty())
        ListBox1->setCurrentRow(0);
    if (empty)
        Label1->setText(QString());
    else if (m_hits.empty())
        Label1->setText(QStringLiteral("Ничего не найдено."));
    else
        Label1->setText(QStringLiteral("Найдено вопросов: %1").arg(m_hits.size()));
}

void SearchWindow::startLearning(int row) {
    if (m_hits.empty() || row < 0 || row >= int(m_hits.size()))
        return;
    std::vector<int> numbers;
    numbers.reserve(m_hits.size());
    for (const SearchHit& hit : m_hits)
        numbers.push_back(hit.Number);
    if (m_launchStudy)
        m_launchStudy(RunRequest::searchResults(std::move(numbers), m_query.simplified(), row));
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const int k = key->key();
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
        startLearning(std::max(ListBox1->currentRow(), 0));
        return true;
    }
    // The arrows walk the results while the typing goes on in the field.
    if (watched == Edit1 &&
        (k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_PageUp || k == Qt::Key_PageDown)) {
        QCoreApplication::sendEvent(ListBox1, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace bil
