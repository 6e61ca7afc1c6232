// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_dataset.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace bil::test {

namespace {

QString Hex(const QString& seed) {
    return QString::fromLatin1(
        QCryptographicHash::hash(seed.toUtf8(), QCryptographicHash::Md5).toHex());
}

QJsonObject Sign(const QString& number, const QString& title, const QString& image,
                 const QString& description) {
    QJsonObject sign{{"number", number}, {"image", image}, {"description", description}};
    if (!title.isNull())
        sign.insert("title", title);
    return sign;
}

QJsonObject Question(int ticket, int position, const QString& text, const QString& comment) {
    QJsonArray answers{QJsonObject{{"answer_text", "Да"}, {"is_correct", true}},
                       QJsonObject{{"answer_text", "Нет"}, {"is_correct", false}}};
    return QJsonObject{{"title", QStringLiteral("Вопрос %1").arg(position)},
                       {"ticket_number", QStringLiteral("Билет %1").arg(ticket)},
                       {"ticket_category", "A,B"},
                       {"image", "./images/no_image.jpg"},
                       {"question", text},
                       {"answers", answers},
                       {"correct_answer", "Правильный ответ: 1"},
                       {"answer_tip", comment},
                       {"topic", QJsonArray{"Общие положения"}},
                       {"id", Hex(text + comment)}};
}

QByteArray Json(const QJsonValue& value) {
    return value.isArray() ? QJsonDocument(value.toArray()).toJson()
                           : QJsonDocument(value.toObject()).toJson();
}

// Writes the picture of a sign or marking and returns the path the JSON names it by.
QString Picture(const QString& root, const QString& kind, const QString& seed,
                const QString& colour) {
    const QString name = Hex(seed) + QStringLiteral(".svg");
    WriteDataFile(root + QStringLiteral("/images/%1/%2").arg(kind, name), SignSvg(colour));
    return QStringLiteral("./images/%1/%2").arg(kind, name);
}

} // namespace

QByteArray SignSvg(const QString& colour) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\" "
                          "viewBox=\"0 0 100 100\">\n"
                          "<rect x=\"0\" y=\"0\" width=\"100\" height=\"100\" fill=\"%1\"/>\n"
                          "<circle cx=\"50\" cy=\"50\" r=\"30\" fill=\"%1\" stroke=\"%1\"/>\n"
                          "</svg>\n")
        .arg(colour)
        .toUtf8();
}

void WriteDataFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void WriteHelpDataSet(const QString& root) {
    const QString red = QStringLiteral("#ff0000");
    QJsonObject warning{
        {"1.1", Sign("1.1", "Железнодорожный переезд со шлагбаумом",
                     Picture(root, "signs", "1.1", red), "Предупреждает о переезде.")},
        {"1.10", Sign("1.10", "Выезд на набережную", Picture(root, "signs", "1.10", red),
                      "Предупреждает о береге.")},
        {"1.2", Sign("1.2", "Железнодорожный переезд без шлагбаума",
                     Picture(root, "signs", "1.2", red), "Без шлагбаума.")},
    };
    QJsonObject forbidding{
        {"3.20", Sign("3.20", "Обгон запрещен", Picture(root, "signs", "3.20", "#0000ff"),
                      "Запрещается обгон всех транспортных средств.Разрешается:а) обгон "
                      "тихоходных транспортных средств;б) обгон гужевых повозок.Наказание за "
                      "нарушение требований знака:КоАП РФ 12.15 ч. 4 - штраф 5000 руб.КоАП РФ "
                      "12.15 ч. 5 - лишение права управления на 1 год.")},
    };
    QJsonObject special{
        // The key alone names the sign.
        {"5.19.1", QJsonObject{{"title", "Пешеходный переход"},
                               {"image", Picture(root, "signs", "5.19.1", red)},
                               {"description", "Обозначает переход."}}},
    };
    QJsonObject service{
        {"7.1", Sign("7.1", "Пункт медицинской помощи",
                     "./images/signs/0123456789abcdef0123456789abcdef.svg", "Помощь рядом.")},
    };
    QJsonObject plates{
        {"8.2.1", Sign("8.2.1", TrickyTitle, Picture(root, "signs", "8.2.1", red),
                       "Указывает <протяжённость> опасного участка & зону.")},
    };
    const QJsonObject signs{{"Предупреждающие знаки", warning},
                            {"Запрещающие знаки", forbidding},
                            {"Знаки особых предписаний", special},
                            {"Знаки сервиса", service},
                            {"Знаки дополнительной информации (таблички)", plates}};
    WriteDataFile(root + "/signs/signs.json", Json(signs));

    const QString green = QStringLiteral("#00ff00");
    const QJsonObject markup{
        {"Горизонтальная разметка",
         QJsonObject{{"1.1", Sign("1.1", QString(), Picture(root, "markup", "1.1", green),
                                  "Разделяет потоки противоположных направлений.")},
                     {"1.14.1", Sign("1.14.1", QString(), Picture(root, "markup", "1.14.1", green),
                                     "Обозначает пешеходный переход.")},
                     {"1.2", Sign("1.2", QString(), Picture(root, "markup", "1.2", green),
                                  "Обозначает край проезжей части.")}}},
        {"Вертикальная разметка",
         QJsonObject{{"2.1", Sign("2.1", QString(), Picture(root, "markup", "2.1", green),
                                  "Обозначает элементы дорожных сооружений.")}}},
    };
    WriteDataFile(root + "/markup/markup.json", Json(markup));

    QByteArray fines;
    for (const auto& [article, text, penalty] :
         {std::tuple{"12.9 ч. 2", "Превышение скорости на 20–40 км/ч", "Штраф 500 руб."},
          std::tuple{"12.15 ч. 4", "Выезд на полосу встречного движения", "Штраф 5000 руб."},
          std::tuple{"12.16 ч. 1", "Несоблюдение требований знаков", "Предупреждение"}}) {
        fines += QJsonDocument(
                     QJsonObject{{"article_part", article}, {"text", text}, {"penalty", penalty}})
                     .toJson(QJsonDocument::Compact) +
                 "\n";
        if (fines.count('\n') == 1)
            fines += "\n";
    }
    WriteDataFile(root + "/penalties/penalties.json", fines);

    const QJsonArray ab{
        Question(1, 1, "Можно ли <обогнать> грузовик?", CommentCiting910),
        Question(1, 2, "С какой скоростью ехать?",
                 "Пункт 10.1 ПДД и разметка 1.1: скорость не выше установленной."),
        Question(1, 3, "Что нужно иметь при себе?", "Согласно п. 2.1.1 ПДД документы."),
        Question(1, 4, "Что означает знак?", "Знак 4.1 и разметка 1.14.1 ПДД."),
    };
    WriteDataFile(root + "/questions/A_B/tickets/Билет 1.json", Json(ab));
    const QJsonArray cd{
        Question(1, 1, "Можно ли <обогнать> грузовик?", CommentCiting910),
        Question(1, 5, "Какую дистанцию держать?", "Дистанция (п. 9.10 ПДД) зависит от скорости."),
    };
    WriteDataFile(root + "/questions/C_D/tickets/Билет 1.json", Json(cd));
}

void WriteTicketComments(const QString& root, const QString& set, int ticket,
                         const QStringList& comments) {
    QJsonArray questions;
    for (qsizetype k = 0; k < comments.size(); ++k)
        questions.append(
            Question(ticket, int(k + 1), QStringLiteral("Вопрос о %1?").arg(k + 1), comments[k]));
    WriteDataFile(root + QStringLiteral("/questions/%1/tickets/Билет %2.json").arg(set).arg(ticket),
                  Json(questions));
}

QByteArray RulesFixture() {
    return QStringLiteral("Решение об учебных правилах\n"
                          "1. Принять прилагаемые учебные правила.\n"
                          "2. Прежние учебные правила больше не применять.\n"
                          "Учебные правила движения\n"
                          "1. Общие положения\n"
                          "1.1. Эти правила задают единый порядок движения в примере.\n"
                          "1.2. В правилах используются такие понятия:\n"
                          "«Дорога» — полоса, приспособленная для движения.\n"
                          "(в ред. изменений учебного примера)\n"
                          "2. Общие обязанности водителей\n"
                          "2.1.1. Водитель держит при себе документы примера.\n"
                          "9. Расположение на проезжей части\n"
                          "9.10. Водитель держит дистанцию до идущего впереди.\n"
                          "а) боковой интервал тоже соблюдается;\n"
                          "10. Скорость движения\n"
                          "10.1. Водитель едет не быстрее установленного.\n"
                          "Приложение 1\n"
                          "1.1 «Переезд со шлагбаумом»\n")
        .toUtf8();
}

