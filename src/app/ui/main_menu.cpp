// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/main_menu.h"

#include "app/settings.h"
#include "app/ui/main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace bil {

namespace {

QAction* AddCommand(TForm2& form, QMenu* menu, const char* name, const QString& caption,
                    void (TForm2::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    QObject::connect(action, &QAction::triggered, &form, handler);
    return action;
}

// A check mark of the settings: written to the store the moment it changes.
QAction* AddSettingItem(TForm2& form, QMenu* menu, const char* name, const QString& caption,
                        SettingItem item) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, &form,
                     [&form, item](bool checked) { form.SettingItemClick(item, checked); });
    return action;
}

QMenu* AddSubmenu(QMenu* menu, const char* name, const QString& caption) {
    QMenu* sub = menu->addMenu(caption);
    sub->setObjectName(QLatin1String(name));
    return sub;
}

} // namespace

void BuildSettingsMenu(TForm2& form) {
    form.PopupMenu1 = new QMenu(&form);
    QMenu* menu = form.PopupMenu1;
    menu->setObjectName(QStringLiteral("PopupMenu1"));

    form.N1 = AddSubmenu(menu, "N1", QStringLiteral("Время экзамена"));
    form.ExamTimeGroup = new QActionGroup(&form);
    form.ExamTimeGroup->setExclusive(true);
    static const char* const TimeNames[ExamTimeItemCount] = {"N11",  "N31",  "N51",
                                                             "N101", "N151", "N201"};
    const QString TimeCaptions[ExamTimeItemCount] = {
        QStringLiteral("1 минута"), QStringLiteral("3 минуты"), QStringLiteral("5 минут"),
        QStringLiteral("10 минут"), QStringLiteral("15 минут"), QStringLiteral("20 минут")};
    for (int k = 1; k <= ExamTimeItemCount; ++k) {
        QAction* action = form.N1->addAction(TimeCaptions[k - 1]);
        action->setObjectName(QLatin1String(TimeNames[k - 1]));
        action->setCheckable(true);
        form.ExamTimeGroup->addAction(action);
        QObject::connect(action, &QAction::triggered, &form,
                         [&form, k] { form.ExamTimeItemClick(k); });
        form.ExamTimeItems[k - 1] = action;
    }

    form.N8 = AddSubmenu(menu, "N8", QStringLiteral("В режиме тренировки"));
    form.N14 = AddSettingItem(form, form.N8, "N14",
                              QStringLiteral("Обозначать правильность ответов в конце теста"),
                              SettingItem::TrainingMarksAtEnd);
    form.N9 =
        AddSettingItem(form, form.N8, "N9", QStringLiteral("При ошибке показывать комментарий"),
                       SettingItem::TrainingCommentOnError);

    form.N2 = AddSubmenu(menu, "N2", QStringLiteral("В режиме обучения и подготовки"));
    form.N5 = AddSettingItem(form, form.N2, "N5", QStringLiteral("Показывать статинформер"),
                             SettingItem::ShowStatInformer);
    form.N6 = AddSettingItem(form, form.N2, "N6", QStringLiteral("Перемешать варианты ответов"),
                             SettingItem::ShuffleAnswers);
    form.N13 = AddSettingItem(form, form.N2, "N13", QStringLiteral("При ошибке показывать ответ"),
                              SettingItem::ShowAnswerOnError);
    form.N16 = AddSettingItem(form, form.N2, "N16", QStringLiteral("Всегда показывать комментарий"),
                              SettingItem::AlwaysShowComment);
    form.N15 = AddCommand(form, form.N2, "N15", QStringLiteral("Выбрать вопросы подготовки"),
                          &TForm2::N15Click);

    form.N10 = AddSubmenu(menu, "N10", QStringLiteral("Дополнительные настройки"));
    form.N12 = AddSettingItem(form, form.N10, "N12", QStringLiteral("Скрывать программу"),
                              SettingItem::HideOnFocusLoss);
    form.N17 = AddSettingItem(form, form.N10, "N17", QStringLiteral("Подтверждать выбор"),
                              SettingItem::ConfirmChoice);

    form.N23 = AddCommand(form, menu, "N23", QStringLiteral("Дата экзамена…"), &TForm2::N23Click);
    form.N24 = AddCommand(form, menu, "N24", QStringLiteral("Вопросов в день…"), &TForm2::N24Click);
    form.N3 = AddCommand(form, menu, "N3", QStringLiteral("Обнулить результаты и статистику"),
                         &TForm2::N3Click);
    form.N21 = AddCommand(form, menu, "N21", QStringLiteral("Сохранить прогресс в файл…"),
                          &TForm2::N21Click);
    form.N22 = AddCommand(form, menu, "N22", QStringLiteral("Восстановить прогресс из файла…"),
                          &TForm2::N22Click);
    form.N7 =
        AddCommand(form, menu, "N7", QStringLiteral("Выбрать базу вопросов"), &TForm2::N7Click);
    form.N18 =
        AddCommand(form, menu, "N18", QStringLiteral("Загрузить билеты ПДД…"), &TForm2::N18Click);
    form.N4 = AddCommand(form, menu, "N4", QStringLiteral("О программе"), &TForm2::N4Click);
}

void SyncSettingsMenu(TForm2& form, const Settings& s) {
    form.N5->setChecked(s.ShowStatInformer);
    form.N6->setChecked(s.ShuffleAnswers);
    form.N9->setChecked(s.TrainingCommentOnError);
    form.N12->setChecked(s.HideOnFocusLoss);
    form.N13->setChecked(s.ShowAnswerOnError);
    form.N14->setChecked(s.TrainingMarksAtEnd);
    form.N16->setChecked(s.AlwaysShowComment);
    form.N17->setChecked(s.ConfirmChoice);
    for (int k = 1; k <= ExamTimeItemCount; ++k)
        form.ExamTimeItems[k - 1]->setChecked(s.ExamTimeItem == k);
}

} // namespace bil
