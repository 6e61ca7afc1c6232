// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/cp1251.h"

#include <gtest/gtest.h>

using namespace bil;

TEST(Cp1251, EveryByteDecodesAndDefinedOnesRoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = DecodeCp1251(all);
    ASSERT_EQ(text.size(), 256); // nothing dropped, not even after the undefined byte
    EXPECT_EQ(text.at(0), QChar(0));
    EXPECT_EQ(text.at(0x41), QLatin1Char('A'));
    EXPECT_EQ(text.at(0xC0), QChar(0x0410)); // А
    EXPECT_EQ(text.at(0xFF), QChar(0x044F)); // я
    EXPECT_EQ(text.at(0xA8), QChar(0x0401)); // Ё
    EXPECT_EQ(text.at(0xB9), QChar(0x2116)); // №
    EXPECT_EQ(text.at(0x98), QChar(0xFFFD)); // undefined in cp1251

    QString defined = text;
    defined.remove(QChar(0xFFFD));
    Result<QByteArray> back = EncodeCp1251(defined);
    ASSERT_TRUE(back.ok()) << back.error().toStdString();
    QByteArray expected = all;
    expected.remove(0x98, 1);
    EXPECT_EQ(*back, expected);
}

TEST(Cp1251, UnencodableCharactersFailOrBecomeQuestionMarks) {
    const QString text = QStringLiteral("Знак 😀 и ✓ конец");
    Result<QByteArray> strict = EncodeCp1251(text);
    ASSERT_FALSE(strict.ok());
    EXPECT_TRUE(strict.error().contains(QStringLiteral("U+1F600")));
    Result<QByteArray> replaced = EncodeCp1251(text, true);
    ASSERT_TRUE(replaced.ok());
    EXPECT_EQ(DecodeCp1251(*replaced), QStringLiteral("Знак ? и ? конец"));
    // A lone surrogate is one unencodable character, not the end of the text.
    QString lone = QStringLiteral("a");
    lone.append(QChar(0xD800));
    lone.append(QLatin1Char('b'));
    EXPECT_FALSE(EncodeCp1251(lone).ok());
    EXPECT_EQ(*EncodeCp1251(lone, true), QByteArray("a?b"));
    EXPECT_EQ(*EncodeCp1251(QString()), QByteArray());
}
