// The 新题 chooser: its controls, the work it starts and what it says meanwhile.
#include "new_puzzle_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "background_task.h"
#include "explain_text.h"
#include "levels.h"

namespace {

// The names of kLevels' bands, easiest first.
constexpr const char* kLevelNames[kLevels.size()] = {
    QT_TRANSLATE_NOOP("CNewPuzzleDialog", "入门"), QT_TRANSLATE_NOOP("CNewPuzzleDialog", "简单"),
    QT_TRANSLATE_NOOP("CNewPuzzleDialog", "中等"), QT_TRANSLATE_NOOP("CNewPuzzleDialog", "困难"),
    QT_TRANSLATE_NOOP("CNewPuzzleDialog", "专家"), QT_TRANSLATE_NOOP("CNewPuzzleDialog", "极难"),
};
constexpr int kDefaultLevel = 2;
constexpr int kProgressEveryMs = 200;

QString Tenths(int tenths) {
    return QString::number(tenths / 10.0, 'f', 1);
}

// A new seed at every press, so that each press gives another puzzle.
uint64_t FreshSeed() {
    std::random_device device;
    const uint64_t drawn = (uint64_t(device()) << 32) ^ device();
    return drawn ^ uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

}  // namespace

CNewPuzzleDialog::CNewPuzzleDialog(QWidget* parent, Deliver deliver)
    : QDialog(parent), m_deliver(std::move(deliver)), m_task(new CBackgroundTask(this)) {
    setWindowTitle(tr("新题"));

    m_level = new QComboBox(this);
    for (size_t k = 0; k < kLevels.size(); ++k) {
        const CLevel& level = kLevels[k];
        const QString band =
            level.maxRating >= kScaleTop
                ? tr("%1 以上").arg(Tenths(level.minRating))
                : tr("%1–%2").arg(Tenths(level.minRating), Tenths(level.maxRating));
        m_level->addItem(tr("%1（%2）").arg(tr(kLevelNames[k]), band));
    }
    m_level->setCurrentIndex(kDefaultLevel);
    m_level->setFocus();
    m_symmetric = new QCheckBox(tr("对称(&S)"), this);
    m_symmetric->setToolTip(tr("给定数的位置转半圈后不变"));

    auto* form = new QFormLayout;
    form->addRow(tr("难度(&L)："), m_level);
    form->addRow(QString(), m_symmetric);

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 22);
    m_busy = new QProgressBar(this);
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->hide();

    auto* buttons = new QDialogButtonBox(this);
    m_generate = buttons->addButton(tr("生成"), QDialogButtonBox::AcceptRole);
    m_generate->setDefault(true);
    m_cancel = buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    m_cancel->setToolTip(tr("停止生成（Ctrl+.）"));
    m_cancel->setEnabled(false);
    buttons->addButton(QDialogButtonBox::Close);
    // The box's own accepted and rejected would close the chooser; each button says its job.
    connect(m_generate, &QPushButton::clicked, this, &CNewPuzzleDialog::OnGenerate);
    connect(m_cancel, &QPushButton::clicked, this, &CNewPuzzleDialog::OnCancel);
    connect(buttons->button(QDialogButtonBox::Close), &QPushButton::clicked, this,
            &QDialog::reject);
    auto* cancelKey = new QAction(this);
    cancelKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));
    connect(cancelKey, &QAction::triggered, this, &CNewPuzzleDialog::OnCancel);
    addAction(cancelKey);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(m_busy);
    layout->addWidget(buttons);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressEveryMs);
    connect(m_progressTimer, &QTimer::timeout, this, &CNewPuzzleDialog::ShowProgress);

    if (auto* owner = qobject_cast<QDialog*>(parent)) {
        connect(owner, &QDialog::finished, this, &QDialog::reject);
    }
}

void CNewPuzzleDialog::Open() {
    if (!m_placed && parentWidget() != nullptr) {
        m_placed = true;
        adjustSize();
        const QRect owner = parentWidget()->frameGeometry();
        const QRect screen = parentWidget()->screen()->availableGeometry();
        constexpr int kGap = 8;
        int x = owner.right() + kGap;
        if (x + width() > screen.right())
            x = std::max(screen.left(), owner.left() - kGap - width());
        move(x, std::clamp(owner.top(), screen.top(),
                           std::max(screen.top(), screen.bottom() - height())));
    }
    show();
    raise();
    activateWindow();
}

void CNewPuzzleDialog::OnGenerate() {
    const int level = m_level->currentIndex();
    const bool symmetric = m_symmetric->isChecked();
    // The hardest level is about one in 1,500 minimal puzzles: it takes every core.
    const unsigned threads =
        level + 1 == int(kLevels.size()) ? std::max(1u, std::thread::hardware_concurrency()) : 1u;
    m_progress = std::make_shared<CProgress>();
    m_task->Start(
        [level, symmetric, threads, seed = FreshSeed(),
         progress = m_progress](std::stop_token stop) {
            return MakeLevelPuzzle(level, symmetric, seed, threads, stop,
                                   [&progress](const CRunProgress& p) {
                                       progress->tried.store(p.tried);
                                       progress->milliseconds.store(int64_t(p.seconds * 1000));
                                   });
        },
        [this](const std::optional<CGeneratedPuzzle>& made) { OnMade(made); });
    m_status->setText(tr("正在生成……"));
    ShowWorking(true);
}

void CNewPuzzleDialog::OnCancel() {
    if (!m_task->IsRunning()) return;
    m_task->Cancel();
    ShowWorking(false);
    m_status->setText(tr("已取消。"));
}

bool CNewPuzzleDialog::IsGenerating() const {
    return m_task->IsRunning();
}

QString CNewPuzzleDialog::StatusText() const {
    return m_status->text();
}

void CNewPuzzleDialog::done(int result) {
    if (m_task->IsRunning()) {
        m_task->Cancel();
        ShowWorking(false);
        m_status->clear();
    }
    QDialog::done(result);
}

void CNewPuzzleDialog::OnMade(const std::optional<CGeneratedPuzzle>& made) {
    ShowWorking(false);
    if (!made) {
        m_status->setText(tr("已取消。"));
        return;
    }
    m_deliver(made->puzzle);
    m_status->setText(tr("新题：难度 %1，最难的技巧：%2，%3 个给定数。")
                          .arg(Tenths(made->rating), CExplainText::TechniqueText(made->hardest))
                          .arg(made->givens));
}

void CNewPuzzleDialog::ShowProgress() {
    if (!m_progress || m_progress->tried.load() == 0) return;
    m_status->setText(tr("正在生成……已试 %1 个谜题，%2 秒。")
                          .arg(QLocale().toString(qulonglong(m_progress->tried.load())))
                          .arg(QString::number(m_progress->milliseconds.load() / 1000.0, 'f', 1)));
}

void CNewPuzzleDialog::ShowWorking(bool working) {
    m_busy->setVisible(working);
    m_cancel->setEnabled(working);
    if (working) {
        m_progressTimer->start();
    } else {
        m_progressTimer->stop();
    }
}
