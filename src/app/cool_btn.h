// A push button that carries a drop-down menu: a press opens the menu under the button, and the
// chosen entry comes back as a command number.
#pragma once

#include <QPushButton>

class QMenu;

class CCoolBtn : public QPushButton
{
    Q_OBJECT

  public:
    explicit CCoolBtn(const QString& text, QWidget* parent = nullptr);

    // Appends an entry that sends the command when chosen.
    QAction* AddMenuItem(int command, const QString& text);
    QMenu* Menu() const { return m_menu; }
    QSize sizeHint() const override;

  signals:
    void Command(int command);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    bool HasMenu() const;
    void PopupMenu();

    QMenu* m_menu;
};
