// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_loader.h"

#include "app/settings_store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace bil {

namespace {

const QString TimName = QStringLiteral("Tim");
const QString BasName = QStringLiteral("Bas");
const QString EkzName = QStringLiteral("Ekz");
const QString VopName = QStringLiteral("Vop");

bool& itemField(Settings& settings, SettingItem item) {
    switch (item) {
    case SettingItem::ShuffleAnswers:
        return settings.ShuffleAnswers;
    case SettingItem::ShowStatInformer:
        return settings.ShowStatInformer;
    case SettingItem::ShowAnswerOnError:
        return settings.ShowAnswerOnError;
    case SettingItem::AlwaysShowComment:
        return settings.AlwaysShowComment;
    case SettingItem::TrainingCommentOnError:
        return settings.TrainingCommentOnError;
    case SettingItem::TrainingMarksAtEnd:
        return settings.TrainingMarksAtEnd;
    case SettingItem::ConfirmChoice:
        return settings.ConfirmChoice;
    case SettingItem::HideOnFocusLoss:
        break;
    }
    return settings.HideOnFocusLoss;
}

bool storedInverted(SettingItem item) {
    return item == SettingItem::TrainingCommentOnError || item == SettingItem::TrainingMarksAtEnd;
}

int32_t storedValue(SettingItem item, bool checked) {
    return (checked != storedInverted(item)) ? 1 : 0;
}

bool checkedFromStored(SettingItem item, int32_t value) {
    return storedInverted(item) ? value == 0 : value == 1;
}

// The values a first run writes, in the order it writes them (Tim between Sta and Tre).
struct Default {
    SettingItem item;
    bool checked;
};
constexpr std::array<Default, 2> LeadingDefaults{{
    {SettingItem::ShuffleAnswers, true},
    {SettingItem::ShowStatInformer, true},
}};
constexpr std::array<Default, 6> TrailingDefaults{{
    {SettingItem::TrainingCommentOnError, true},
    {SettingItem::TrainingMarksAtEnd, true},
    {SettingItem::AlwaysShowComment, false},
    {SettingItem::ConfirmChoice, false},
    {SettingItem::HideOnFocusLoss, true},
    {SettingItem::ShowAnswerOnError, false},
}};

class FirstFailure {
public:
    void note(const Status& status) {
        if (!status.ok() && m_status.ok())
            m_status = status;
    }
    const Status& status() const { return m_status; }

private:
    Status m_status = Status::Ok();
};

} // namespace

QString SettingValueName(SettingItem item) {
    switch (item) {
    case SettingItem::ShuffleAnswers:
        return QStringLiteral("Rnd");
    case SettingItem::ShowStatInformer:
        return QStringLiteral("Sta");
    case SettingItem::ShowAnswerOnError:
        return QStringLiteral("Err");
    case SettingItem::AlwaysShowComment:
        return QStringLiteral("Kom");
    case SettingItem::TrainingCommentOnError:
        return QStringLiteral("Tre");
    case SettingItem::TrainingMarksAtEnd:
        return QStringLiteral("Otv");
    case SettingItem::ConfirmChoice:
        return QStringLiteral("Pov");
    case SettingItem::HideOnFocusLoss:
        break;
    }
    return QStringLiteral("Mas");
}

int ExamSecondsForItem(int k) {
    static constexpr std::array<int, ExamTimeItemCount> Seconds{60, 180, 300, 600, 900, 1200};
    if (k < 1 || k > ExamTimeItemCount)
        return 0;
    return Seconds[k - 1];
}

Status SetSetting(SettingsStore& store, Settings& settings, SettingItem item, bool checked) {
    itemField(settings, item) = checked;
    return store.writeInt(SettingValueName(item), storedValue(item, checked));
}

Status ChooseExamTime(SettingsStore& store, Settings& settings, int k) {
    if (k < 1 || k > ExamTimeItemCount)
        return Status::Ok();
    settings.ExamTimeItem = k;
    settings.ExamTime = ExamSecondsForItem(k);
    return store.writeInt(TimName, k);
}

Status SetExamDate(SettingsStore& store, Settings& settings, const QDate& date) {
    settings.ExamDate = date.isValid() ? date : QDate();
    return store.writeString(EkzName, settings.ExamDate.toString(Qt::ISODate));
}

Status SetDailyGoal(SettingsStore& store, Settings& settings, int goal) {
    settings.DailyGoal = std::clamp(goal, 1, MaxDailyGoal);
    return store.writeInt(VopName, settings.DailyGoal);
}

