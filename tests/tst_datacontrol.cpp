// The navigation bar and its bound boxes.

#include "ContactTestTools.h"

#include "recordform/DataControl.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

class TestDataControl : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<QWidget> m_form;
    DataControl *m_data = nullptr;
    std::array<QLineEdit *, ContactFieldCount> m_boxes{};
    QStringList m_namesAtReposition;

    QLineEdit *nameBox() const { return m_boxes[0]; }

    void click(const char *button)
    {
        auto *arrow = m_data->findChild<QToolButton *>(QLatin1String(button));
        QVERIFY(arrow);
        QTest::mouseClick(arrow, Qt::LeftButton);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("%1.mdb").arg(QString::fromLatin1(QTest::currentTestFunction())));
        {
            Recordset creator;
            QVERIFY(creator.open(m_path));
            for (const char *name : {"Ann", "Bob", "Cy"})
                QVERIFY(addContact(creator, QString::fromLatin1(name)));
        }
        // A form as the record forms build theirs: the boxes are bound before
        // the store opens, and Reposition sets the caption from the name box.
        m_form = std::make_unique<QWidget>();
        m_data = new DataControl(m_form.get());
        m_data->setGeometry(0, 0, 292, 23);
        for (int i = 0; i < ContactFieldCount; ++i) {
            m_boxes[i] = new QLineEdit(m_form.get());
            m_data->bind(static_cast<ContactField>(i), m_boxes[i]);
        }
        m_namesAtReposition.clear();
        connect(m_data, &DataControl::Reposition, this, [this]() {
            m_namesAtReposition.append(nameBox()->text());
            m_data->setCaption(nameBox()->text());
        });
        QVERIFY(m_data->open(m_path));
        m_form->show();
    }

    void cleanup() { m_form.reset(); }

    void boxesShowTheRecordBeforeReposition()
    {
        QCOMPARE(m_namesAtReposition, QStringList{QStringLiteral("Ann")});
        QCOMPARE(m_boxes[1]->text(), QStringLiteral("Ann/1"));
        QCOMPARE(m_data->caption(), QStringLiteral("Ann"));

        click("moveNext");
        click("moveLast");
        QCOMPARE(m_namesAtReposition, QStringList({QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Cy")}));
        QCOMPARE(m_boxes[7]->text(), QStringLiteral("Cy/7"));

        QVERIFY(m_data->Recordset()->Delete());
        for (QLineEdit *box : m_boxes)
            QCOMPARE(box->text(), QString());
        QCOMPARE(m_data->caption(), QString());
    }

    void savingWritesTheBoxes()
    {
        Recordset *records = m_data->Recordset();
        QVERIFY(records->AddNew());
        QCOMPARE(nameBox()->text(), QString());
        for (int i = 0; i < ContactFieldCount; ++i)
            QTest::keyClicks(m_boxes[i], QStringLiteral("d%1").arg(i));
        QVERIFY2(m_data->UpdateRecord(), qPrintable(m_data->lastError()));
        QVERIFY(records->setBookmark(records->LastModified()));
        QCOMPARE(m_boxes[6]->text(), QStringLiteral("d6"));

        QVERIFY(records->Edit());
        nameBox()->setText(QStringLiteral("Dora"));
        QVERIFY(records->Update());
        QCOMPARE(m_data->caption(), QStringLiteral("Dora"));
        QCOMPARE(storedNames(m_path).last(), QStringLiteral("Dora"));
    }

    void typingOutsideAnEditIsNeverWritten()
    {
        const QByteArray before = fileDigest(m_path);
        nameBox()->setText(QStringLiteral("typed over Ann"));
        QVERIFY(!m_data->UpdateRecord());
        click("moveNext");
        click("moveFirst");
        QCOMPARE(nameBox()->text(), QStringLiteral("Ann"));
        QCOMPARE(fileDigest(m_path), before);
    }

    // A value longer than a box shows, written by another program, shows as
    // its beginning and end at once; its box never takes typing, and saving
    // another box leaves it, and every box not changed, as stored.
    void aLongValueShowsShortenedAndIsNeverSaved()
    {
        constexpr qsizetype Limit = DataControl::LongestShownText;
        const QByteArray huge = "Start " + QByteArray(2 * 1024 * 1024, 'x') + "\xc3\xa9 \xff end";
        QCOMPARE(execSql(m_path, QStringLiteral("UPDATE Table1 SET \"Address\" = CAST(X'%1' AS TEXT), "
                                                "\"Position\" = 42, \"Website Address\" = '%2' WHERE rowid = 1;")
                                     .arg(QString::fromLatin1(huge.toHex()), QString(Limit, u'w'))),
                 QString());
        const StoredRecord before = storedRecords(m_path).first();
        click("moveNext");
        click("moveFirst");

        QLineEdit *address = m_boxes[fieldIndex(ContactField::Address)];
        QVERIFY(address->text().size() <= Limit + 1);
        QVERIFY(address->text().startsWith(QStringLiteral("Start xxx")));
        QVERIFY(address->text().endsWith(QStringLiteral("é \ufffd end")));
        QVERIFY(address->isReadOnly());
        QVERIFY(!address->toolTip().isEmpty());
        QLineEdit *web = m_boxes[fieldIndex(ContactField::WebsiteAddress)];
        QCOMPARE(web->text(), QString(Limit, u'w')); // as long as a box shows: whole
        QVERIFY(!web->isReadOnly());
        QCOMPARE(m_boxes[fieldIndex(ContactField::Position)]->text(), QStringLiteral("42"));

        m_data->setBoxesLocked(true);
        m_data->setBoxesLocked(false);
        QVERIFY(address->isReadOnly());
        QVERIFY(m_data->Recordset()->Edit());
        QTest::keyClicks(address, QStringLiteral("typed"));
        nameBox()->setText(QStringLiteral("Annie"));
        QVERIFY2(m_data->UpdateRecord(), qPrintable(m_data->lastError()));

        StoredRecord expected = before;
        expected[fieldIndex(ContactField::Name)] = StoredValue::fromText(QStringLiteral("Annie"));
        QVERIFY(storedRecords(m_path).first() == expected);

        // Moving to a contact with short values makes the box editable again.
        click("moveNext");
        QVERIFY(!address->isReadOnly());
        QVERIFY(address->toolTip().isEmpty());
    }

    void refusedFileLeavesBoxesEmpty()
    {
        QFile foreign(m_dir.filePath(QStringLiteral("notes.mdb")));
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.write("not a database");
        foreign.close();
        QVERIFY(!m_data->open(foreign.fileName()));
        QVERIFY(m_data->lastError().contains(foreign.fileName()));
        QCOMPARE(nameBox()->text(), QString());
        click("moveNext");
        QCOMPARE(nameBox()->text(), QString());
    }
};

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
