#pragma once

#include "Printer.h"

#include <QPicture>

class QWidget;

// One page holding a picture at the size it has on screen (a logical pixel
// is 1/96 inch), at the top left of the printable area, made smaller only
// where the page is too small for it. The picture keeps the drawing as it
// was made, text as text: a printer or a PDF file gets letters, not pixels.
class ImageDocument final : public PrintDocument
{
public:
    ImageDocument(const QPicture &picture, QSize size, const QString &title);

    QString title() const override { return m_title; }
    int pageCount() const override { return 1; }
    QPageLayout pageLayout() const override;
    void paintPage(int index, QPainter &painter, const QRectF &area) const override;

private:
    QPicture m_picture;
    QSize m_size; // in logical pixels
    QString m_title;
};

// The print-the-form operation's page: the image of the window's client
// area as it shows at this moment (hidden controls absent), titled with the
// window's caption.
ImageDocument formPage(QWidget &form);

// The paper of the user's region (Letter where US measures are the custom,
// else A4) in the given orientation, with margins of 15 mm.
QPageLayout regionalPageLayout(QPageLayout::Orientation orientation);
