#pragma once

#include "contacts/ContactRecord.h"
#include "contacts/Recordset.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <bitset>

class QLabel;
class QLineEdit;
class QToolButton;

// The navigation bar of a record form's store (its Data1): first, previous,
// the caption, next and last. It owns the form's record view and binds the
// form's eight text boxes to it: after every change of the current record
// the boxes show its values (empty when none) and only then Reposition() is
// raised. Next on the last record and previous on the first change nothing.
//
// A box shows at most LongestShownText characters: a longer value, which
// only another program can have stored, shows as its beginning and its end,
// and its box takes no typing, so that the shortened text can never be
// saved. A save writes only the boxes whose texts the user changed.
//
// Failures are reported through results and lastError(), or
// navigationFailed() for the arrows; the store never opens a message box.
class DataControl : public QWidget
{
    Q_OBJECT

public:
    // As many as a box takes from typing: laying out much more holds the
    // window up at every key.
    static constexpr qsizetype LongestShownText = 10000;

    explicit DataControl(QWidget *parent = nullptr);
    ~DataControl() override;

    bool open(const QString &databasePath, const ContactDatabase::Settings &settings = {});
    QString lastError() const;

    // The box shows the field of the current record, and its text is what
    // UpdateRecord() and Update() write into that field.
    void bind(ContactField field, QLineEdit *box);
    // Whether the bound boxes take typing; one showing a shortened value never does.
    void setBoxesLocked(bool locked);

    // The record view (the forms call Recordset()->AddNew() and so on).
    ::Recordset *Recordset() const { return m_recordset; }

    // Stores the bound boxes' texts into the pending new record or edit.
    bool UpdateRecord();
    // Re-reads the table; its first record becomes current.
    bool Refresh();

    QString caption() const;
    void setCaption(const QString &caption);

Q_SIGNALS:
    void Reposition();
    void navigationFailed(const QString &message);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showCurrentRecord();
    void fillBoxes();
    void fillBox(int field);
    void putBoxesIntoBuffer();
    void navigate(bool succeeded);

    ::Recordset *m_recordset;
    std::array<QPointer<QLineEdit>, ContactFieldCount> m_boxes;
    std::array<QString, ContactFieldCount> m_shown; // what each box was given
    std::bitset<ContactFieldCount> m_shortened;
    bool m_locked = false;
    QToolButton *m_first;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_last;
    QLabel *m_caption;
    QString m_captionText; // whole, however long; the label shows it shortened
};
