// The help's commands and state. Everything it shows is painted over the fields (the
// overlays) or beside them (the popup, the steps window); the fields' texts change only when
// a hint is applied, as a person would type the digit.
//
// Short names: i is a cell index, d a digit 1-9.
#include "explain_helper.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "background_task.h"
#include "cell_text.h"
#include "chain_painting.h"
#include "chain_text.h"
#include "explain_text.h"
#include "hint_window.h"
#include "steps_window.h"

namespace {

CRating Outcome(CRating::Outcome outcome) {
    CRating rating;
    rating.outcome = outcome;
    return rating;
}

// A hint found faster than this shows no "working" text first.
constexpr int kWorkingTextDelayMs = 50;

}  // namespace

CExplainHelper::CExplainHelper(QWidget* dialog, std::array<QLineEdit*, kCellCount> cells,
                               GridStep gridStep)
    : QObject(dialog),
      m_dialog(dialog),
      m_cells(cells),
      m_gridStep(std::move(gridStep)),
      m_hintTask(new CBackgroundTask(this)),
      m_ratingTask(new CBackgroundTask(this)),
      m_hintWindow(new CHintWindow(dialog)) {
    for (QLineEdit* cell : m_cells) {
        connect(cell, &QLineEdit::textChanged, this, &CExplainHelper::OnCellTextChanged);
        cell->installEventFilter(this);
    }
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        button->installEventFilter(this);
    }
    CreateActions();
}

CExplainHelper::~CExplainHelper() = default;

void CExplainHelper::CreateActions() {
    auto add = [this](const QString& text, QKeySequence shortcut, auto slot) {
        auto* action = new QAction(text, this);
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, slot);
        m_dialog->addAction(action);
        return action;
    };
    m_hintAction = add(tr("提示"), QKeySequence(Qt::CTRL | Qt::Key_H), [this] { OnHint(); });
    m_candidatesAction =
        add(tr("候选数"), QKeySequence(Qt::CTRL | Qt::Key_M), &CExplainHelper::OnToggleCandidates);
    m_candidatesAction->setCheckable(true);
    m_stepsAction =
        add(tr("解题步骤"), QKeySequence(Qt::CTRL | Qt::Key_J), &CExplainHelper::OnSteps);
    m_difficultyAction =
        add(tr("难度"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] { OnDifficulty(); });
    m_cancelAction =
        add(tr("取消计算"), QKeySequence(Qt::CTRL | Qt::Key_Period), &CExplainHelper::OnCancel);
    m_cancelAction->setEnabled(false);
    auto running = [this] {
        m_cancelAction->setEnabled(m_hintTask->IsRunning() || m_ratingTask->IsRunning());
    };
    connect(m_hintTask, &CBackgroundTask::RunningChanged, this, running);
    connect(m_ratingTask, &CBackgroundTask::RunningChanged, this, running);
    for (int d = 1; d <= 9; ++d) {
        add(tr("删去或放回候选数%1").arg(d),
            QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(Qt::Key_0 + d))),
            [this, d] { OnToggleCandidate(-1, d); });
    }
}

void CExplainHelper::AddCellActions(QMenu* menu, int cell) {
    menu->addAction(m_hintAction);
    menu->addAction(m_candidatesAction);
    QMenu* digits = menu->addMenu(tr("删去或放回候选数"));
    const bool empty = CellValueFromText(m_cells[cell]->text()) == 0;
    const uint16_t shown = Working().masks[cell];
    const uint16_t base = BaseCandidates(cell);
    for (int d = 1; d <= 9; ++d) {
        const uint16_t bit = uint16_t(1u << d);
        QAction* action = digits->addAction(QString::number(d));
        action->setCheckable(true);
        action->setChecked(empty && (shown & bit));
        action->setEnabled(empty && (base & bit));
        action->setShortcut(
            QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(Qt::Key_0 + d))));
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, cell, d] { OnToggleCandidate(cell, d); });
    }
    menu->addAction(m_stepsAction);
    menu->addAction(m_difficultyAction);
    menu->addAction(m_cancelAction);
}

