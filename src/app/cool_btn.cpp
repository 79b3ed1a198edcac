#include "app/cool_btn.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QStyleOptionButton>
#include <QStylePainter>

CCoolBtn::CCoolBtn(const QString& text, QWidget* parent) : QPushButton(text, parent), m_menu(new QMenu(this))
{
    // A click from the keyboard (Space) opens the menu too; a mouse press opens it before any click.
    connect(this, &QPushButton::clicked, this,
            [this]
            {
                if (HasMenu())
                    PopupMenu();
            });
}

QAction* CCoolBtn::AddMenuItem(int command, const QString& text)
{
    QAction* action = m_menu->addAction(text);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { emit Command(command); });
    update();
    return action;
}

QSize CCoolBtn::sizeHint() const
{
    QSize size = QPushButton::sizeHint();
    if (HasMenu())
        size.rwidth() += style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, this);
    return size;
}

bool CCoolBtn::HasMenu() const
{
    return !m_menu->actions().isEmpty();
}

void CCoolBtn::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !HasMenu())
    {
        QPushButton::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    PopupMenu();
}

void CCoolBtn::PopupMenu()
{
    // The chosen command may run a modal box while the menu is still unwinding; the button must
    // not be touched if that closes the window.
    QPointer<CCoolBtn> self(this);
    setDown(true);
    m_menu->exec(mapToGlobal(QPoint(0, height())));
    if (self)
        setDown(false);
}

void CCoolBtn::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (HasMenu())
        option.features |= QStyleOptionButton::HasMenu;
    painter.drawControl(QStyle::CE_PushButton, option);
}
