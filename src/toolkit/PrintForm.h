#pragma once

#include "Printer.h"

#include <QPointer>
#include <QWidget>

class Form;

// One page holding a window's client area at the size it has on screen (a
// logical pixel is 1/96 inch), at the top left of the printable area, made
// smaller only where the page is too small for it. The window draws itself
// onto the page when it is printed, as it shows at that moment (hidden
// controls absent), in black on white: text goes to the printer as text, not
// as pixels. Controls that fix colours of their own keep them on paper.
class FormDocument final : public PrintDocument
{
public:
    FormDocument(QWidget &form, const QString &title);

    QString title() const override { return m_title; }
    int pageCount() const override { return 1; }
    QPageLayout pageLayout() const override;
    void paintPage(int index, QPainter &painter, const QRectF &area) const override;

private:
    QPointer<QWidget> m_form;
    QString m_title;
};

// The print-the-form operation's page: the window's client area, titled
// with the window's caption.
FormDocument formPage(Form &form);

// The paper of the user's region (Letter where US measures are the custom,
// else A4) in the given orientation, with margins of 15 mm.
QPageLayout regionalPageLayout(QPageLayout::Orientation orientation);
