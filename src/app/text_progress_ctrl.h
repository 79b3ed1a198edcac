// A progress bar that shows its percentage inverted under the filled part, and that repaints itself
// synchronously: the conversion keeps the window's thread busy, so a queued repaint would never run.
#pragma once

#include <QColor>
#include <QFrame>
#include <QPainter>
#include <QPixmap>
#include <QString>

// Paints off screen and copies the picture onto the target at once when it goes out of scope, so
// the bar never shows half-drawn. Printing draws straight onto the target.
class CMemDCjPR
{
  public:
    CMemDCjPR(QPainter& target, const QRect& clip);
    ~CMemDCjPR();
    CMemDCjPR(const CMemDCjPR&) = delete;
    CMemDCjPR& operator=(const CMemDCjPR&) = delete;

    // The painter to draw with, in the target's coordinates.
    QPainter& Painter() { return m_printing ? m_target : m_painter; }

  private:
    QPainter& m_target;
    QRect m_clip;
    bool m_printing;
    QPixmap m_pixmap;
    QPainter m_painter;
};

class CTextProgressCtrl : public QFrame
{
  public:
    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    // Stores the position and repaints at once when the filled width changes; returns the old position.
    int SetPos(int position);
    int GetPos() const { return m_pos; }
    void SetRange(int minimum, int maximum);
    void SetShowText(bool show);
    // A text shown instead of the percentage; empty shows the percentage.
    void SetText(const QString& text);
    QString GetText() const { return m_text; }
    // What the bar reads at its current position.
    QString DisplayText() const;
    // Width of the filled part as last drawn, in pixels; -1 until it is next drawn.
    int DrawnWidth() const { return m_drawnWidth; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    double Fraction() const;
    int FilledWidth(int clientWidth) const;
    void TakeColours();

    int m_pos = 0;
    int m_max = 100;
    int m_min = 0;
    QString m_text;
    bool m_showText = true;
    int m_drawnWidth = -1;
    QColor m_barColour;
    QColor m_bgColour;
    QColor m_textOnBgColour;
    QColor m_textOnBarColour;
};
