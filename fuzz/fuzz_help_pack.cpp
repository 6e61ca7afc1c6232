// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes through the readers of the help material: the first byte picks the reader (signs or
// markings, fines, a ticket file, the pack's contents, a rules text, a description), the rest is
// its input. Readers either fail with a message or give values the pages can be built from; the
// HTML built from the input never carries a tag of its own.

#include "fuzz_common.h"
#include "help/help_pack_html.h"
#include "help/help_pack_read.h"
#include "help/help_pack_sources.h"

using namespace bil;

namespace {

// The HTML without the tags the builder writes itself holds no '<' from the input.
bool OnlyOwnTags(QString html) {
    for (const char* tag :
         {"<p class=\"lead\">", "<p>", "</p>", "<ul style=\"list-style-type:none\">", "</ul>",
          "<li>", "</li>", "<span style=\"background-color:#ffe58a\">", "</span>"})
        html.remove(QString::fromLatin1(tag));
    return !html.contains(u'<');
}

void CheckNodes(const std::vector<PackNode>& nodes, int depth) {
    FUZZ_CHECK(depth <= 4);
    for (const PackNode& node : nodes) {
        FUZZ_CHECK(!node.Title.isEmpty());
        FUZZ_CHECK(node.Topic.isEmpty() || SplitPackTopic(node.Topic).has_value());
        FUZZ_CHECK(node.Picture.isEmpty() || IsSafePackPath(node.Picture));
        CheckNodes(node.Children, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 6) {
    case 0: {
        const Result<SignCatalogue> read = ReadSignCatalogue(input);
        if (!read) {
            FUZZ_CHECK(!read.error().isEmpty());
            break;
        }
        for (const SignGroup& group : read->Groups) {
            FUZZ_CHECK(!group.Entries.empty());
            for (size_t i = 0; i < group.Entries.size(); ++i) {
                FUZZ_CHECK(IsDottedNumber(group.Entries[i].Number));
                FUZZ_CHECK(i == 0 ||
                           !DottedLess(group.Entries[i].Number, group.Entries[i - 1].Number));
                FUZZ_CHECK(OnlyOwnTags(DescriptionHtml(group.Entries[i].Description)));
            }
        }
        break;
    }
    case 1: {
        const Result<std::vector<Fine>> read = ReadFines(input);
        if (!read)
            FUZZ_CHECK(read.error().startsWith(QStringLiteral("строка ")));
        else
            for (const Fine& fine : *read)
                FUZZ_CHECK(!fine.ArticlePart.isEmpty());
        break;
    }
    case 2: {
        const Result<std::vector<TicketQuestion>> read = ReadTicketQuestions(input);
        if (read)
            for (const TicketQuestion& q : *read) {
                FUZZ_CHECK(q.Ticket >= 1 && q.Ticket <= 40 && q.Position >= 1 && q.Position <= 20);
                FUZZ_CHECK(!q.Comment.contains(u'\n') && !q.Text.contains(u'\n'));
            }
        break;
    }
    case 3: {
        const Result<PackContents> read = ReadPackContents(input);
        if (read)
            CheckNodes(read->Nodes, 1);
        const QString page = QString::fromUtf8(input);
        for (const char* anchor : {"z3.20", "p9.10", "a"}) {
            const auto entry = ExtractEntry(page, QString::fromLatin1(anchor));
            FUZZ_CHECK(!entry || !entry->contains(EntryEnd));
        }
        break;
    }
    case 4: {
        const RulesText rules = SplitRulesText(TextParagraphs(input));
        for (const RuleItem& item : rules.Items) {
            FUZZ_CHECK(IsDottedNumber(item.Number));
            FUZZ_CHECK(!item.Paragraphs.isEmpty() && item.Paragraphs[0].startsWith(item.Number));
        }
        break;
    }
    default: {
        const QString text = QString::fromUtf8(input);
        for (const TextBlock& block : SplitDescription(text))
            FUZZ_CHECK(!block.text.isEmpty() && block.text == block.text.simplified());
        FUZZ_CHECK(OnlyOwnTags(DescriptionHtml(text)));
        FUZZ_CHECK(OnlyOwnTags(HighlightNumber(text, QStringLiteral("9.1"))));
        break;
    }
    }
    return 0;
}
