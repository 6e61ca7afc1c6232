// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the settings file VRK.ini: loading gives settings within their ranges, and once
// a load has written back what was missing, loading again changes nothing.

#include "app/settings.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "fuzz_common.h"

using namespace bil;

namespace {

bool Same(const Settings& a, const Settings& b) {
    return a.ShuffleAnswers == b.ShuffleAnswers && a.ShowStatInformer == b.ShowStatInformer &&
           a.ShowAnswerOnError == b.ShowAnswerOnError &&
           a.AlwaysShowComment == b.AlwaysShowComment &&
           a.TrainingCommentOnError == b.TrainingCommentOnError &&
           a.TrainingMarksAtEnd == b.TrainingMarksAtEnd && a.ConfirmChoice == b.ConfirmChoice &&
           a.HideOnFocusLoss == b.HideOnFocusLoss && a.ExamTimeItem == b.ExamTimeItem &&
           a.ExamTime == b.ExamTime;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A new name each time: QSettings keeps files it has read in a cache of its own.
    static int run = 0;
    const QString path = fuzz::WriteInput(QStringLiteral("VRK-%1.ini").arg(run++), data, size);
    // A missing value is written back as 0 while the item keeps its state for this run, so only
    // from the second load on is the file a fixed point.
    Settings loaded[3];
    QString db[3];
    for (int k = 0; k < 3; ++k) {
        QSettingsStore store(path);
        db[k] = LoadSettings(store, loaded[k], fuzz::ScratchDir()).DbPath;
        FUZZ_CHECK(loaded[k].ExamTimeItem >= 1 && loaded[k].ExamTimeItem <= 6);
        FUZZ_CHECK(loaded[k].ExamTime > 0);
    }
    FUZZ_CHECK(Same(loaded[1], loaded[2]));
    FUZZ_CHECK(db[0] == db[1] && db[1] == db[2]);
    QFile::remove(path);
    return 0;
}
