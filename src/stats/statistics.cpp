// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/statistics.h"

#include "app/app_state.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace bil {

Figures QuestionFigures(const TStatRecord& stats, int number, int channel) {
    const TQuestionStat& q = stats.question(number);
    Figures f;
    if (channel >= 0 && channel < ChannelCount) {
        f.Right = q.Right[channel];
        f.Wrong = q.Wrong[channel];
        f.Seconds = q.Seconds[channel];
        return f;
    }
    for (int c = 0; c < ChannelCount; ++c) {
        f.Right += q.Right[c];
        f.Wrong += q.Wrong[c];
        f.Seconds += q.Seconds[c];
    }
    return f;
}

TicketFigures ComputeTicketFigures(const TStatRecord& stats, const ThemeTable& themes,
                                   int channel) {
    TicketFigures out;
    for (int t = 1; t <= TicketCount; ++t) {
        Figures& sum = out.Ticket[t - 1];
        for (int p = 1; p <= TicketSize; ++p) {
            const int n = NumberOf(t, p);
            const Figures f = QuestionFigures(stats, n, channel);
            sum.Right += f.Right;
            sum.Wrong += f.Wrong;
            sum.Seconds += f.Seconds;
            // A theme byte out of range (a damaged theme file) counts nowhere.
            const int k = themes.theme(n);
            if (k >= 1 && k <= ThemeCount) {
                out.ThemeRight[k - 1] += f.Right;
                out.ThemeWrong[k - 1] += f.Wrong;
            }
        }
        double rating = 0;
        if (sum.Seconds != 0)
            rating = double(sum.Right - sum.Wrong) / double(sum.Seconds);
        out.Rating[t - 1] = rating < 0 ? 0.0 : rating;
    }

    // First ticket with the strictly greatest rating; the worst is the first with the strictly
    // smallest non-zero one. Starting the worst scan above every possible rating lets a very
    // high rating still be the worst when it is the only one.
    double best = 0;
    double worst = std::numeric_limits<double>::infinity();
    for (int t = 1; t <= TicketCount; ++t) {
        const double r = out.Rating[t - 1];
        if (r > best) {
            best = r;
            out.Best = t;
        }
        if (r != 0 && r < worst) {
            worst = r;
            out.Worst = t;
        }
    }
    return out;
}

std::vector<double> TicketFigures::ratingBars() const {
    std::vector<double> bars;
    const double best = bestRating();
    if (best == 0)
        return bars;
    bars.reserve(TicketCount);
    for (double r : Rating)
        bars.push_back(r / best * 100.0);
    return bars;
}

RatingRole TicketFigures::ratingRole(int ticket) const {
    if (Best == Worst)
        return RatingRole::Plain;
    if (ticket == Best)
        return RatingRole::Best;
    if (ticket == Worst)
        return RatingRole::Worst;
    return RatingRole::Plain;
}

double TicketFigures::themeWrongPercent(int theme) const {
    const int64_t all = ThemeRight[theme - 1] + ThemeWrong[theme - 1];
    return all > 0 ? double(ThemeWrong[theme - 1]) * 100.0 / double(all) : 0.0;
}

double TicketFigures::themeRightPercent(int theme) const {
    const int64_t all = ThemeRight[theme - 1] + ThemeWrong[theme - 1];
    return all > 0 ? double(ThemeRight[theme - 1]) * 100.0 / double(all) : 0.0;
}

PreparationLevel ComputeLevel(const TStatRecord& stats) {
    int64_t right = 0, wrong = 0, seconds = 0;
    for (const TQuestionStat& q : stats.QuestionStats) {
        right += q.Right[ChannelExam];
        wrong += q.Wrong[ChannelExam];
        seconds += q.Seconds[ChannelExam];
    }
    const int64_t n = right + wrong;
    PreparationLevel lv;
    if (n < LevelMinAnswers) {
        lv.AnswersMissing = int(LevelMinAnswers - n);
        return lv;
    }
    double quality = double(right) / double(n);
    double speed = double(seconds) / double(n); // seconds per answer
    if (quality < 0.9 || speed > 60)
        return lv;
    quality = std::clamp((quality - 0.89) * 10.0, 0.0, 1.0);
    speed = std::clamp(1.0 - (speed - 10.0) / 50.0, 0.0, 1.0);
    lv.Quality = quality;
    lv.Speed = speed;
    lv.Level = std::min(quality / 2 + speed / 2, 1.0);
    return lv;
}

QString LevelWaitText(int answersMissing) {
    if (answersMissing <= 0)
        return QString();
    const int tens = answersMissing % 100, ones = answersMissing % 10;
    const char* word = (tens >= 11 && tens <= 14) ? "ответов"
                       : ones == 1                ? "ответ"
                       : (ones >= 2 && ones <= 4) ? "ответа"
                                                  : "ответов";
    return QStringLiteral("Уровень подготовки считается, когда на экзамене дано не меньше %1 "
                          "ответов: нужно ещё %2 %3.")
        .arg(LevelMinAnswers)
        .arg(answersMissing)
        .arg(QString::fromUtf8(word));
}

