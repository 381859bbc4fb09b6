// The help window and the one table it lists. Adding a feature to the window is adding its
// row to kHelpRows, at its place in the list.
#include "help_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// clang-format off
constexpr CHelpRow kHelpRows[] = {
    {"Enter",                                      QT_TRANSLATE_NOOP("CHelpWindow", "计算"),
     QT_TRANSLATE_NOOP("CHelpWindow", "解出整道题，把答案填进每一格")},
    {QT_TRANSLATE_NOOP("CHelpWindow", "按钮"),     QT_TRANSLATE_NOOP("CHelpWindow", "清除"),
     QT_TRANSLATE_NOOP("CHelpWindow", "清空所有格子")},
    {"Esc",                                        QT_TRANSLATE_NOOP("CHelpWindow", "关闭"),
     QT_TRANSLATE_NOOP("CHelpWindow", "关闭窗口；正在解的题目已保存，可以继续")},
    {"← → ↑ ↓",                                    QT_TRANSLATE_NOOP("CHelpWindow", "移动"),
     QT_TRANSLATE_NOOP("CHelpWindow", "在格子之间移动")},
    {"Ctrl+V / Shift+Insert",                      QT_TRANSLATE_NOOP("CHelpWindow", "粘贴谜题"),
     QT_TRANSLATE_NOOP("CHelpWindow", "剪贴板里有题目或题目图片时，填满81格")},
    {"Ctrl+O",                                     QT_TRANSLATE_NOOP("CHelpWindow", "打开图片…"),
     QT_TRANSLATE_NOOP("CHelpWindow", "读出图片里的题目填进格子；也可拖放图片")},
    {"Ctrl+Shift+C",                               QT_TRANSLATE_NOOP("CHelpWindow", "复制谜题"),
     QT_TRANSLATE_NOOP("CHelpWindow", "把题目复制成一行81个字符")},
    {"Ctrl+Z",                                     QT_TRANSLATE_NOOP("CHelpWindow", "撤销"),
     QT_TRANSLATE_NOOP("CHelpWindow", "撤销这一格的输入，再逐步撤销盘面的改动")},
    {"Ctrl+Y / Ctrl+Shift+Z",                      QT_TRANSLATE_NOOP("CHelpWindow", "重做"),
     QT_TRANSLATE_NOOP("CHelpWindow", "重做撤销了的改动")},
    {"Ctrl+H",                                     QT_TRANSLATE_NOOP("CHelpWindow", "提示"),
     QT_TRANSLATE_NOOP("CHelpWindow", "按三次：技巧和要看的地方、依据、填入")},
    {"Ctrl+M",                                     QT_TRANSLATE_NOOP("CHelpWindow", "候选数"),
     QT_TRANSLATE_NOOP("CHelpWindow", "在空格里显示或隐藏候选数")},
    {"Ctrl+1 … Ctrl+9",                            QT_TRANSLATE_NOOP("CHelpWindow", "删去或放回候选数"),
     QT_TRANSLATE_NOOP("CHelpWindow", "删去这一格的候选数，再按一次放回")},
    {"Ctrl+J",                                     QT_TRANSLATE_NOOP("CHelpWindow", "解题步骤"),
     QT_TRANSLATE_NOOP("CHelpWindow", "在另一个窗口里列出解题的每一步")},
    {"Ctrl+R",                                     QT_TRANSLATE_NOOP("CHelpWindow", "难度"),
     QT_TRANSLATE_NOOP("CHelpWindow", "题目的难度和用到的最难技巧")},
    {"Ctrl+.",                                     QT_TRANSLATE_NOOP("CHelpWindow", "取消计算"),
     QT_TRANSLATE_NOOP("CHelpWindow", "停止正在进行的计算；再按同一个键也行")},
    {"Ctrl+Shift+T",                               QT_TRANSLATE_NOOP("CHelpWindow", "继续上次的题目"),
     QT_TRANSLATE_NOOP("CHelpWindow", "找回上次的题目、填入的数字和划去的候选数")},
    {"Ctrl+N",                                     QT_TRANSLATE_NOOP("CHelpWindow", "新题"),
     QT_TRANSLATE_NOOP("CHelpWindow", "按选定的难度生成一道新题，可选对称")},
    {QT_TRANSLATE_NOOP("CHelpWindow", "右键菜单"), QT_TRANSLATE_NOOP("CHelpWindow", "高亮相同数字"),
     QT_TRANSLATE_NOOP("CHelpWindow", "标出与这一格相同的数字和候选数")},
    {"F1",                                         QT_TRANSLATE_NOOP("CHelpWindow", "帮助"),
     QT_TRANSLATE_NOOP("CHelpWindow", "打开或关闭这个窗口")},
};
// clang-format on

