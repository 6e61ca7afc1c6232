// SPDX-License-Identifier: GPL-3.0-or-later
// Any comment text (cp1251 bytes, as stored) through the help-link builder: at most nine links,
// captions and topics of at most 20 characters, topics the help request builder accepts.

#include "data/cp1251.h"
#include "data/themes.h"
#include "fuzz_common.h"
#include "help/help_topics.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString comment = DecodeCp1251(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::vector<HelpLink> links = BuildHelpLinks(comment);
    FUZZ_CHECK(links.size() <= size_t(MaxHelpLinks));
    for (const HelpLink& link : links) {
        FUZZ_CHECK(!link.LinkCaption.isEmpty());
        FUZZ_CHECK(link.LinkCaption.size() <= 20);
        FUZZ_CHECK(link.LinkTopic.size() <= 20);
        (void)HelpRequestPopup(link.LinkTopic);
        (void)CodeFromCaption(link.LinkCaption);
    }
    // The same comment read as Unicode text (what a database in another code page would give).
    if (size >= 2) {
        const QString wide =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
        FUZZ_CHECK(BuildHelpLinks(wide).size() <= size_t(MaxHelpLinks));
        (void)TopicFromCode(wide);
        (void)CodeFromCaption(wide);
    }
    return 0;
}
