#include "form_layout.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace quarrix {

QRect TwipsToPixels(int left, int top, int width, int height)
{
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

// The widest text of the main window, the label over the target field, fits
// its 201 pixels in this face.
QFont ControlFont()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(10);
    return font;
}

void PlaceControl(QWidget* control, int left, int top, int width, int height)
{
    const QRect area = TwipsToPixels(left, top, width, height);
    control->move(area.topLeft());
    control->setFixedSize(area.size());
}

QLabel* MakeLabel(QWidget* window, const QString& text, int left, int top, int width, int height,
                  Qt::Alignment horizontal)
{
    auto* label = new QLabel(text, window);
    // Paths and archive names are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(true);
    PlaceControl(label, left, top, width, height);
    return label;
}

QProgressBar* MakeProgressBar(QWidget* window, int left, int top, int width, int height)
{
    auto* bar = new QProgressBar(window);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    PlaceControl(bar, left, top, width, height);
    return bar;
}

}  // namespace quarrix
