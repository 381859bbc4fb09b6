// The steps window and its grid.
//
// Short names: i is a cell index, r and c its row and column.
#include "steps_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "chain_text.h"
#include "explain_text.h"
#include "hint.h"
#include "hint_window.h"

namespace {

constexpr int kCellPixels = 34;
constexpr int kMinListWidth = 320;

}  // namespace

CStepGridView::CStepGridView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("盘面"));
}

QSize CStepGridView::sizeHint() const {
    return {9 * kCellPixels + 1, 9 * kCellPixels + 1};
}

void CStepGridView::SetPicture(const CGridPicture& picture, const CChainPicture& chain) {
    m_picture = picture;
    m_chain = chain;
    update();
}

void CStepGridView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    for (int i = 0; i < kCellCount; ++i) {
        const QRectF cell((i % 9) * kCellPixels, (i / 9) * kCellPixels, kCellPixels, kCellPixels);
        PaintCell(painter, cell.adjusted(1, 1, -1, -1), m_picture[i], colours);
    }
    for (int line = 0; line <= 9; ++line) {
        painter.setPen(QPen(colours.color(QPalette::Text), line % 3 == 0 ? 2 : 0.5));
        painter.drawLine(line * kCellPixels, 0, line * kCellPixels, 9 * kCellPixels);
        painter.drawLine(0, line * kCellPixels, 9 * kCellPixels, line * kCellPixels);
    }
    PaintChain(painter, m_chain, [](int i) {
        return QRectF((i % 9) * kCellPixels, (i / 9) * kCellPixels, kCellPixels, kCellPixels)
            .adjusted(1, 1, -1, -1);
    });
}

CStepsWindow::CStepsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("解题步骤"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("步骤"));
    m_list->setMinimumWidth(kMinListWidth);
    m_grid = new CStepGridView(this);
    m_cancel = new QPushButton(tr("取消"), this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_status, 1);
    top->addWidget(m_cancel);
    auto* body = new QHBoxLayout;
    body->addWidget(m_list, 1);
    body->addWidget(m_grid, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body);

    connect(m_cancel, &QPushButton::clicked, this, &CStepsWindow::CancelRequested);
    connect(m_list, &QListWidget::currentRowChanged, this, &CStepsWindow::ShowStep);
    auto* close = new QAction(this);
    close->setShortcut(Qt::Key_Escape);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void CStepsWindow::ShowWorking(const CCandidateGrid& start) {
    m_path.clear();
    m_grids.clear();
    m_list->clear();
    CGridPicture picture{};
    for (int i = 0; i < kCellCount; ++i) picture[i].value = start.values[i];
    m_grid->SetPicture(picture);
    m_status->setText(CExplainText::Working());
    m_cancel->show();
}

void CStepsWindow::ShowPath(const CCandidateGrid& start, const CRating& rating) {
    m_cancel->hide();
    m_status->setText(CExplainText::Rating(rating));
    m_path = rating.outcome == CRating::kRated ? rating.path : std::vector<CStep>{};
    m_grids = GridsAlongPath(start, m_path);
    m_list->clear();
    for (size_t n = 0; n < m_path.size(); ++n) {
        m_list->addItem(CExplainText::StepLine(int(n) + 1, m_path[n]));
    }
    FitList();
    if (!m_path.empty()) {
        m_list->setCurrentRow(0);
    } else {
        CGridPicture picture{};
        for (int i = 0; i < kCellCount; ++i) picture[i].value = start.values[i];
        m_grid->SetPicture(picture);
    }
}

void CStepsWindow::ShowStep(int index) {
    if (index < 0 || size_t(index) >= m_path.size()) return;
    const CCandidateGrid& grid = m_grids[index];
    const CCandidateGrid& start = m_grids.front();
    CGridPicture picture{};
    for (int i = 0; i < kCellCount; ++i) {
        picture[i].value = grid.values[i];
        picture[i].placedByStep = grid.values[i] != 0 && start.values[i] == 0;
        if (grid.values[i] == 0) picture[i].candidates = grid.masks[i];
    }
    const CStep& step = m_path[index];
    MarkStep(picture, step, CStepMarks::kPattern);
    MarkReasons(picture, step, grid.values);
    m_grid->SetPicture(picture, ChainPictureOf(step));
    m_grid->setAccessibleDescription(CChainText::IsChain(step)
                                         ? CChainText::Explanation(step)
                                         : CExplainText::HintExplanation(step));
}

void CStepsWindow::FitList() {
    const QFontMetrics metrics(m_list->font());
    const QScreen* shown = screen();
    const int screenWidth = shown != nullptr ? shown->availableGeometry().width() : 1024;
    const int room = std::max(kMinListWidth, screenWidth - m_grid->sizeHint().width() - 80);
    // The item's own margins and the room for its focus frame.
    const int padding = 2 * m_list->frameWidth() + m_list->verticalScrollBar()->sizeHint().width() +
                        4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    int widest = 0;
    for (int n = 0; n < m_list->count(); ++n) {
        QListWidgetItem* item = m_list->item(n);
        QStringList lines{item->text()};
        if (metrics.horizontalAdvance(item->text()) + padding > room) {
            lines = CHintWindow::BreakLines(item->text(), metrics, room - padding);
            item->setText(lines.join(u'\n'));
        }
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    m_list->setMinimumWidth(std::max(kMinListWidth, widest + padding));
    if (width() < sizeHint().width()) resize(sizeHint().width(), height());
}

void CStepsWindow::closeEvent(QCloseEvent* event) {
    emit CancelRequested();
    QWidget::closeEvent(event);
}
