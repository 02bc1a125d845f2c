// The navigation bar and its bound boxes.

#include "ContactTestTools.h"

#include "contacts/DataControl.h"

#include <QLineEdit>
#include <QSignalSpy>
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

    void arrowsStopAtTheEnds()
    {
        click("movePrevious");
        QCOMPARE(m_namesAtReposition.size(), 1);
        click("moveLast");
        click("moveNext");
        QCOMPARE(m_namesAtReposition.size(), 2);
        QCOMPARE(nameBox()->text(), QStringLiteral("Cy"));

        // Deleting the last leaves none; previous brings one back.
        QVERIFY(m_data->Recordset()->Delete());
        QVERIFY(m_data->Recordset()->MoveNext());
        click("moveNext");
        QCOMPARE(nameBox()->text(), QString());
        click("movePrevious");
        QCOMPARE(nameBox()->text(), QStringLiteral("Bob"));
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

    void arrowsDuringAnEditChangeNothing()
    {
        QSignalSpy failed(m_data, &DataControl::navigationFailed);
        QVERIFY(m_data->Recordset()->Edit());
        nameBox()->setText(QStringLiteral("Annie"));
        click("moveNext");
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.first().first().toString().contains(QLatin1String("being edited")));
        QCOMPARE(nameBox()->text(), QStringLiteral("Annie"));
        QVERIFY(m_data->UpdateRecord());
        QCOMPARE(storedNames(m_path).first(), QStringLiteral("Annie"));
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
