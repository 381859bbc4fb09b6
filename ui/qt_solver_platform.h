// The solver's platform in the window: the system clock (or a test's), Qt's beep, and the
// question as a message box owned by the dialog.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "solver_platform.h"

class CQtSolverPlatform final : public CSolverPlatform {
  public:
    using TickCounter = std::function<uint32_t()>;

    // `owner` parents the question box; `tickCounter` defaults to the system's.
    explicit CQtSolverPlatform(QWidget* owner, TickCounter tickCounter = SystemTickCount);

    uint32_t TickCount() override;
    void QuestionBeep() override;
    bool AskYesNo(std::string_view text) override;

  private:
    QPointer<QWidget> m_owner;
    TickCounter m_tickCounter;
};