int CExplainHelper::AnchorCell(int cell) const {
    if (cell >= 0) return cell;
    const QWidget* focus = m_dialog->focusWidget();
    for (int i = 0; i < kCellCount; ++i) {
        if (m_cells[i] == focus) return i;
    }
    return -1;
}

PuzzleGrid CExplainHelper::ReadCells() const {
    PuzzleGrid grid;
    for (int i = 0; i < kCellCount; ++i) grid[i] = CellValueFromText(m_cells[i]->text());
    return grid;
}

bool CExplainHelper::GridIsEmpty() const {
    const PuzzleGrid cells = ReadCells();
    return std::all_of(cells.begin(), cells.end(), [](uint8_t value) { return value == 0; });
}

bool CExplainHelper::EnsurePuzzle() {
    if (m_puzzle) return true;
    m_puzzle = CCandidateGrid::FromGivens(m_calculatedGivens ? *m_calculatedGivens : ReadCells());
    m_calculatedGivens.reset();
    m_rating.reset();
    return m_puzzle.has_value();
}

void CExplainHelper::OnGridReset() {
    DismissHint();
    m_ratingTask->Cancel();
    if (m_stepsWindow != nullptr && m_stepsWindow->isVisible() && !m_rating && m_puzzle) {
        m_stepsWindow->ShowPath(*m_puzzle, Outcome(CRating::kStopped));
    }
    m_puzzle.reset();
    m_calculatedGivens.reset();
    m_rating.reset();
    m_ratingCell = -1;
    m_struck = {};
}

void CExplainHelper::SetPuzzle(const CCandidateGrid& puzzle) {
    m_puzzle = puzzle;
    m_rating.reset();
    m_struck = {};
    m_showCandidates = true;
    m_candidatesAction->setChecked(true);
    Repaint();
}

void CExplainHelper::SetCalculatedGivens(const PuzzleGrid& givens) {
    m_calculatedGivens = givens;
}

bool CExplainState::operator==(const CExplainState& other) const {
    if (struck != other.struck || puzzle.has_value() != other.puzzle.has_value()) return false;
    return !puzzle ||
           (puzzle->values == other.puzzle->values && puzzle->masks == other.puzzle->masks);
}

void CExplainHelper::SetState(const CExplainState& state) {
    if (!(CExplainState{m_puzzle, {}} == CExplainState{state.puzzle, {}})) {
        m_puzzle = state.puzzle;
        m_rating.reset();
    }
    SetStruck(state.struck);
    Repaint();
}

void CExplainHelper::SetStruck(const CandidateMasks& struck) {
    if (struck == m_struck) return;
    m_struck = struck;
    Repaint();
}

void CExplainHelper::SetSameDigit(int digit) {
    if (digit == m_sameDigit) return;
    m_sameDigit = digit;
    Repaint();
}

bool CExplainHelper::IsEntry(int index) const {
    return m_puzzle && m_puzzle->values[index] == 0;
}

CCandidateGrid CExplainHelper::Working() const {
    const PuzzleGrid cells = ReadCells();
    if (m_puzzle) return WorkingGrid(*m_puzzle, cells, m_struck);
    // Before the puzzle is fixed every digit counts as given; a cell above 9 leaves that
    // cell out, so the others still show their candidates.
    PuzzleGrid givens = cells;
    for (uint8_t& value : givens) {
        if (value > 9) value = 0;
    }
    return WorkingGrid(CCandidateGrid::FromGivens(givens).value_or(CCandidateGrid{}), cells,
                       m_struck);
}

uint16_t CExplainHelper::BaseCandidates(int cell) const {
    if (!m_puzzle) return Working().masks[cell];
    return WorkingGrid(*m_puzzle, ReadCells(), {}).masks[cell];
}

void CExplainHelper::OnCellTextChanged() {
    if (!m_changingCells) {
        DismissHint();
        m_calculatedGivens.reset();
    }
    FollowGivenEdits();
    Repaint();
}

