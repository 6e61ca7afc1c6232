// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/import_dialog.h"

#include "app/app_data.h"
#include "app/platform.h"
#include "help/help_pack_read.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QVBoxLayout>

#include <chrono>
#include <future>

namespace bil {

namespace {

const QString Caption = QStringLiteral("Загрузка билетов ПДД");

} // namespace

ImportDialog::ImportDialog(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(Caption);
    setModal(true);

    auto* intro = new QLabel(
        QStringLiteral("Настоящие билеты ПДД берутся из открытого набора вопросов: по его адресу "
                       "в интернете или из его архива (.zip, .tar.gz) или папки на этом "
                       "компьютере. Будут созданы базы обеих категорий, программа перейдёт на "
                       "выбранную."),
        this);
    intro->setWordWrap(true);

    auto* sourceBox = new QGroupBox(QStringLiteral("Источник"), this);
    SourceEdit = new QLineEdit(DataSetDefaultUrl, sourceBox);
    SourceEdit->setObjectName(QStringLiteral("SourceEdit"));
    SourceEdit->setMinimumWidth(460);
    ArchiveButton = new QPushButton(QStringLiteral("Архив…"), sourceBox);
    ArchiveButton->setObjectName(QStringLiteral("ArchiveButton"));
    FolderButton = new QPushButton(QStringLiteral("Папка…"), sourceBox);
    FolderButton->setObjectName(QStringLiteral("FolderButton"));
    auto* sourceLayout = new QGridLayout(sourceBox);
    sourceLayout->addWidget(
        new QLabel(QStringLiteral("Адрес архива, архив или папка набора:"), sourceBox), 0, 0, 1, 3);
    sourceLayout->addWidget(SourceEdit, 1, 0);
    sourceLayout->addWidget(ArchiveButton, 1, 1);
    sourceLayout->addWidget(FolderButton, 1, 2);

    auto* categoryBox = new QGroupBox(QStringLiteral("Категории"), this);
    CategoryAB = new QRadioButton(QStringLiteral("A, B"), categoryBox);
    CategoryAB->setObjectName(QStringLiteral("CategoryAB"));
    CategoryCD = new QRadioButton(QStringLiteral("C, D"), categoryBox);
    CategoryCD->setObjectName(QStringLiteral("CategoryCD"));
    auto* categories = new QButtonGroup(this);
    categories->addButton(CategoryAB);
    categories->addButton(CategoryCD);
    // The learner of C,D questions most likely wants C,D again.
    const bool cd =
        QFileInfo(m_state.Db.DbPath()).fileName().compare(DatabaseFileCD, Qt::CaseInsensitive) == 0;
    (cd ? CategoryCD : CategoryAB)->setChecked(true);
    auto* categoryLayout = new QHBoxLayout(categoryBox);
    categoryLayout->addWidget(CategoryAB);
    categoryLayout->addWidget(CategoryCD);
    categoryLayout->addStretch();

    auto* helpBox = new QGroupBox(QStringLiteral("Справка"), this);
    RulesEdit = new QLineEdit(helpBox);
    RulesEdit->setObjectName(QStringLiteral("RulesEdit"));
    RulesEdit->setPlaceholderText(QStringLiteral("необязательно: файл .txt или .html"));
    RulesButton = new QPushButton(QStringLiteral("Текст ПДД…"), helpBox);
    RulesButton->setObjectName(QStringLiteral("RulesButton"));
    auto* helpLayout = new QGridLayout(helpBox);
    auto* helpIntro = new QLabel(
        QStringLiteral("Знаки, разметка и штрафы войдут в справку из набора. Чтобы в ней был и "
                       "текст пунктов правил, укажите файл с текстом ПДД."),
        helpBox);
    helpIntro->setWordWrap(true);
    helpLayout->addWidget(helpIntro, 0, 0, 1, 2);
    helpLayout->addWidget(RulesEdit, 1, 0);
    helpLayout->addWidget(RulesButton, 1, 1);

    ProgressLabel = new QLabel(QStringLiteral(" "), this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    StartButton = new QPushButton(QStringLiteral("Загрузить"), this);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(StartButton);
    buttons->addWidget(CancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(sourceBox);
    layout->addWidget(categoryBox);
    layout->addWidget(helpBox);
    layout->addWidget(ProgressLabel);
    layout->addWidget(ProgressBar);
    layout->addLayout(buttons);

    connect(StartButton, &QPushButton::clicked, this, &ImportDialog::StartClick);
    connect(CancelButton, &QPushButton::clicked, this, &ImportDialog::CancelClick);
    connect(ArchiveButton, &QPushButton::clicked, this, &ImportDialog::ArchiveClick);
    connect(FolderButton, &QPushButton::clicked, this, &ImportDialog::FolderClick);
    connect(RulesButton, &QPushButton::clicked, this, &ImportDialog::RulesClick);
}

ImportDialog::~ImportDialog() {
    if (m_worker) {
        m_cancel->store(true);
        m_worker->wait();
        delete m_worker;
    }
}

QString ImportDialog::dataFolder() const {
    if (!m_state.AppDataDir.isEmpty())
        return m_state.AppDataDir;
    auto folder = AppDataFolder(QString());
    return folder ? folder.value() : QString();
}

QString ImportDialog::chosenDatabase() const {
    const QString folder = m_dataFolder.isEmpty() ? dataFolder() : m_dataFolder;
    return QDir(folder).filePath(CategoryCD->isChecked() ? DatabaseFileCD : DatabaseFileAB);
}

ReleaseImport ImportDialog::importWork(const QString& folder, const QString& source) {
    m_help = std::make_shared<HelpPackReport>();
    // Asked on the worker thread: the question goes to this thread and the worker waits for the
    // answer, or for a cancel (the dialog's destructor cancels and waits for the worker).
    auto askHere = [this, cancel = m_cancel](std::function<bool(Prompter&)> question) {
        auto answer = std::make_shared<std::promise<bool>>();
        std::future<bool> answered = answer->get_future();
        QMetaObject::invokeMethod(
            this,
            [this, answer, question = std::move(question)] {
                Prompter* prompter = m_state.services.prompter;
                answer->set_value(prompter && question(*prompter));
            },
            Qt::QueuedConnection);
        while (answered.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            if (cancel->load())
                return false;
        return answered.get();
    };
    AskReplace askReplace = [askHere](const UnencodableChars& found) {
        const QString question = ReplaceQuestion(found);
        return askHere([question](Prompter& p) { return p.askYesNo(Caption, question); });
    };
    auto askRelease = [askHere](const ReleasePlan& plan) {
        return askHere([plan](Prompter& p) { return AskReleaseUpdate(p, plan); });
    };
    ReleaseImport work = MakeReleaseImport(
        CaptureReleaseBase(m_state), m_state.AppDataDir.isEmpty() ? folder : m_state.AppDataDir,
        folder, CategoryCD->isChecked(), askRelease, askReplace);
    // Help that cannot be built must not cost the learner the questions.
    work.Steps.push_back(
        HelpPackStep(HelpPackFolder(folder), RulesEdit->text().trimmed(), source, m_help, true));
    return work;
}

void ImportDialog::RulesClick() {
    if (Prompter* prompter = m_state.services.prompter) {
        const QString chosen = prompter->chooseOpenFile(
            QStringLiteral("Текст ПДД"), QString(),
            QStringLiteral("Текст ПДД (*.txt *.htm *.html);;Все файлы (*)"));
        if (!chosen.isEmpty())
            RulesEdit->setText(QDir::toNativeSeparators(chosen));
    }
}

void ImportDialog::ArchiveClick() {
    if (Prompter* prompter = m_state.services.prompter) {
        const QString chosen =
            prompter->chooseOpenFile(QStringLiteral("Архив набора билетов"), QString(),
                                     QStringLiteral("Архив набора билетов (*.zip *.tar.gz *.tgz)"));
        if (!chosen.isEmpty())
            SourceEdit->setText(QDir::toNativeSeparators(chosen));
    }
}

void ImportDialog::FolderClick() {
    if (Prompter* prompter = m_state.services.prompter) {
        const QString chosen =
            prompter->chooseFolder(QStringLiteral("Папка набора билетов"), QString());
        if (!chosen.isEmpty())
            SourceEdit->setText(QDir::toNativeSeparators(chosen));
    }
}

void ImportDialog::StartClick() {
    if (m_worker)
        return;
    Prompter* prompter = m_state.services.prompter;
    const QString source = SourceEdit->text().trimmed();
    if (source.isEmpty()) {
        if (prompter)
            prompter->warn(QStringLiteral("Укажите адрес набора билетов или выберите его архив "
                                          "или папку."));
        return;
    }
    const QString rules = RulesEdit->text().trimmed();
    if (!rules.isEmpty() && !QFileInfo(rules).isFile()) {
        if (prompter)
            prompter->warn(QStringLiteral("Нет файла с текстом ПДД %1.").arg(rules));
        return;
    }
    m_dataFolder = dataFolder();
    if (m_dataFolder.isEmpty()) {
        if (prompter)
            prompter->warn(QStringLiteral("Не найдена папка данных пользователя: базам некуда "
                                          "записаться."));
        return;
    }
    m_cancel = std::make_shared<CancelFlag>(false);
    m_outcome = std::make_shared<Status>(Status::Ok());
    ImportContext context;
    context.Cancel = m_cancel.get();
    // Called on the worker thread; the dialog outlives the worker (its destructor waits).
    context.Progress = [this](const ImportProgress& p) {
        QMetaObject::invokeMethod(
            this, [this, p] { showProgress(p); }, Qt::QueuedConnection);
    };
    DataSetSourceOptions sourceOptions;
    sourceOptions.WindowClock = &ClockOf(m_state.services);
    ReleaseImport work = importWork(m_dataFolder, source);
    m_carry = work.Carry;
    m_worker = QThread::create([source, steps = std::move(work.Steps), context, sourceOptions,
                                cancel = m_cancel, outcome = m_outcome] {
        *outcome = RunDataSetImport(source, steps, context, sourceOptions);
    });
    connect(m_worker, &QThread::finished, this, &ImportDialog::workFinished);
    setRunning(true);
    ProgressLabel->setText(QStringLiteral("Открытие источника…"));
    ProgressBar->setRange(0, 0);
    m_worker->start();
}

void ImportDialog::CancelClick() {
    if (!m_worker) {
        QDialog::reject();
        return;
    }
    m_cancel->store(true); // the work checks it between every few kilobytes and every question
    CancelButton->setEnabled(false);
    ProgressLabel->setText(QStringLiteral("Отмена…"));
}

void ImportDialog::reject() {
    if (m_worker)
        CancelClick();
    else
        QDialog::reject();
}

void ImportDialog::showProgress(const ImportProgress& p) {
    if (!m_worker || m_cancel->load())
        return;
    ProgressLabel->setText(p.Caption);
    if (p.Total <= 0) {
        ProgressBar->setRange(0, 0); // busy: a server that sends no length, or a check
        return;
    }
    // Counts of bytes may pass what an int holds; the bar needs only the fraction.
    ProgressBar->setRange(0, 1000);
    ProgressBar->setValue(int(std::min<qint64>(1000, p.Done * 1000 / p.Total)));
}

void ImportDialog::workFinished() {
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    const Status outcome = *m_outcome;
    setRunning(false);
    if (outcome) {
        ProgressBar->setRange(0, 1000);
        ProgressBar->setValue(1000);
        ProgressLabel->setText(QStringLiteral("Готово"));
        if (!m_help->Built && m_state.services.prompter)
            m_state.services.prompter->warn(
                QStringLiteral("Билеты загружены, но справка к ним не собрана.\n") +
                m_help->Built.message());
        accept();
        return;
    }
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressLabel->setText(QStringLiteral(" "));
    if (outcome.message() == ReleaseDeclinedMessage) {
        if (Prompter* prompter = m_state.services.prompter)
            prompter->inform(outcome.message());
        QDialog::reject();
        return;
    }
    if (Prompter* prompter = m_state.services.prompter)
        prompter->warn(outcome.message() == DataSetCancelledMessage
                           ? outcome.message()
                           : QStringLiteral("Билеты не загружены.\n") + outcome.message());
}

void ImportDialog::setRunning(bool running) {
    SourceEdit->setEnabled(!running);
    ArchiveButton->setEnabled(!running);
    FolderButton->setEnabled(!running);
    CategoryAB->setEnabled(!running);
    CategoryCD->setEnabled(!running);
    RulesEdit->setEnabled(!running);
    RulesButton->setEnabled(!running);
    StartButton->setEnabled(!running);
    CancelButton->setEnabled(true);
}

} // namespace bil