QString PercentLabel(double value) {
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value * 100.0);
    std::fesetround(saved);
    return QString::number(static_cast<long long>(rounded)) + u'%';
}

bool CriterionPicks(Criterion criterion, int64_t right, int64_t wrong) {
    switch (criterion) {
    case Criterion::Trouble:
        return wrong > right;
    case Criterion::Hard:
        return wrong >= right && wrong > 0;
    case Criterion::WithError:
        return wrong > 0;
    }
    return false;
}

AnalysisLists BuildAnalysis(const TStatRecord& stats, const ThemeTable& themes, int channel,
                            int theme, Criterion criterion) {
    AnalysisLists out;
    for (int n = 1; n <= QuestionCount; ++n) {
        if (theme != 0 && DefaultThemeOf(n) != theme)
            continue;
        switch (themes.mark(n)) {
        case 0:
            out.Undetermined.push_back(n);
            break;
        case 1:
            out.Hard.push_back(n);
            break;
        case 2:
            out.Easy.push_back(n);
            break;
        default:
            break;
        }
        const Figures f = QuestionFigures(stats, n, channel);
        if (!CriterionPicks(criterion, f.Right, f.Wrong))
            continue;
        out.Difficult.push_back(n);
        for (const HelpLink& link : themes.HelpLinks[n - 1]) {
            if (link.LinkCaption.isEmpty())
                break;
            out.Theory.push_back(link.LinkCaption);
        }
    }
    std::sort(out.Theory.begin(), out.Theory.end());
    out.Theory.erase(std::unique(out.Theory.begin(), out.Theory.end()), out.Theory.end());
    return out;
}

QString QuestionTag(int number) {
    return QStringLiteral("Б%1 В%2").arg(TicketOf(number)).arg(PositionOf(number));
}

int ParseQuestionTag(const QString& tag) {
    // "Б" ticket " В" position, both without leading zeros.
    if (tag.size() < 5 || tag[0] != u'Б')
        return 0;
    const qsizetype blank = tag.indexOf(u' ', 1);
    if (blank < 2 || blank + 2 >= tag.size() || tag[blank + 1] != u'В')
        return 0;
    bool okT = false, okP = false;
    const QString ticketText = tag.mid(1, blank - 1);
    const QString positionText = tag.mid(blank + 2);
    const auto digitsOnly = [](const QString& s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!digitsOnly(ticketText) || !digitsOnly(positionText))
        return 0;
    const int t = ticketText.toInt(&okT);
    const int p = positionText.toInt(&okP);
    if (!okT || !okP || t < 1 || t > TicketCount || p < 1 || p > TicketSize)
        return 0;
    return NumberOf(t, p);
}

std::vector<int> ParseQuestionTags(const QStringList& tags) {
    std::vector<int> numbers;
    numbers.reserve(tags.size());
    for (const QString& tag : tags)
        if (const int n = ParseQuestionTag(tag))
            numbers.push_back(n);
    return numbers;
}

QString RepeatScope(int theme) {
    if (theme < 1 || theme > ThemeCount)
        return QStringLiteral("всех тем");
    return QStringLiteral("темы ") + ThemeNames(theme);
}

namespace {

QString WithSeparator(const char* text, const QLocale& locale) {
    QString s = QString::fromLatin1(text);
    s.replace(u'.', locale.decimalPoint());
    return s;
}

} // namespace

QString FormatGeneral(double value, const QLocale& locale) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return WithSeparator(buf, locale);
}

QString FormatFixed2(double value, const QLocale& locale) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    return WithSeparator(buf, locale);
}

QString QuestionTimeMessage(int index1, double seconds, const QLocale& locale) {
    return QStringLiteral("На решение вопроса №%1 затрачено %2 сек.")
        .arg(index1)
        .arg(FormatGeneral(seconds, locale));
}

QString QuestionRightMessage(int index1, double count, const QLocale& locale) {
    return QStringLiteral("При решении вопроса %1 получено %2 правильных ответов.")
        .arg(index1)
        .arg(FormatGeneral(count, locale));
}

QString QuestionWrongMessage(int index1, double count, const QLocale& locale) {
    return QStringLiteral("При решении вопроса %1 сделано %2 ошибок.")
        .arg(index1)
        .arg(FormatGeneral(count, locale));
}

QString ThemeRightMessage(const QString& theme, double percent, const QLocale& locale) {
    return QStringLiteral("При решении темы \"") + theme + QStringLiteral("\" получено ") +
           FormatFixed2(percent, locale) + QStringLiteral("% правильных ответов.");
}

QString ThemeWrongMessage(const QString& theme, double percent, const QLocale& locale) {
    return QStringLiteral("При решении темы \"") + theme + QStringLiteral("\" сделано ") +
           FormatFixed2(percent, locale) + QStringLiteral("% ошибок.");
}

} // namespace bil