void CExplainHelper::FollowGivenEdits() {
    if (!m_puzzle) return;
    const PuzzleGrid cells = ReadCells();
    PuzzleGrid givens = m_puzzle->values;
    bool edited = false;
    for (int i = 0; i < kCellCount; ++i) {
        if (givens[i] == 0 || cells[i] == givens[i]) continue;
        givens[i] = cells[i] <= 9 ? cells[i] : 0;
        edited = true;
    }
    if (!edited) return;
    // No given is above 9 now, so both grids are puzzles. A pencil-mark puzzle keeps out
    // the candidates it was given without.
    CCandidateGrid puzzle = *CCandidateGrid::FromGivens(givens);
    const CCandidateGrid unmarked = *CCandidateGrid::FromGivens(m_puzzle->values);
    for (int i = 0; i < kCellCount; ++i) {
        if (m_puzzle->values[i] == 0) {
            puzzle.masks[i] &= uint16_t(~(unmarked.masks[i] & ~m_puzzle->masks[i]));
        }
    }
    m_puzzle = puzzle;
    m_rating.reset();
}

bool CExplainHelper::eventFilter(QObject* watched, QEvent* event) {
    // A click elsewhere dismisses the hint; the right button opens the cell's menu, whose
    // 提示 goes on with it.
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() != Qt::RightButton) {
        DismissHint();
    }
    return QObject::eventFilter(watched, event);
}

void CExplainHelper::OnHint(int cell) {
    ReleaseRatingPopup();
    m_hintCell = AnchorCell(cell);
    if (const QString odd = CExplainText::NotDigits(m_cells); !odd.isEmpty()) {
        ShowPopup(odd, m_hintCell);
        return;
    }
    if (GridIsEmpty()) {
        ShowPopup(CExplainText::EmptyGrid(), m_hintCell);
        return;
    }
    if (!EnsurePuzzle()) {
        ShowPopup(CExplainText::NotAPuzzle(), m_hintCell);
        return;
    }
    if (m_hint && m_hint->outcome == CHint::kStep) {
        ++m_hintStage;
        if (m_hintStage >= 3) {
            ApplyHint();
        } else {
            ShowHintStage();
        }
        return;
    }
    // The key again stops the search, since an input method may take Ctrl+.; a rating or
    // steps list being worked out goes on.
    if (m_hintTask->IsRunning()) {
        m_hintTask->Cancel();
        ShowPopup(CExplainText::Stopped(), m_hintCell);
        return;
    }
    m_hint.reset();
    m_hintPresses = 1;
    m_hintTask->Start([puzzle = *m_puzzle, working = Working()](
                          std::stop_token stop) { return FindHint(puzzle, working, stop); },
                      [this](CHint hint) { OnHintFound(hint); });
    QTimer::singleShot(kWorkingTextDelayMs, m_hintTask, [this] {
        if (m_hintTask->IsRunning()) ShowPopup(CExplainText::Working(), m_hintCell);
    });
}

void CExplainHelper::OnHintFound(const CHint& hint) {
    m_hint = hint;
    if (hint.outcome != CHint::kStep) {
        m_hintStage = 0;
        ShowPopup(CExplainText::HintAnswer(hint), m_hintCell);
        Repaint();
        return;
    }
    m_hintStage = m_hintPresses;
    if (m_hintStage >= 3) {
        ApplyHint();
    } else {
        ShowHintStage();
    }
}

void CExplainHelper::ShowHintStage() {
    const CStep& step = *m_hint->step;
    if (m_hintStage == 1) {
        ShowPopup(CExplainText::HintTechnique(step) + CChainText::Start(step), m_hintCell);
    } else if (CChainText::IsChain(step)) {
        ShowPopup(CChainText::Explanation(step), m_hintCell);
    } else {
        int cell = m_hintCell;
        if (!step.placements.empty()) {
            cell = step.placements.front().cell;
        } else if (!step.eliminations.empty()) {
            cell = step.eliminations.front().cell;
        }
        ShowPopup(CExplainText::HintExplanation(step), cell);
    }
    Repaint();
}

