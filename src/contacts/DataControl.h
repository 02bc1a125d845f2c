#pragma once

#include "contacts/ContactRecord.h"
#include "contacts/Recordset.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QToolButton;

// The navigation bar of a record form's store (its Data1): first, previous,
// the caption, next and last. It owns the form's record view and binds the
// form's eight text boxes to it: after every change of the current record
// the boxes show its values (empty when none) and only then Reposition() is
// raised. Next on the last record and previous on the first change nothing.
//
// Failures are reported through results and lastError(), or
// navigationFailed() for the arrows; the store never opens a message box.
class DataControl : public QWidget
{
    Q_OBJECT

public:
    explicit DataControl(QWidget *parent = nullptr);
    ~DataControl() override;

    bool open(const QString &databasePath, const ContactDatabase::Settings &settings = {});
    QString lastError() const;

    // The box shows the field of the current record, and its text is what
    // UpdateRecord() and Update() write into that field.
    void bind(ContactField field, QLineEdit *box);

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
    void putBoxesIntoBuffer();
    void navigate(bool succeeded);

    ::Recordset *m_recordset;
    std::array<QPointer<QLineEdit>, ContactFieldCount> m_boxes;
    QToolButton *m_first;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_last;
    QLabel *m_caption;
    QString m_captionText; // whole, however long; the label shows it shortened
};
