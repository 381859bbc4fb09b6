// The main window: 81 cell fields, the box separators, and Calculate, Cancel and Clear.
#pragma once

#include <QDialog>
#include <QHash>
#include <QIcon>

#include "grid_solver.h"
#include "qt_solver_platform.h"

#include <QFrame>

class QLineEdit;
class QPushButton;

// An etched line between the 3 x 3 boxes: a sunken horizontal or vertical frame line.
class CEtchedLine : public QFrame {
    Q_OBJECT

  public:
    CEtchedLine(QFrame::Shape shape, QWidget* parent) : QFrame(parent) {
        setFrameShape(shape);
        setFrameShadow(QFrame::Sunken);
    }
};

class CvelmoDlg : public QDialog {
    Q_OBJECT

  public:
    // Control IDs. Cell index i (= 9 * r + c) has ID IDC_CELL_FIRST + i, so one step right
    // is +1 and one step down is +9, which the arrow keys rely on.
    enum ControlId {
        IDOK = 1,
        IDCANCEL = 2,
        IDC_CLEAR = 3,
        IDC_CELL_FIRST = 1000,
    };

    // `tickCounter` is the clock of the solver's time limit; tests pass a scripted one.
    explicit CvelmoDlg(QWidget* parent = nullptr,
                       CQtSolverPlatform::TickCounter tickCounter = SystemTickCount);

    // The dialog's control with `id`, or nullptr.
    QWidget* GetDlgItem(int id) const;
    // The control ID of `control` when it is one of this dialog's, else 0.
    int GetDlgCtrlID(const QWidget* control) const;

    void OnCalculate();
    void OnClear();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateButtons();
    void CreateCells();
    void CreateSeparators();
    // Places `control` at a rectangle given in dialog units and registers its ID.
    void Place(QWidget* control, int x, int y, int width, int height, int id = 0);
    QLineEdit* Cell(int index) const;
    // Moves the focus for an arrow key; never consumes the key.
    void PreTranslateMessage(QObject* receiver, QEvent* event);

    QIcon m_hIcon;
    CQtSolverPlatform m_platform;
    CGridSolver m_solver;
    QHash<int, QWidget*> m_controls;  // control ID -> control
    int m_baseUnitX = 0;              // average character width of the dialog font, pixels
    int m_baseUnitY = 0;              // character height of the dialog font, pixels
};