void CExplainHelper::ApplyHint() {
    const CStep step = *m_hint->step;
    PuzzleGrid values = ReadCells();
    for (const CCandidate& placed : step.placements) values[placed.cell] = placed.digit;
    CandidateMasks struck = m_struck;
    for (const CCandidate& gone : step.eliminations) {
        struck[gone.cell] |= uint16_t(1u << gone.digit);
    }
    m_changingCells = true;
    m_gridStep(values, struck);
    m_changingCells = false;
    DismissHint();
    ShowPopup(CExplainText::Applied(step), m_hintCell);
}

void CExplainHelper::DismissHint() {
    m_hintTask->Cancel();
    m_hintPresses = 0;
    const bool shown = m_hint.has_value() || m_hintWindow->isVisible();
    m_hint.reset();
    m_hintStage = 0;
    if (!shown) return;
    HidePopup();
    Repaint();
}

void CExplainHelper::ShowPopup(const QString& text, int cell) {
    m_hintWindow->ShowText(text, cell >= 0 && cell < kCellCount ? m_cells[cell] : nullptr);
}

void CExplainHelper::HidePopup() {
    m_hintWindow->hide();
    ReleaseRatingPopup();
}

void CExplainHelper::ReleaseRatingPopup() {
    if (m_ratingCell < 0) return;
    m_ratingCell = -1;
    if (m_stepsWindow == nullptr || !m_stepsWindow->isVisible()) m_ratingTask->Cancel();
}

QString CExplainHelper::ShownText() const {
    return m_hintWindow->isVisible() ? m_hintWindow->Text() : QString();
}

void CExplainHelper::OnToggleCandidates() {
    if (m_showCandidates) {
        m_showCandidates = false;
    } else {
        EnsurePuzzle();
        m_showCandidates = true;
    }
    m_candidatesAction->setChecked(m_showCandidates);
    Repaint();
}

void CExplainHelper::OnToggleCandidate(int cell, int digit) {
    cell = AnchorCell(cell);
    const uint16_t bit = uint16_t(1u << digit);
    if (cell < 0 || CellValueFromText(m_cells[cell]->text()) != 0 || !EnsurePuzzle() ||
        !(BaseCandidates(cell) & bit)) {
        QApplication::beep();
        return;
    }
    // One grid step of its own, so that 撤销 takes back this strike-out or put-back alone.
    CandidateMasks struck = m_struck;
    struck[cell] ^= bit;
    DismissHint();
    m_gridStep(ReadCells(), struck);
    if (!m_showCandidates) OnToggleCandidates();
    Repaint();
}

void CExplainHelper::Repaint() {
    const PuzzleGrid cells = ReadCells();
    const CCandidateGrid working = Working();
    CGridPicture picture{};
    if (m_showCandidates) {
        for (int i = 0; i < kCellCount; ++i) {
            if (cells[i] == 0) picture[i].candidates = working.masks[i];
        }
    }
    MarkSameDigit(picture, cells, m_sameDigit);
    CChainPicture chain;
    if (m_hint && m_hint->step && m_hintStage > 0) {
        const CStep& step = *m_hint->step;
        MarkStep(picture, step, m_hintStage == 1 ? CStepMarks::kUnit : CStepMarks::kPattern);
        if (m_hintStage == 1) {
            for (uint8_t i : CChainText::StartCells(step)) picture[i].unitCell = true;
        } else {
            MarkReasons(picture, step, cells);
            chain = ChainPictureOf(step);
            // The links point at candidates, so those are drawn even with the view off.
            for (const CChainLink& link : chain.links) {
                for (const CLinkEnd* end : {&link.from, &link.to}) {
                    for (int n = 0; n < end->size; ++n) {
                        const uint8_t i = end->cells[n];
                        if (cells[i] == 0) picture[i].candidates |= uint16_t(1u << end->digit);
                    }
                }
            }
        }
    }
    if (m_chainOverlay == nullptr && !chain.IsEmpty()) {
        m_chainOverlay = new CChainOverlay(m_dialog, m_cells);
    }
    if (m_chainOverlay != nullptr) m_chainOverlay->SetPicture(chain);
    if (m_hint) {
        for (uint8_t i : m_hint->wrongCells) picture[i].patternCell = true;
    }
    for (int i = 0; i < kCellCount; ++i) {
        const bool spoken = m_showCandidates && cells[i] == 0;
        if (m_overlays[i] == nullptr) {
            if (picture[i].IsBlank() && !spoken) continue;
            m_overlays[i] = new CCellOverlay(m_cells[i]);
        }
        m_overlays[i]->SetPicture(picture[i],
                                  spoken ? CExplainText::Candidates(working.masks[i]) : QString());
    }
}

