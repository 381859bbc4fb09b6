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
#include <QVBoxLayout>

#include "explain_text.h"
#include "hint.h"

namespace {

constexpr int kCellPixels = 34;

}  // namespace

CStepGridView::CStepGridView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("盘面"));
}

QSize CStepGridView::sizeHint() const {
    return {9 * kCellPixels + 1, 9 * kCellPixels + 1};
}

void CStepGridView::SetPicture(const CGridPicture& picture) {
    m_picture = picture;
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
}

CStepsWindow::CStepsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("解题步骤"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("步骤"));
    m_list->setMinimumWidth(320);
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

void CStepsWindow::ShowWorking() {
    m_path.clear();
    m_grids.clear();
    m_list->clear();
    m_grid->SetPicture({});
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
    MarkStep(picture, m_path[index], CStepMarks::kPattern);
    MarkReasons(picture, m_path[index], grid.values);
    m_grid->SetPicture(picture);
    m_grid->setAccessibleDescription(CExplainText::HintExplanation(m_path[index]));
}

void CStepsWindow::closeEvent(QCloseEvent* event) {
    emit CancelRequested();
    QWidget::closeEvent(event);
}