void WriteGeneratedHelpDataSet(const QString& root, const HelpDataSetSize& size) {
    static const char* const groupNames[] = {"Предупреждающие знаки",
                                             "Знаки приоритета",
                                             "Запрещающие знаки",
                                             "Предписывающие знаки",
                                             "Знаки особых предписаний",
                                             "Информационные знаки",
                                             "Знаки сервиса",
                                             "Знаки дополнительной информации (таблички)"};
    const QString description =
        QStringLiteral("Знак устанавливается перед участком дороги, на котором действуют особые "
                       "условия движения, и сообщает водителю о них заранее.Запрещается:а) "
                       "стоянка транспортных средств;б) остановка на проезжей части;в) разворот "
                       "в зоне действия знака.Наказание за нарушение требований знака:КоАП РФ "
                       "12.16 ч. 1 - предупреждение или административный штраф в размере 500 "
                       "рублей.КоАП РФ 12.16 ч. 4 - административный штраф в размере 3000 "
                       "рублей.");
    const QByteArray svg = SignSvg(QStringLiteral("#c00000")).repeated(1); // about 300 bytes
    QJsonObject groups[8];
    for (int i = 0; i < size.Signs; ++i) {
        const int chapter = i % 8 + 1;
        const QString number = QStringLiteral("%1.%2").arg(chapter).arg(i / 8 + 1) +
                               (i % 5 == 0 ? QStringLiteral(".1") : QString());
        const QString name = Hex(QStringLiteral("sign ") + number) + QStringLiteral(".svg");
        if (i >= size.MissingPictures)
            WriteDataFile(root + "/images/signs/" + name, svg);
        groups[chapter - 1].insert(number, Sign(number, QStringLiteral("Знак номер %1").arg(number),
                                                "./images/signs/" + name, description));
    }
    QJsonObject signs;
    for (int g = 0; g < 8; ++g)
        signs.insert(QString::fromUtf8(groupNames[g]), groups[g]);
    WriteDataFile(root + "/signs/signs.json", Json(signs));

    QJsonObject horizontal;
    QJsonObject vertical;
    for (int i = 0; i < size.Markings; ++i) {
        const bool isVertical = i >= size.Markings * 5 / 6;
        const QString number = QStringLiteral("%1.%2").arg(isVertical ? 2 : 1).arg(i + 1);
        const QString name = Hex(QStringLiteral("marking ") + number) + QStringLiteral(".svg");
        WriteDataFile(root + "/images/markup/" + name, svg);
        (isVertical ? vertical : horizontal)
            .insert(number, Sign(number, QString(), "./images/markup/" + name, description));
    }
    WriteDataFile(root + "/markup/markup.json",
                  Json(QJsonObject{{"Горизонтальная разметка", horizontal},
                                   {"Вертикальная разметка", vertical}}));

    QByteArray fines;
    for (int i = 0; i < size.Fines; ++i)
        fines += QJsonDocument(
                     QJsonObject{{"article_part",
                                  QStringLiteral("12.%1 ч. %2").arg(i / 4 + 1).arg(i % 4 + 1)},
                                 {"text", "Нарушение правил остановки или стоянки транспортных "
                                          "средств в местах, где это запрещено"},
                                 {"penalty", "Административный штраф в размере 1500 рублей"}})
                     .toJson(QJsonDocument::Compact) +
                 "\n";
    WriteDataFile(root + "/penalties/penalties.json", fines);

    for (const QString& set : {QStringLiteral("A_B"), QStringLiteral("C_D")}) {
        for (int ticket = 1; ticket <= 40; ++ticket) {
            QJsonArray questions;
            for (int position = 1; position <= 20; ++position) {
                const int n = (ticket - 1) * 20 + position;
                const QString comment =
                    QStringLiteral("В этой ситуации водитель должен руководствоваться п. %1.%2 "
                                   "ПДД, а также требованиями знака %3.%4 и разметки 1.%5, "
                                   "поэтому правильный ответ — первый. Обратите внимание на "
                                   "расположение транспортных средств и на то, кто из них "
                                   "обязан уступить дорогу.")
                        .arg(n % 24 + 1)
                        .arg(n % 13 + 1)
                        .arg(n % 8 + 1)
                        .arg(n % 30 + 1)
                        .arg(n % 30 + 1);
                questions.append(Question(
                    ticket, position,
                    QStringLiteral("Вопрос %1 набора %2: в каком случае водитель может продолжить "
                                   "движение через перекрёсток, если светофор мигает жёлтым?")
                        .arg(n)
                        .arg(set),
                    comment));
            }
            WriteDataFile(
                root + QStringLiteral("/questions/%1/tickets/Билет %2.json").arg(set).arg(ticket),
                Json(questions));
        }
    }
}

} // namespace bil::test