void CExplainHelper::OnSteps() {
    if (m_stepsWindow != nullptr && m_stepsWindow->isVisible() && m_ratingTask->IsRunning()) {
        emit m_stepsWindow->CancelRequested();
        return;
    }
    if (m_stepsWindow == nullptr) {
        m_stepsWindow = new CStepsWindow(m_dialog);
        connect(m_stepsWindow, &CStepsWindow::CancelRequested, this, [this] {
            if (m_ratingCell < 0) m_ratingTask->Cancel();
            if (!m_rating && m_puzzle) {
                m_stepsWindow->ShowPath(*m_puzzle, Outcome(CRating::kStopped));
            }
        });
    }
    m_stepsWindow->show();
    m_stepsWindow->raise();
    if (!EnsurePuzzle()) {
        m_stepsWindow->ShowPath(CCandidateGrid{}, Outcome(CRating::kNoSolution));
        return;
    }
    if (m_rating) {
        m_stepsWindow->ShowPath(*m_puzzle, *m_rating);
        return;
    }
    m_stepsWindow->ShowWorking(*m_puzzle);
    StartRating();
}

void CExplainHelper::OnDifficulty(int cell) {
    if (m_ratingCell >= 0 && m_ratingTask->IsRunning()) {
        OnCancel();
        return;
    }
    DismissHint();
    cell = AnchorCell(cell);
    if (const QString odd = CExplainText::NotDigits(m_cells); !odd.isEmpty()) {
        ShowPopup(odd, cell);
        return;
    }
    if (GridIsEmpty()) {
        ShowPopup(CExplainText::EmptyGrid(), cell);
        return;
    }
    if (!EnsurePuzzle()) {
        ShowPopup(CExplainText::NotAPuzzle(), cell);
        return;
    }
    if (m_rating) {
        ShowPopup(CExplainText::Rating(*m_rating), cell);
        return;
    }
    ShowPopup(CExplainText::Working(), cell);
    m_ratingCell = cell < 0 ? kCellCount : cell;
    StartRating();
}

void CExplainHelper::StartRating() {
    if (m_ratingTask->IsRunning()) return;
    m_ratingTask->Start(
        [puzzle = *m_puzzle](std::stop_token stop) { return RatePuzzle(puzzle, true, stop); },
        [this](CRating rating) { OnRatingFound(rating); });
}

void CExplainHelper::OnRatingFound(const CRating& rating) {
    if (rating.outcome != CRating::kStopped) m_rating = rating;
    if (m_ratingCell >= 0) {
        const int cell = m_ratingCell < kCellCount ? m_ratingCell : -1;
        m_ratingCell = -1;
        ShowPopup(CExplainText::Rating(rating), cell);
    }
    if (m_stepsWindow != nullptr && m_stepsWindow->isVisible()) {
        m_stepsWindow->ShowPath(*m_puzzle, rating);
    }
}

void CExplainHelper::OnCancel() {
    const bool hinting = m_hintTask->IsRunning();
    const bool rating = m_ratingTask->IsRunning();
    m_hintTask->Cancel();
    m_ratingTask->Cancel();
    if (hinting || (rating && m_ratingCell >= 0)) {
        const int cell = hinting ? m_hintCell : m_ratingCell;
        m_ratingCell = -1;
        ShowPopup(CExplainText::Stopped(), cell < kCellCount ? cell : -1);
    }
    if (rating && m_stepsWindow != nullptr && m_stepsWindow->isVisible() && m_puzzle) {
        m_stepsWindow->ShowPath(*m_puzzle, Outcome(CRating::kStopped));
    }
}
