#include "app/text_progress_ctrl.h"

#include <QPaintEvent>
#include <algorithm>

CMemDCjPR::CMemDCjPR(QPainter& target, const QRect& clip)
    : m_target(target), m_clip(clip), m_printing(target.device()->devType() == QInternal::Printer)
{
    if (m_printing || clip.isEmpty())
    {
        m_printing = true;
        return;
    }
    const qreal ratio = target.device()->devicePixelRatioF();
    m_pixmap = QPixmap(clip.size() * ratio);
    m_pixmap.setDevicePixelRatio(ratio);
    m_painter.begin(&m_pixmap);
    m_painter.translate(-clip.topLeft());
    m_painter.setFont(target.font());
}

CMemDCjPR::~CMemDCjPR()
{
    if (m_printing)
        return;
    m_painter.end();
    m_target.drawPixmap(m_clip.topLeft(), m_pixmap);
}

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Every pixel is painted here, so Qt need not clear the background first (that would flicker).
    setAttribute(Qt::WA_OpaquePaintEvent);
    TakeColours();
}

int CTextProgressCtrl::SetPos(int position)
{
    const int old = m_pos;
    m_pos = position;
    const int width = FilledWidth(contentsRect().width());
    if (width != m_drawnWidth)
    {
        m_drawnWidth = width;
        repaint();
    }
    return old;
}

void CTextProgressCtrl::SetRange(int minimum, int maximum)
{
    m_min = minimum;
    m_max = maximum;
    m_drawnWidth = -1;
    update();
}

void CTextProgressCtrl::SetShowText(bool show)
{
    m_showText = show;
    update();
}

void CTextProgressCtrl::SetText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

QString CTextProgressCtrl::DisplayText() const
{
    if (!m_text.isEmpty())
        return m_text;
    return QStringLiteral("%1%").arg(static_cast<int>(Fraction() * 100.0));
}

double CTextProgressCtrl::Fraction() const
{
    if (m_min >= m_max)
        return 0.0;
    // A position outside the range draws as an empty or a full bar.
    const double fraction = (static_cast<double>(m_pos) - m_min) / (static_cast<double>(m_max) - m_min);
    return std::clamp(fraction, 0.0, 1.0);
}

int CTextProgressCtrl::FilledWidth(int clientWidth) const
{
    return static_cast<int>(Fraction() * clientWidth);
}

void CTextProgressCtrl::paintEvent(QPaintEvent* event)
{
    QPainter target(this);
    CMemDCjPR memory(target, event->rect());
    QPainter& painter = memory.Painter();

    const QRect client = contentsRect();
    painter.fillRect(rect(), m_bgColour);
    drawFrame(&painter);
    if (m_min >= m_max)
        return;

    const int filled = FilledWidth(client.width());
    const QRect barPart(client.left(), client.top(), filled, client.height());
    const QRect emptyPart(client.left() + filled, client.top(), client.width() - filled, client.height());
    painter.fillRect(barPart, m_barColour);
    painter.fillRect(emptyPart, m_bgColour);
    if (!m_showText)
        return;

    // The text is drawn twice, each time clipped to one part, so it reads inverted under the bar.
    const QString text = DisplayText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.save();
    painter.setClipRect(barPart);
    painter.setPen(m_textOnBarColour);
    painter.drawText(client, flags, text);
    painter.setClipRect(emptyPart);
    painter.setPen(m_textOnBgColour);
    painter.drawText(client, flags, text);
    painter.restore();
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_drawnWidth = -1;
}

void CTextProgressCtrl::showEvent(QShowEvent* event)
{
    QFrame::showEvent(event);
    // While hidden nothing was drawn, so the first position after showing must paint.
    m_drawnWidth = -1;
}

void CTextProgressCtrl::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
    {
        TakeColours();
        update();
    }
}

void CTextProgressCtrl::TakeColours()
{
    const QPalette& colours = palette();
    m_barColour = colours.color(QPalette::Highlight);
    m_bgColour = colours.color(QPalette::Base);
    m_textOnBgColour = colours.color(QPalette::Highlight);
    m_textOnBarColour = colours.color(QPalette::Base);
}
