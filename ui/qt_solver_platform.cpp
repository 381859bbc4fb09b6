// Qt versions of the solver's clock, sound and question.
#include "qt_solver_platform.h"

#include <QApplication>
#include <QMessageBox>

CQtSolverPlatform::CQtSolverPlatform(QWidget* owner, TickCounter tickCounter)
    : m_owner(owner), m_tickCounter(std::move(tickCounter)) {}

uint32_t CQtSolverPlatform::TickCount() {
    return m_tickCounter();
}

void CQtSolverPlatform::QuestionBeep() {
    QApplication::beep();
}

bool CQtSolverPlatform::AskYesNo(std::string_view text) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                    QString::fromUtf8(text.data(), qsizetype(text.size())),
                    QMessageBox::Yes | QMessageBox::No, m_owner);
    return box.exec() == QMessageBox::Yes;
}
