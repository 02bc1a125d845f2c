#pragma once

#include "Printer.h"

#include <QImage>

class Form;

// One page holding a picture at the size it has on screen (a logical pixel
// is 1/96 inch), at the top left of the printable area, made smaller only
// where the page is too small for it.
class ImageDocument final : public PrintDocument
{
public:
    ImageDocument(const QImage &image, const QString &title);

    QImage image() const { return m_image; }

    QString title() const override { return m_title; }
    int pageCount() const override { return 1; }
    QPageLayout pageLayout() const override;
    void paintPage(int index, QPainter &painter, const QRectF &area) const override;

private:
    QImage m_image;
    QString m_title;
};

// The print-the-form operation's page: the image of the window's client
// area as it shows at this moment (hidden controls absent), in black on
// white, titled with the window's caption. Controls that fix colours of
// their own keep them on paper.
ImageDocument formPage(Form &form);

// The paper of the user's region (Letter where US measures are the custom,
// else A4) in the given orientation, with margins of 15 mm.
QPageLayout regionalPageLayout(QPageLayout::Orientation orientation);