// Between the dialog's frame and the help's.
constexpr int kGap = 8;
// The help's width in lines of the dialog's font: the longest line above on one line.
constexpr int kWidthInLines = 28;

QString Translated(const char* text) {
    return QCoreApplication::translate("CHelpWindow", text);
}

}  // namespace

std::span<const CHelpRow> HelpRows() {
    return kHelpRows;
}

QString HelpLine(const QString& name) {
    for (const CHelpRow& row : kHelpRows) {
        if (Translated(row.name) == name) return Translated(row.what);
    }
    return {};
}

CHelpWindow::CHelpWindow(QWidget* dialog)
    : QWidget(dialog, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_dialog(dialog),
      m_text(new QLabel(this)) {
    setWindowTitle(tr("帮助"));
    setObjectName(QStringLiteral("helpWindow"));
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    for (const CHelpRow& row : kHelpRows) {
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td><td>%3</td></tr>")
                    .arg(Translated(row.keys).toHtmlEscaped(), Translated(row.name).toHtmlEscaped(),
                         Translated(row.what).toHtmlEscaped());
    }
    html += QStringLiteral("</table><p>%1</p>").arg(tr("这些功能也在每个格子的右键菜单里。"));
    m_text->setTextFormat(Qt::RichText);
    m_text->setWordWrap(true);
    m_text->setText(html);
    m_text->setFixedWidth(kWidthInLines * fontMetrics().height());
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A screen reader reads the rows as plain text, one a line.
    QStringList spoken;
    for (const CHelpRow& row : kHelpRows) {
        spoken << QStringLiteral("%1：%2，%3")
                      .arg(Translated(row.keys), Translated(row.name), Translated(row.what));
    }
    m_text->setAccessibleName(spoken.join(u'\n'));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CHelpWindow::ShowBesideDialog() {
    adjustSize();
    move(Placement());
    show();
    raise();
    activateWindow();
}

QPoint CHelpWindow::Placement() const {
    const QRect dialog = m_dialog->frameGeometry();
    const QScreen* screen = m_dialog->screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : dialog;
    // The help's frame is not known before it is shown; the dialog's is a fair measure.
    const QMargins frame(m_dialog->geometry().left() - dialog.left(),
                         m_dialog->geometry().top() - dialog.top(),
                         dialog.right() - m_dialog->geometry().right(),
                         dialog.bottom() - m_dialog->geometry().bottom());
    const QSize size = this->size().grownBy(frame);
    const int top = std::clamp(dialog.top(), room.top(),
                               std::max(room.top(), room.bottom() + 1 - size.height()));
    const int left = std::clamp(dialog.left(), room.left(),
                                std::max(room.left(), room.right() + 1 - size.width()));
    const QPoint candidates[] = {
        {dialog.right() + 1 + kGap, top},
        {dialog.left() - kGap - size.width(), top},
        {left, dialog.bottom() + 1 + kGap},
        {left, dialog.top() - kGap - size.height()},
    };
    for (const QPoint& at : candidates) {
        if (room.contains(QRect(at, size))) return at;
    }
    // No room anywhere: at the screen's edge on the dialog's roomier side, covering least.
    if (room.right() - dialog.right() >= dialog.left() - room.left()) {
        return {std::max(room.left(), room.right() + 1 - size.width()), top};
    }
    return {room.left(), top};
}

void CHelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_F1) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CHelpWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    m_dialog->activateWindow();
}