QString FindDatabaseInFolder(const QString& folder) {
    const QDir dir(folder);
    for (const QString& name : {QStringLiteral("dataAB.dbv"), QStringLiteral("dataCD.dbv")}) {
        const QString path = dir.filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QString FindFirstRunDatabase(const QString& programDir) {
    if (QString found = FindDatabaseInFolder(programDir); !found.isEmpty())
        return found;
    // An installed program keeps its demo database under <prefix>/share/biletoria.
    const QString shared = QDir(programDir).filePath(QStringLiteral("../share/biletoria"));
    const QString found = FindDatabaseInFolder(shared);
    return found.isEmpty() ? QString() : QDir::cleanPath(found);
}

namespace {

constexpr std::array<SettingItem, 8> AllItems{
    SettingItem::ShuffleAnswers,         SettingItem::ShowStatInformer,
    SettingItem::ShowAnswerOnError,      SettingItem::AlwaysShowComment,
    SettingItem::TrainingCommentOnError, SettingItem::TrainingMarksAtEnd,
    SettingItem::ConfirmChoice,          SettingItem::HideOnFocusLoss};

} // namespace

std::vector<std::pair<QString, int32_t>> StoredSettingValues(const Settings& settings) {
    std::vector<std::pair<QString, int32_t>> values;
    Settings copy = settings;
    for (const SettingItem item : AllItems)
        values.emplace_back(SettingValueName(item), storedValue(item, itemField(copy, item)));
    values.emplace_back(TimName, settings.ExamTimeItem);
    return values;
}

Status RestoreSettingValues(SettingsStore& store, Settings& settings,
                            const std::vector<std::pair<QString, int32_t>>& values) {
    FirstFailure failure;
    store.deferWrites();
    for (const auto& [name, value] : values) {
        if (name == TimName) {
            failure.note(ChooseExamTime(store, settings, value));
            continue;
        }
        for (const SettingItem item : AllItems)
            if (SettingValueName(item) == name) {
                itemField(settings, item) = checkedFromStored(item, value);
                failure.note(store.writeInt(name, value));
            }
    }
    failure.note(store.flush());
    return failure.status();
}

Status StoreDatabasePath(SettingsStore& store, const QString& path) {
    return store.writeString(BasName, path);
}

SettingsLoad LoadSettings(SettingsStore& store, Settings& settings, const QString& programDir) {
    SettingsLoad load;
    FirstFailure failure;
    store.deferWrites();

    if (!store.keyExists()) {
        load.FirstRun = true;
        failure.note(store.createKey());
        // The menu shows what is stored from the very first run, N9 and N14 included.
        for (const Default& d : LeadingDefaults)
            failure.note(SetSetting(store, settings, d.item, d.checked));
        failure.note(store.writeInt(TimName, DefaultExamTimeItem));
        for (const Default& d : TrailingDefaults)
            failure.note(SetSetting(store, settings, d.item, d.checked));
        failure.note(ChooseExamTime(store, settings, DefaultExamTimeItem));
        load.DbPath = FindFirstRunDatabase(programDir);
        failure.note(StoreDatabasePath(store, load.DbPath));
        failure.note(store.flush());
        load.StoreStatus = failure.status();
        return load;
    }

    // Rnd and Sta are always written together with the key; one that has gone takes its
    // first-run default again.
    for (const Default& d : LeadingDefaults) {
        if (const auto value = store.readInt(SettingValueName(d.item)))
            itemField(settings, d.item) = checkedFromStored(d.item, *value);
        else
            failure.note(SetSetting(store, settings, d.item, d.checked));
    }
    // A value that has gone is written as 0; the item keeps its state.
    for (const SettingItem item :
         {SettingItem::AlwaysShowComment, SettingItem::ConfirmChoice, SettingItem::HideOnFocusLoss,
          SettingItem::ShowAnswerOnError, SettingItem::TrainingCommentOnError,
          SettingItem::TrainingMarksAtEnd}) {
        if (const auto value = store.readInt(SettingValueName(item)))
            itemField(settings, item) = checkedFromStored(item, *value);
        else
            failure.note(store.writeInt(SettingValueName(item), 0));
    }
    // An exam time outside the six items would leave no exam time at all: use the default.
    const auto tim = store.readInt(TimName);
    const int item =
        (tim && *tim >= 1 && *tim <= ExamTimeItemCount) ? int(*tim) : DefaultExamTimeItem;
    failure.note(ChooseExamTime(store, settings, item));
    load.DbPath = store.readString(BasName);
    // The exam day and the daily goal are read as stored; a value that does not make sense
    // counts as none (no date, the default goal) and is left for the next change to replace.
    settings.ExamDate = QDate::fromString(store.readString(EkzName), Qt::ISODate);
    const auto goal = store.readInt(VopName);
    settings.DailyGoal =
        (goal && *goal >= 1 && *goal <= MaxDailyGoal) ? int(*goal) : DefaultDailyGoal;
    failure.note(store.flush());
    load.StoreStatus = failure.status();
    return load;
}

} // namespace bil
