// The program's pictures, drawn rather than shipped, so they stay sharp at any size and scale.
#pragma once

#include <QIcon>
#include <QImage>
#include <QWidget>

// The application icon at the usual sizes.
QIcon OrbelinIcon();
// The icon drawn at size × size pixels.
QImage OrbelinIconImage(int size);

// The banner across the top of the main window; it fills whatever width it is given.
class CBanner : public QWidget
{
  public:
    explicit CBanner(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
